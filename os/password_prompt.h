#pragma once
// Asking for the password on the terminal without echoing it.
#include <string>

namespace kelvane::os {

// Writes `prompt` to the controlling terminal and reads one line from it with echo off; the
// terminal's settings are restored afterwards, also when the user interrupts. Without a
// controlling terminal the line is read from standard input. False when nothing could be read
// (end of input before a line break still counts as a line if something was typed).
bool PromptPassword(const char* prompt, std::string& password);

}  // namespace kelvane::os

namespace kelvane::cli {
using ::kelvane::os::PromptPassword;
}  // namespace kelvane::cli
