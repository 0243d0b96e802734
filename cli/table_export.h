#pragma once
// Turning one table's columns into its five files: the texts come from BuildPaneText (the road
// the window takes), are encoded for the chosen file encoding and land in the table's folder in
// its folder (see folder_write.h).
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/folder_write.h"
#include "generators/generators.h"
#include "schema/field_table.h"
#include "text/text.h"

namespace kelvane::cli {

enum class Encoding { Gbk, Utf8 };

// "GBK" / "UTF-8", as shown in messages.
std::string_view EncodingName(Encoding encoding);

// The UTF-8 to GBK converter (Utf8ToGbk; a test hands in one that fails).
using GbkConverter = GbkConversion (*)(std::string_view utf8);

// Converts UTF-8 text to the encoding. False when GBK cannot hold a character; `problem` then
// receives the message part naming it.
bool Encode(std::string_view utf8, Encoding encoding, std::string& bytes, std::string& problem,
            GbkConverter convert = Utf8ToGbk);

// Checks the names that go into a table's texts (the table name and every column name) against
// GBK. Empty when all fit; otherwise the message for the first that does not, naming the table,
// the column and the character, with the way out.
std::string GbkNameProblem(const std::string& table, const FieldTable& fields,
                           GbkConverter convert = Utf8ToGbk);

// File names of the five panes inside a table's folder.
std::string PaneFileName(Pane pane, const std::string& folder);

// The five files of a table, in pane order. False with `error` set when the encoding cannot
// hold the texts; `files` is then empty.
bool BuildTableFiles(const std::string& table, const std::string& folder, const FieldTable& fields,
                     const TextOptions& options, Encoding encoding, std::vector<OutputFile>& files,
                     std::string& error, GbkConverter convert = Utf8ToGbk);

}  // namespace kelvane::cli
