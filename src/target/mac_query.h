// Reading the MAC address of the A target reachable on the chosen interface.
#pragma once

#include "common/desk.h"
#include "common/log.h"
#include "common/mac_address.h"
#include "common/main_state.h"

// Runs query_address.bat and reads the first six colon-separated numbers of its result into `out`
// (low eight bits each). `out` is written only on success.
bool QueryTargetMac(MainState& state, Desk& desk, MacAddress& out, const Log& log);
// The Upgrade tab's "query" once the tab has been read: fills UpgradeMac, or shows the error box.
void QueryUpgradeMac(MainState& state, Desk& desk, const Log& log);
