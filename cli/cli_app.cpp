#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/messages.h"
#include "cli/option_files.h"
#include "cli/settings.h"
#include "os/platform.h"

namespace kelvane::cli {

int RunCli(const std::vector<std::string>& rawArguments) {
  Settings settings;
  CommandLine commandLine(settings);
  CLI::App& app = commandLine.app;

  const PasswordArguments passwords = TakePasswordArguments(rawArguments, commandLine.OptionsWithValue());
  settings.password = passwords.password;
  settings.passwordGiven = passwords.given;
  settings.askPassword = passwords.ask;
  const auto usageError = [](const std::string& message) {
    Error(message);
    std::cerr << "Run '" << kProgram << " --help' for the commands and options.\n";
    return kExitUsage;
  };
  if (!passwords.valueMissing.empty())
    return usageError(passwords.valueMissing + " needs a value; a password argument follows it");

  std::vector<std::string> reversed = passwords.rest;
  std::reverse(reversed.begin(), reversed.end());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    // The top-level help shows every command with its options.
    std::cout << (app.get_subcommands().empty() ? app.help("", CLI::AppFormatMode::All)
                                                : app.help());
    return WriteOut("") ? kExitOk : kExitOther;
  } catch (const CLI::CallForVersion& e) {
    return WriteOut(std::string(e.what()) + "\n") ? kExitOk : kExitOther;
  } catch (const CLI::ParseError& e) {
    const std::string message = e.what();
    // The word after a bare -p may be a password the user meant to give: never show it.
    for (const std::string& word : passwords.afterAsk)
      if (!word.empty() && message.find(word) != std::string::npos)
        return usageError("-p or --password alone asks for the password; the word after it is "
                          "not taken as one (give it as --password=PW or -pPW)");
    return usageError(message);
  }

  // The option files, read once: their password goes to the connect call, their TLS keys are
  // resolved with the command line's, and the rest goes to the client library as one text.
  const char* mysqlHome = std::getenv("MARIADB_HOME") ? "MARIADB_HOME" : "MYSQL_HOME";
  const OptionText optionText = GatherOptionFiles(platform::Environment("HOME"),
                                                  platform::Environment(mysqlHome), kOptionGroup);
  for (const std::string& warning : optionText.warnings) std::cerr << warning << '\n';
  if (!optionText.problems.empty()) {
    for (const std::string& problem : optionText.problems) Error(problem);
    return kExitUsage;
  }
  if (settings.tls.verbose)
    for (const std::string& note : optionText.notes) Error("note: " + note);
  if (!settings.passwordGiven && !settings.askPassword && optionText.passwordGiven) {
    settings.password = optionText.password;
    settings.passwordGiven = true;
  }
  std::string optionFileError;
  settings.optionFile = OptionTextFile(optionText.text, optionFileError);
  if (settings.optionFile.empty()) {
    Error("cannot hand the option files to the client library: " + optionFileError);
    return kExitOther;
  }
  std::vector<std::string> tlsWarnings;
  const std::string tlsProblem = ResolveTls(settings.tls, optionText.entries, settings.connect, tlsWarnings);
  if (!tlsProblem.empty()) return usageError(tlsProblem);
  // Only VERIFY_IDENTITY without --ssl-ca checks against the system's CAs; the other modes give
  // the CA file or check nothing.
  if (!(settings.connect.sslMode == SslMode::VerifyIdentity && settings.connect.sslCa.empty()))
    platform::SkipSystemCertificates();
  for (const std::string& warning : tlsWarnings) Error("warning: " + warning);

  try {
    if (commandLine.databases->parsed()) return ListCommand(settings, true);
    if (commandLine.tables->parsed()) return ListCommand(settings, false);
    if (commandLine.columns->parsed()) return ColumnsCommand(settings);
    if (commandLine.generate->parsed()) return GenerateCommand(settings);
    if (commandLine.exporter->parsed()) return settings.check ? ExportCheckCommand(settings) : ExportCommand(settings);
  } catch (const std::exception& e) {
    Error(e.what());
    return kExitOther;
  }
  return kExitUsage;
}

}  // namespace kelvane::cli
