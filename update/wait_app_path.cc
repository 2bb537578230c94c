#include "update/update.h"

std::string WaitAppPath;
