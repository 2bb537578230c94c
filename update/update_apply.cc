#include "update/update.h"

std::int32_t ApplyUpdates(std::string, std::string, TFileInfoList) { return 0; }
