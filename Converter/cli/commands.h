// Subcommands of the `vellagard` command-line tool. Each Add... function registers its
// subcommand on the application; the callback stores the exit code in `exit_code`.
#pragma once

#include <CLI/CLI.hpp>

namespace vg::cli {

// Exit codes shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

void AddProtectCommands(CLI::App& app, int& exit_code);
void AddConvertCommand(CLI::App& app, int& exit_code);
void AddListCommand(CLI::App& app, int& exit_code);

}  // namespace vg::cli
