#include "update/update.h"

bool GetLocalFileVersion(TFileInfo&) { return false; }
