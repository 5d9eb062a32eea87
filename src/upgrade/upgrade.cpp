// The upgrade sequence and the Download request.
#include "upgrade/upgrade.h"

#include <cstdint>
#include <string>

#include "common/kit.h"
#include "common/mac_address.h"
#include "target/connect.h"
#include "target/version.h"
#include "tools/kernel_folder.h"
#include "tools/run_tool.h"
#include "upgrade/hardware_check.h"

namespace {

// The parameter file in the Tool folder beside Kernel, as seen from inside Kernel.
constexpr char kParameterFile[] = "../Tool/prm_VOR512.inf";

// The line of the statuses that have one; empty for the others.
std::string ProgrammingFailure(std::int32_t status) {
  switch (status) {
    case -1:
      return "Err: can't run program_flash.bat";
    case -101:
      return "Err: invalid input of program_flash.bat.";
    case -102:
      return "Err: failed to process parameters of mkprm.exe";
    case -103:
      return "Err: prm.inf not found.";
    case -104:
      return "Err: image generation failed.";
    case -105:
      return "Err: flash programming failed.";
    default:
      return {};
  }
}

}  // namespace

bool UpgradeFirmware(MainState& state, Desk& desk, const Log& log) {
  const std::string mac_text = DashForm(state.UpgradeMac);
  log(std::string(47, '-'));
  log("Start to upgrade " + mac_text);
  log("Check the necessary files:");
  const std::string kernel = KernelPath(state.HomeDir);
  if (!IsPlainFile(kernel + "/read.exe")) {
    log("Err: Can't find Kernel\\read.exe file.");
    return false;
  }
  if (!IsFolder(kernel)) {
    log("Err: Can't find Kernel directory.");
    return false;
  }
  log("Ok.");
  if (!ConnectTarget(state, desk, mac_text, log)) return false;

  log("start to upgrade :");
  KernelFolder folder(state.HomeDir, {});
  if (!folder.Enter()) {
    log("Err: Can't change dir to " + folder.Path());
    return false;
  }
  const std::string args = " " + state.InterfaceIp + " " + DashForm(state.UpgradeMac) + " " +
                           std::string(kKitHardwareConfig) + " " + kParameterFile + " " +
                           DashForm(state.ConnectedMac) + " NO_PRM_INF";
  const std::int32_t status = folder.Run(desk, kernel + "/program_flash.bat", args);
  folder.Leave();
  if (status < 0) {
    const std::string line = ProgrammingFailure(status);
    if (!line.empty()) log(line);
    log("Err: upgrade fail.");
    return false;
  }
  log("Ok.");
  desk.Pause(1000);
  return QueryVersion(state, desk, mac_text, log);
}

void Download(MainState& state, Desk& desk, const Log& log) {
  if (!CheckHardwareConfig(state, desk, DashForm(state.UpgradeMac))) {
    desk.ShowError("HW doesn't match, upgrade failed.", "Error");
    return;
  }
  if (UpgradeFirmware(state, desk, log) && state.VersionText == kKitBuild) {
    desk.ShowResult(
        "Upgrade complete. Current Version is " + FormatVersion(state, state.VersionText),
        "Success");
  } else {
    desk.ShowError("Upgrade Fail", "Fail");
  }
}
