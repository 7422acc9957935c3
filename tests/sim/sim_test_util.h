// Helpers shared by the simulator's unit tests.
#ifndef VXSROM_TESTS_SIM_SIM_TEST_UTIL_H_
#define VXSROM_TESTS_SIM_SIM_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/output_file.h"

namespace sim {

/// A fresh directory for one test (new on every run), ending with a separator.
inline std::string FreshDirectory() {
  static int counter = 0;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string dir = ::testing::TempDir() + "vxctl_sim_" + info->test_suite_name() + "_" +
                    info->name() + "_" + std::to_string(++counter) + "_" +
                    std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
  platform::MakeDirectories(dir);
  return dir + "/";
}

/// Writes text to path.
inline void WriteFile(const std::string& path, const std::string& text) {
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, text.data(), text.size()));
}

/// The whole file as bytes.
inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> data;
  platform::ReadInputFile(path, 1 << 20, &data, nullptr);
  return data;
}

/// The whole file as text.
inline std::string ReadText(const std::string& path) {
  std::vector<uint8_t> data = ReadBytes(path);
  return std::string(data.begin(), data.end());
}

/// A wide path for the image-building operations.
inline std::wstring Wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }

}  // namespace sim

#endif  // VXSROM_TESTS_SIM_SIM_TEST_UTIL_H_
