// Asks NetworkManager (system D-Bus) whether it addresses an interface by DHCP.
#pragma once

#include <chrono>
#include <map>
#include <string>

class NetworkManagerDhcp final {
 public:
  // True when NetworkManager manages `interface` and the connection applied to it has ipv4
  // method "auto" (so it is DHCP even while the lease is still awaited). False without a system
  // bus, without NetworkManager, or when it does not answer within a short timeout. Answers are
  // kept for a few seconds, so a refresh every second costs a bus round trip only now and then.
  bool UsesDhcp(const std::string& interface);

 private:
  using Clock = std::chrono::steady_clock;
  struct Answer {
    bool dhcp = false;
    Clock::time_point time;
  };
  bool Ask(const std::string& interface);

  std::map<std::string, Answer> answers_;
  // Set when NetworkManager is absent or slow: nothing is asked until then.
  Clock::time_point quiet_until_{};
  bool unreachable_ = false;
};
