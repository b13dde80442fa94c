// The --store PATH option shared by the commands that use the registry store
// (and the spooler kept in it): one folder for the whole run, given before
// the command group or on the command itself. Without it the store is the
// default data folder ($W4UTIL_HOME, ...).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace w4cli {

// Adds --store to app (the tool itself or one command); adding it twice to
// the same app does nothing.
void AddStoreOption(CLI::App& app);
// Makes the chosen folder the process's registry store; call from a
// command's action before the first registry or spooler call.
void OpenChosenStore();
// The folder in use.
std::string ChosenStoreFolder();

}  // namespace w4cli
