// The --store PATH option shared by the commands that use the registry store
// (and the spooler kept in it): one folder for the whole run, given before
// the command group or on the command itself. Without it the store is the
// default data folder ($W4UTIL_HOME, ...). Also what those commands share
// around it: the --printer queue option and the action that opens the store
// and reports the commands' own failures.
#pragma once

#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace w4cli {

// Adds --store to app (the tool itself or one command); adding it twice to
// the same app does nothing.
void AddStoreOption(CLI::App& app);
// Makes the chosen folder the process's registry store; call from a
// command's action before the first registry or spooler call.
void OpenChosenStore();
// The folder in use.
std::string ChosenStoreFolder();

// Adds the subcommand name of group for work on one printer queue: the
// required --printer NAME (into printer, which must outlive the parse) and
// --store.
CLI::App* AddQueueCommand(CLI::App& group, const char* name, const char* help, std::string& printer);

// A failure a store command finds itself (not a library exception):
// reported as "w4util: TEXT" on stderr, exit code 1.
struct CommandFailure {
  std::string text;
};

// Sets work (int()) as the command's action, run on the chosen store; a
// CommandFailure it throws is reported there.
template <typename Work>
void SetStoreAction(Work work) {
  SetAction([work] {
    OpenChosenStore();
    try {
      return work();
    } catch (const CommandFailure& e) {
      std::cerr << "w4util: " << e.text << "\n";
      return kExitFailure;
    }
  });
}

}  // namespace w4cli
