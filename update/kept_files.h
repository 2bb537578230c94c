// The small files the updater keeps beside its log between runs: written
// whole or not at all, and read as JSON. A missing or unreadable one reads
// as empty, so that it is rebuilt from nothing.
#pragma once

#include <json/json.h>

#include <string>

// The path of the kept file `name` beside the log; empty when the log names
// no folder.
std::string KeptFilePath(const std::string& name);
// The file's document: an object, null when the file is missing, larger
// than any the updater writes, or not a JSON object.
Json::Value ReadKeptFile(const std::string& path);
// Writes `document` through a temporary file in the same folder, flushed to
// the disk, and one rename, so that a reader or a power cut finds the old
// document or the new one. False, with the reason in `error`, when it
// cannot; the file is untouched then.
bool WriteKeptFile(const std::string& path, const Json::Value& document, std::string* error);
