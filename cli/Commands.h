// The command groups of the w4util tool. Each group adds its subcommands to
// the application; a subcommand's work runs through Run(), which turns a
// library failure into its report on stderr and exit code 1.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace w4cli {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Sets the work of the chosen subcommand; main runs it after parsing.
void SetAction(std::function<int()> action);

// Thrown by a command for a usage error found after parsing (exit code 2).
struct UsageError {
  std::string text;
};

void AddFormatCommands(CLI::App& app);
void AddCabCommands(CLI::App& app);
void AddPclXlCommands(CLI::App& app);
void AddFilesCommands(CLI::App& app);
void AddSettingsCommands(CLI::App& app);
void AddJobCommands(CLI::App& app);
void AddDemoCommand(CLI::App& app);
void AddPrinterCommands(CLI::App& app);
void AddRegCommands(CLI::App& app);

}  // namespace w4cli
