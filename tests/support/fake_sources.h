// Scripted capture-device and adapter sources for window and table tests.
#pragma once

#include <optional>
#include <vector>

#include "net/sources.h"

class FakeDevices final : public DeviceSource {
 public:
  std::optional<std::vector<CaptureDevice>> Devices() override {
    ++calls;
    return list;
  }
  std::optional<std::vector<CaptureDevice>> list = std::vector<CaptureDevice>{};
  int calls = 0;
};

class FakeAdapters final : public AdapterSource {
 public:
  std::optional<std::vector<AdapterRecord>> Adapters() override {
    ++calls;
    return table;
  }
  std::optional<std::vector<AdapterRecord>> table = std::vector<AdapterRecord>{};
  int calls = 0;
};
