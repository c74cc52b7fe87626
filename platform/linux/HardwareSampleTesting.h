// Test helpers of the Linux hardware backends: the sample files and the
// sample machine root of tests/fixtures/linux/hardware.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {

inline const std::string kDir = std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/linux/hardware/";
inline const std::string kRoot = kDir + "root";

// The text of sample file `name`; a test fails when it cannot be read.
inline std::string sample(const std::string& name) {
  auto text = readWholeFile(kDir + name);
  EXPECT_TRUE(text) << name;
  return text.value_or(std::string());
}

}  // namespace quorvane::platform::linux_backend
