#pragma once
// Each subcommand of zorvik-cli registers itself on the application; main() only lists them.
#include <CLI/CLI.hpp>

namespace zorvik::cli {

// Exit statuses of the command-line program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

void RegisterInfoCommand(CLI::App& app);
void RegisterMetCommand(CLI::App& app);
void RegisterPercentileCommand(CLI::App& app);
void RegisterHoursCommand(CLI::App& app);
void RegisterRollingCommand(CLI::App& app);
void RegisterDesignCommand(CLI::App& app);

}  // namespace zorvik::cli
