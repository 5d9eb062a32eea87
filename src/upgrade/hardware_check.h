// Checking that the target's hardware configuration is the one the kit's firmware is built for.
#pragma once

#include <string>
#include <string_view>

#include "common/desk.h"
#include "common/main_state.h"

// Reads the target's device information line into DevInfo through get_devinf.bat and compares its
// hardware configuration with the kit's, ignoring case. On a mismatch the user decides; false also
// when the script or its result file fails.
bool CheckHardwareConfig(MainState& state, Desk& desk, const std::string& mac_text);

// The configuration named by the hardware field of a device information line, "...hw=W1 W2 #W3
// pin=...": "W1_W2_W3"; W1 alone when fewer words follow the pattern; empty without any word.
std::string TargetHardwareConfig(std::string_view devinf_line);
