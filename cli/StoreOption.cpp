#include "cli/StoreOption.h"

#include "cli/Commands.h"
#include "w4util/platform/RegistryStore.h"

namespace w4cli {
namespace {

std::string& StorePath() {
  static std::string path;
  return path;
}

}  // namespace

void AddStoreOption(CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->check_lname("store")) return;
  }
  app.add_option("--store", StorePath(),
                 "registry store folder (default: $W4UTIL_HOME, else the user's data folder)")
      ->type_name("PATH");
}

std::string ChosenStoreFolder() {
  return StorePath().empty() ? w4platform::RegistryStore::DefaultDataFolder() : StorePath();
}

CLI::App* AddQueueCommand(CLI::App& group, const char* name, const char* help, std::string& printer) {
  CLI::App* command = group.add_subcommand(name, help);
  command->add_option("--printer", printer, "printer queue name")->required();
  AddStoreOption(*command);
  return command;
}

void OpenChosenStore() {
  if (StorePath().empty()) return;  // the process store opens the default itself
  w4platform::RegistryStore::ReplaceProcessStore(
      w4platform::RegistryStore::OpenFolder(StorePath()));
}

}  // namespace w4cli
