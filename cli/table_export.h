#pragma once
// Turning one table's columns into its five files: the texts come from BuildPaneText (the road
// the window takes), are encoded for the chosen file encoding and land in the table's folder in
// one step, so a folder is either the complete new export or left as it was.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "generators/generators.h"
#include "schema/field_table.h"

namespace kelvane::cli {

enum class Encoding { Gbk, Utf8 };

// "GBK" / "UTF-8", as shown in messages.
std::string_view EncodingName(Encoding encoding);

// Converts UTF-8 text to the encoding. False when GBK cannot hold a character; `problem` then
// receives the message part naming it.
bool Encode(std::string_view utf8, Encoding encoding, std::string& bytes, std::string& problem);

// Checks the names that go into a table's texts (the table name and every column name) against
// GBK. Empty when all fit; otherwise the message for the first that does not, naming the table,
// the column and the character, with the way out.
std::string GbkNameProblem(const std::string& table, const FieldTable& fields);

struct OutputFile {
  std::string name;   // file name inside the table's folder
  std::string bytes;  // encoded text
};

// File names of the five panes inside a table's folder.
std::string PaneFileName(Pane pane, const std::string& folder);

// The five files of a table, in pane order. False with `error` set when the encoding cannot
// hold the texts; `files` is then empty.
bool BuildTableFiles(const std::string& table, const std::string& folder, const FieldTable& fields,
                     Encoding encoding, std::vector<OutputFile>& files, std::string& error);

// Makes `dir`/`folder` hold exactly `files`: writes them into a fresh hidden folder in `dir`
// and puts that folder in place with a rename (an existing folder of that name is exchanged
// and removed). On failure returns false with `error` set, leaves `dir`/`folder` as it was
// and removes what it wrote.
bool WriteFolderAtomically(const std::filesystem::path& dir, const std::string& folder,
                           const std::vector<OutputFile>& files, std::string& error);

// Prefix of the hidden work folders; no made-safe folder name starts with a dot.
inline constexpr std::string_view kWorkFolderPrefix = ".kelvane-gen-";

}  // namespace kelvane::cli
