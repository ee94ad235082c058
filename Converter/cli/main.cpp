// vellagard: the command-line front end of the converter.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/terminal.h"
#include "version.h"

int main(int argc, char** argv) {
  CLI::App app{std::string(vg::kProgramTitle) +
               ": protects images for the web and writes the pages that show them."};
  app.name("vellagard");
  app.set_version_flag("--version", std::string("vellagard ") + vg::kVersion);
  app.require_subcommand(1);

  int exit_code = vg::cli::kExitOk;
  vg::cli::AddProtectCommands(app, exit_code);
  vg::cli::AddConvertCommand(app, exit_code);
  vg::cli::AddListCommand(app, exit_code);

  vg::cli::PrepareConsole();
  std::vector<std::string> args = vg::cli::Utf8Arguments(argc, argv);
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return vg::cli::kExitUsage;
  }
  return exit_code;
}
