#include "update/update.h"

std::int32_t ParseFileInfoList(TFileInfoList&, std::string) { return 0; }
