#include "cli/command_line.h"

#include "cli/help_text.h"
#include "cli/messages.h"
#include "kelvane_version.h"

namespace kelvane::cli {

CommandLine::CommandLine(Settings& settings)
    : app("Writes 易语言 and C# source texts for the tables of a MySQL or MariaDB database.", kProgram) {
  app.set_help_flag("--help", "Print this help and exit");
  app.set_version_flag("--version", std::string(kProgram) + " " KELVANE_VERSION,
                       "Print the version and exit");
  app.footer(HelpFooter());
  app.fallthrough();
  app.require_subcommand(1);

  app.add_option("-h,--host", settings.host, "Server host name or address (default 127.0.0.1)")
      ->check([](const std::string& host) {
        return host.empty() ? std::string("the host must not be empty") : std::string();
      });
  app.add_option("-P,--port", settings.port, "Server port (default 3306)")
      ->check(CLI::Range(1u, 65535u));
  app.add_option("-u,--user", settings.user, "User name (default root)");
  app.add_option("--password", unusedPassword_,
                 "Password as given (also -pPW; --password= is the empty one); -p or --password "
                 "alone asks for it, the next word is never taken as the password");
  app.add_flag("-p", unusedAsk_, "Ask for the password without echoing it");
  app.add_flag("--bool-tinyint1", settings.boolTinyint1,
               "Map TINYINT(1) and BIT(1) columns to 逻辑型 / Jl / bool");
  AddTlsOptions(app, settings.tls);

  const auto nonEmpty = [](const std::string& name) {
    return name.empty() ? std::string("the database name must not be empty") : std::string();
  };
  const auto encodingOption = [&](CLI::App* command, const char* defaultName) {
    command
        ->add_option("--encoding", settings.encoding,
                     std::string("Text encoding, gbk or utf-8 (default ") + defaultName + ")")
        ->transform(CLI::IsMember({"gbk", "utf-8"}, CLI::ignore_case));
  };

  databases = app.add_subcommand("databases", "List the databases, one per line");
  tables = app.add_subcommand("tables", "List the tables of DB, one per line");
  tables->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  columns = app.add_subcommand("columns", "List the columns of a table as the generators see them");
  columns->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  columns->add_option("TABLE", settings.table, "Table")->required();
  generate = app.add_subcommand("generate", "Write one pane's text for a table to standard output");
  generate->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  generate->add_option("TABLE", settings.table, "Table")->required();
  std::vector<std::string> paneNames;
  for (const auto& [name, pane] : PaneNames()) paneNames.push_back(name);
  generate
      ->add_option("--pane", settings.pane,
                   "custom-type, class-module, set-class, csharp-entity or csharp-operation")
      ->required()
      ->check(CLI::IsMember(paneNames));
  encodingOption(generate, "utf-8");
  const auto textOptions = [&](CLI::App* command) {
    command
        ->add_option("--key", settings.key,
                     "The set class's key column: COLUMN, or auto for the table's one-column "
                     "primary key (default: the first column)")
        ->check([](const std::string& key) {
          return key.empty() ? std::string("the key column must not be empty") : std::string();
        });
    command->add_flag("--comments", settings.comments,
                      "Write the column comments as remarks (one more statement per table)");
  };
  textOptions(generate);
  exporter = app.add_subcommand("export", "Write the five texts of each table to files");
  exporter->add_option("DB", settings.database, "Database")->required()->check(nonEmpty);
  exporter->add_option("TABLE", settings.tables, "Tables to export (default: all)");
  exporter->add_option("--out", settings.out, "Output folder (created when missing)")
      ->required()
      ->check([](const std::string& dir) {
        return dir.empty() ? std::string("the output folder must not be empty") : std::string();
      });
  encodingOption(exporter, "gbk");
  textOptions(exporter);
  exporter->add_flag("--force", settings.force,
                     "Replace files at the export's file names even when the previous export did "
                     "not write them or they were changed since");
  exporter->add_flag("--check", settings.check,
                     "Write and remove nothing: print each table whose files the export would add, "
                     "change or remove; exit code 8 when there is one");

  // The full reference stays with the top-level help.
  for (CLI::App* command : {databases, tables, columns, generate, exporter})
    command->footer(
        "Connection options (-h, -P, -u, --password, -p) and --bool-tinyint1 may stand before or\n"
        "after the command; 'kelvane-gen --help' describes them all.");
}

std::vector<std::string> CommandLine::OptionsWithValue() const {
  std::vector<std::string> optionsWithValue;
  std::vector<const CLI::App*> commands = {&app};
  for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command);
  for (const CLI::App* command : commands)
    for (const CLI::Option* option : command->get_options())
      if (option->get_type_size_max() > 0) {
        for (const std::string& name : option->get_snames()) optionsWithValue.push_back("-" + name);
        for (const std::string& name : option->get_lnames()) optionsWithValue.push_back("--" + name);
      }
  return optionsWithValue;
}

}  // namespace kelvane::cli
