// Constants of the firmware kit this utility carries.
#pragma once

#include <string_view>

inline constexpr std::string_view kUtilityVersion = "2.7.3RC5";
// The hardware configuration the kit's firmware is built for.
inline constexpr std::string_view kKitHardwareConfig = "Coax_4-20_1.0";
// The build a target must report after a successful upgrade.
inline constexpr std::string_view kKitBuild = "2.7.3 Dec 21 2006 00:25:10";
