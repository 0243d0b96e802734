#pragma once
// kelvane-gen's commands, one file each. Each returns the exit code.
#include "cli/settings.h"

namespace kelvane::cli {

// databases (`databases`) or tables DB: one name per line.
int ListCommand(const Settings& settings, bool databases);
// columns DB TABLE: one line per column.
int ColumnsCommand(const Settings& settings);
// generate DB TABLE --pane PANE: one pane's text on standard output.
int GenerateCommand(const Settings& settings);
// export DB [TABLE...] --out DIR: the five files of each table.
int ExportCommand(const Settings& settings);
// export --check: what that export would change, with nothing written.
int ExportCheckCommand(const Settings& settings);

}  // namespace kelvane::cli
