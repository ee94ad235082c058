// The setup launcher's main flow: library search hardening, switches, up to five attempts,
// the failure message and the exit code.
#pragma once

#include <string>

#include "core/setup_extractor.h"
#include "platform/launcher_platform.h"

namespace vgsetup {

constexpr int kMaxAttempts = 5;
constexpr unsigned kRetryPauseMs = 250;
constexpr const char* kErrorCaption = "Launcher Error";

// Acts on one command-line argument if it is a launcher switch:
//   /T:PATH  base folder for the temporary folder (the last one that fits counts)
//   /W, /w   wait for the engine, then delete its files at once
//   /~DBG    (any case) show the hand-off before starting and keep the extracted files
// Every argument, switch or not, is also passed on to the engine.
void ApplySwitch(CSetupExtractor& extractor, const std::string& argument);

// Runs the launcher and returns its exit code (a launcher result code).
int LauncherMain(CLauncherPlatform& platform);

}  // namespace vgsetup
