// The check's reading of a signed manifest.
#pragma once

#include <string>

#include "update/temporary_file.h"

class ICommonLog;
class IUpdateObserver;

// Reads the downloaded manifest in `manifestFile` into `manifest` when the
// "updateinfo.txt.minisig" beside it on the server signs it with `publicKey`
// and its times allow it; otherwise shows why and returns false (without a
// box when `observer`, if given, was cancelled). The manifest's file is gone
// before any box.
bool ReadSignedManifest(const std::string& publicKey, const std::string& url,
                        const std::string& directory, TemporaryFile& manifestFile,
                        std::string* manifest, ICommonLog* log, IUpdateObserver* observer);
