// Entry point of the w4util command-line tool.
#include <cstdio>
#include <exception>
#include <iostream>
#include <utility>

#include "cli/Commands.h"
#include "w4util/Version.h"
#include "w4util/errors/ZelvoException.h"

namespace w4cli {
namespace {
std::function<int()>& Action() {
  static std::function<int()> action;
  return action;
}
}  // namespace

void SetAction(std::function<int()> action) { Action() = std::move(action); }

}  // namespace w4cli

namespace {

int Run(int argc, char** argv) {
  CLI::App app{"w4util: settings, compression, printer-queue and page-description tools of the "
               "Zelvo printer driver utility library"};
  app.set_version_flag("--version", std::string("w4util ") + W4UTIL_VERSION_STRING);
  app.require_subcommand(0, 1);

  w4cli::AddFormatCommands(app);
  w4cli::AddCabCommands(app);
  w4cli::AddPclXlCommands(app);
  w4cli::AddFilesCommands(app);
  w4cli::AddSettingsCommands(app);
  w4cli::AddJobCommands(app);
  w4cli::AddDemoCommand(app);
  w4cli::AddPrinterCommands(app);
  w4cli::AddRegCommands(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? w4cli::kExitOk : w4cli::kExitUsage;
  }
  if (!w4cli::Action()) {
    std::cout << app.help();
    return app.get_subcommands().empty() ? w4cli::kExitUsage : w4cli::kExitOk;
  }
  try {
    return w4cli::Action()();
  } catch (const w4cli::UsageError& e) {
    std::cerr << "w4util: " << e.text << "\n";
    return w4cli::kExitUsage;
  } catch (const ZelvoException& e) {
    std::cerr << e.what() << "\n";
    return w4cli::kExitFailure;
  } catch (const std::exception& e) {
    std::cerr << "w4util: " << e.what() << "\n";
    return w4cli::kExitFailure;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Building the command tree can fail too (out of memory): report it, do
  // not end in std::terminate.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "w4util: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "w4util: unknown failure\n";
  }
  return w4cli::kExitFailure;
}
