// The A target's firmware version, device type and device information line.
#pragma once

#include <string>

#include "common/desk.h"
#include "common/log.h"
#include "common/main_state.h"

// Reads VersionText through version.bat, then runs QueryDeviceInfo; true only when both succeed.
bool QueryVersion(MainState& state, Desk& desk, const std::string& mac_text, const Log& log);
// Reads DevType and DevInfo through get_device_type.bat and get_devinf.bat.
bool QueryDeviceInfo(MainState& state, Desk& desk, const std::string& mac_text, const Log& log);
// The version as the user sees it: two early builds get a release-candidate name, the device type
// and the device information line as they stand now; any other text is shown unchanged.
std::string FormatVersion(const MainState& state, const std::string& version);
// The "Get Version" request once the Upgrade tab has been read: query, then one box.
void GetVersion(MainState& state, Desk& desk, const Log& log);
