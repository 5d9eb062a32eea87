// The platform side of RunTool: start a program with argument words and wait for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Desk;

// Starts `path` exactly as given (argv = path, then `words`) in the current directory with the
// program's environment, and waits for it through the desk. nullopt when it cannot be started.
std::optional<std::int32_t> StartAndWait(Desk& desk, const std::string& path,
                                         const std::vector<std::string>& words);
