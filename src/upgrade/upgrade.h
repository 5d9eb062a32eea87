// The firmware upgrade of the A target and the Download request around it.
#pragma once

#include "common/desk.h"
#include "common/log.h"
#include "common/main_state.h"

// Checks the toolchain, connects, runs program_flash.bat with the kit's line, pauses and reads the
// version back. True when programming and the read-back both succeeded.
bool UpgradeFirmware(MainState& state, Desk& desk, const Log& log);
// The Download request once the Upgrade tab has been read: hardware check, upgrade, one box.
void Download(MainState& state, Desk& desk, const Log& log);
