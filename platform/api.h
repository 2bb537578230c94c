// How the library's exports are declared on each platform.
#pragma once

#if defined(_WIN32)
// The platform's standard calling convention for system interfaces; names and
// ordinals come from the module definition file.
#define KORVAN_CALL __stdcall
#define KORVAN_EXPORT
#else
#define KORVAN_CALL
#define KORVAN_EXPORT __attribute__((visibility("default")))
#endif

#define KORVAN_API extern "C" KORVAN_EXPORT
