#pragma once

#include "app/cli/cli_options.h"
#include "settings/setting_catalogue.h"
#include "settings/setting_context.h"

#include <span>
#include <string>

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an exchange failed, or the output could not be written
inline constexpr int kExitUsage = 2;   // refused before anything was sent
inline constexpr int kExitDiffers = 3; // done, but a read-back or a diff found a difference
inline constexpr int kExitInterrupted = 130; // stopped by Ctrl-C (128 + SIGINT)

// --help before the command or among its arguments.
bool wantsHelp(const CliOptions& options);
// Writes "COMMAND: MESSAGE" to stderr, control characters escaped; returns kExitUsage.
int refuse(const char* command, const std::string& message);

// Flushes stdout; false, with a message naming the command, when something written to it
// did not get through (a full disk, a closed pipe).
bool outputWritten(const char* command);

// --verify: reads back the settings written and reports on stderr, one line per field that
// differs, the settings that cannot be read back and the summary, each after "verify: "
// (with --json also as objects on stdout). False when a read or the output failed;
// `differs` tells whether a field differs.
bool verifyWritten(const CliOptions& options, SettingContext& context,
                   std::span<const SettingRow* const> written, bool& differs);

int runPortsCommand(const CliOptions& options);
int runRawCommand(const CliOptions& options);
int runGetCommand(const CliOptions& options);
int runSetCommand(const CliOptions& options);
int runNamesCommand(const CliOptions& options);
int runReadAllCommand(const CliOptions& options);
int runLoadAllCommand(const CliOptions& options);
int runDiffCommand(const CliOptions& options);
int runTestCommand(const CliOptions& options);
int runVersionsCommand(const CliOptions& options);
int runProvisionCommand(const CliOptions& options);
