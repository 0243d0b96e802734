#pragma once
// The reference at the end of 'kelvane-gen --help': the commands, the options and the exit codes.

namespace kelvane::cli {

const char* HelpFooter();

}  // namespace kelvane::cli
