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

// An export of a program, which the libraries it loads may look up.
#if defined(_WIN32)
#define KORVAN_PROGRAM_EXPORT __declspec(dllexport)
#else
#define KORVAN_PROGRAM_EXPORT __attribute__((visibility("default")))
#endif
