// Connecting to the A target: read.exe must reach it on the chosen interface.
#pragma once

#include <string>

#include "common/desk.h"
#include "common/log.h"
#include "common/main_state.h"

// Runs Kernel/read.exe (by its absolute path, in the current directory) with the interface address
// and `mac_text` (dash form). On status 0 records UpgradeMac as ConnectedMac and returns true.
bool ConnectTarget(MainState& state, Desk& desk, const std::string& mac_text, const Log& log);
