// Shared fixture of the launcher tests that run against the fake platform.
#pragma once

#include <gtest/gtest.h>

#include "core/setup_extractor.h"
#include "tests/fake_platform.h"

namespace vgsetup::test {

// Resets the process-wide flags around every test.
class FakeLauncherTest : public ::testing::Test {
 protected:
  FakeLauncherTest() { g_bUnicodePath = g_bDebug = false; }
  ~FakeLauncherTest() override { g_bUnicodePath = g_bDebug = false; }

  // An extractor over `file`, its launcher's own file.
  CSetupExtractor& Extractor(const SetupFile& file) { return Extractor(file.Build()); }
  CSetupExtractor& Extractor(const std::string& bytes) {
    fake.archive = bytes;
    return extractor;
  }

  CFakePlatform fake;
  CSetupExtractor extractor{fake};
};

}  // namespace vgsetup::test
