// Running one toolchain member and the two existence tests.
#pragma once

#include <cstdint>
#include <string>

class Desk;

// Runs the member `path` (a bare name is the file in the current directory) with the
// whitespace-separated words of `args`, in the current directory, and waits for it through the
// desk. Returns its exit status as signed (a normal exit sign-extended from 8 bits, death by signal
// N as -(128 + N)), or -1 when it cannot be found or started. A missing member (or a directory of
// that name) shows "Err: Can't find " + path first.
std::int32_t RunTool(Desk& desk, const std::string& path, const std::string& args);

// True when `path` names an existing entry that is not a directory.
bool IsPlainFile(const std::string& path);
// True when `path` names an existing directory.
bool IsFolder(const std::string& path);
