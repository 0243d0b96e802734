#pragma once
// What kelvane-gen writes: messages on standard error, prefixed with its name, and bytes on
// standard output.
#include <string>
#include <string_view>

namespace kelvane::cli {

inline constexpr const char* kProgram = "kelvane-gen";

// "kelvane-gen: MESSAGE" on standard error.
void Error(const std::string& message);

// A name between double quotes, in its printable form (safe_names.h).
std::string Quoted(const std::string& name);
// The printable form of a name, for the warnings that take a name shower.
std::string PrintableName(std::string_view name);

// Writes bytes to standard output as they are; says so and returns false when the output cannot
// take them.
bool WriteOut(std::string_view bytes);

}  // namespace kelvane::cli
