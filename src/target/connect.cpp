// Connecting to the A target through read.exe.
#include "target/connect.h"

#include <cstdint>

#include "tools/kernel_folder.h"
#include "tools/run_tool.h"

bool ConnectTarget(MainState& state, Desk& desk, const std::string& mac_text, const Log& log) {
  log("Connect to target " + mac_text + ":");
  // read.exe is no Kernel folder script: it runs where we stand, normally HomeDir.
  const std::string args = "-i " + state.InterfaceIp + " -m " + mac_text + " -a 0x0";
  const std::int32_t status = RunTool(desk, KernelPath(state.HomeDir) + "/read.exe", args);
  if (status != 0) {
    log("Err: Can't connect to target " + mac_text);
    return false;
  }
  // The programming line names the upgrade target, whichever address was passed here.
  state.ConnectedMac = state.UpgradeMac;
  log("Ok.");
  return true;
}
