// The version and copyright lines that the About box shows.
//
// On Windows they come from the program file's own version resource, so the About
// box always tells the version of the file that runs; elsewhere from the version
// constants of the build. UI-free.
#pragma once

#include <string>

namespace vg::ui {

// The file version "major.minor.build.revision", each in decimal; empty when unknown.
std::string GetProgramVersionText();
// The copyright line; empty when unknown.
std::string GetProgramCopyrightText();

// The address of the change-log page for a version.
std::string ChangeLogAddress(const std::string& version);

}  // namespace vg::ui
