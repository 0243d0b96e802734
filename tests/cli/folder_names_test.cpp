// Folder names for table names: which are kept, how the others are made safe, how clashes are
// told apart.
#include <gtest/gtest.h>

#include <set>

#include "cli/name_checks.h"
#include "cli/safe_names.h"
#include "cli/table_export.h"

namespace kelvane::cli {
namespace {

std::vector<std::string> Folders(const std::vector<std::string>& tables) {
  std::vector<std::string> folders;
  for (const FolderName& entry : AssignFolderNames(tables)) folders.push_back(entry.folder);
  return folders;
}

TEST(FolderNames, OrdinaryNamesAreKept) {
  for (const char* name : {"user", "用户表", "my table", "we`ird", "select", "it's", "a.b", "com10",
                           "console", "lpt", "~x", "-"}) {
    EXPECT_TRUE(UsableAsIs(name)) << name;
    EXPECT_EQ(Folders({name}), std::vector<std::string>{name});
  }
}

TEST(FolderNames, CharactersAFileSystemRefusesBecomeUnderscores) {
  for (char c : std::string("/\\:*?\"<>|\x01\t\n\x1f\x7f")) {
    const std::string name = std::string("a") + c + "b";
    EXPECT_FALSE(UsableAsIs(name)) << int(c);
    EXPECT_EQ(MakeSafe(name), "a_b") << int(c);
  }
}

TEST(FolderNames, DotsSpacesAndDeviceNamesAreDefused) {
  EXPECT_EQ(MakeSafe(".hidden"), "_hidden");
  EXPECT_EQ(MakeSafe(".."), "__");
  EXPECT_EQ(MakeSafe("end."), "end_");
  EXPECT_EQ(MakeSafe("end. ."), "end___");
  EXPECT_EQ(MakeSafe("con"), "_con");
  EXPECT_EQ(MakeSafe("CON.txt"), "_CON.txt");
  EXPECT_EQ(MakeSafe("Lpt9"), "_Lpt9");
  EXPECT_EQ(MakeSafe("com1.x"), "_com1.x");
  for (const char* device : {"COM0", "lpt0", "COM\u00b9", "LPT\u00b2.txt", "com\u00b3", "CONIN$", "conout$.x", "nul .txt"})
    EXPECT_EQ(MakeSafe(device), std::string("_") + device);
  EXPECT_EQ(MakeSafe("COM10"), "COM10");
  EXPECT_EQ(MakeSafe(""), "_");
}

TEST(FolderNames, LongNamesAreCutWithoutSplittingACharacter) {
  std::string longest;  // 64 characters of three bytes: the longest table name there is
  for (int i = 0; i < 64; ++i) longest += "表";
  EXPECT_EQ(Folders({longest}), std::vector<std::string>{longest});
  std::string longer = longest + "表表表";
  ASSERT_GT(longer.size(), kMaxFolderBytes);
  const std::string cut = MakeSafe(longer);
  EXPECT_EQ(cut.size(), 198u);
  EXPECT_EQ(cut, longer.substr(0, 198));
}

TEST(FolderNames, NamesThatMeetWhenCaseIsIgnoredAreToldApart) {
  // Names meet when a case-insensitive or normalising file system (Windows, macOS) takes them
  // for one: a canonical caseless match under simple case folding. The folder keeps the name.
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"Dup", "dup", "DUP"}, {"Dup", "dup~2", "DUP~3"}},
      {{"x", "x~2", "X"}, {"x", "x~2", "X~3"}},
      {{"\u00c9", "\u00e9"}, {"\u00c9", "\u00e9~2"}},                      // É, é
      {{"caf\u00e9", "cafe\u0301"}, {"caf\u00e9", "cafe\u0301~2"}},      // NFC, NFD
      {{"CAFE\u0301", "caf\u00e9"}, {"CAFE\u0301", "caf\u00e9~2"}},
      {{"a\u0323\u0307", "a\u0307\u0323"}, {"a\u0323\u0307", "a\u0307\u0323~2"}},  // mark order
      {{"\u01c5", "\u01c6", "\u01c4"}, {"\u01c5", "\u01c6~2", "\u01c4~3"}},  // ǅ ǆ Ǆ
      {{"\u03c3", "\u03c2", "\u03a3"}, {"\u03c3", "\u03c2~2", "\u03a3~3"}},  // σ, final ς, Σ
      {{"\u212a", "k"}, {"\u212a", "k~2"}},                                // Kelvin sign
      {{"\ud55c", "\u1112\u1161\u11ab"}, {"\ud55c", "\u1112\u1161\u11ab~2"}},  // 한, its jamo
      // Apart: İ folds to i only in the Turkic or the full folding, ß to ss only in the full one.
      {{"\u0130", "i", "I"}, {"\u0130", "i", "I~2"}},
      {{"Stra\u00dfe", "STRASSE"}, {"Stra\u00dfe", "STRASSE"}},
      {{"\u7528\u6237\u8868", "\u7528\u6236\u8868"}, {"\u7528\u6237\u8868", "\u7528\u6236\u8868"}},  // 用户表 用戶表
  };
  for (const auto& [tables, folders] : cases) EXPECT_EQ(Folders(tables), folders) << tables[0];
}

TEST(FolderNames, AUsableNameIsNeverRenamedForAMadeSafeOne) {
  const auto entries = AssignFolderNames({"a/b", "a:b", "a_b"});
  EXPECT_EQ(Folders({"a/b", "a:b", "a_b"}), (std::vector<std::string>{"a_b~2", "a_b~3", "a_b"}));
  EXPECT_TRUE(entries[0].changed);
  EXPECT_TRUE(entries[1].changed);
  EXPECT_FALSE(entries[2].changed);
}

TEST(FolderNames, EveryFolderIsUsableAndDistinctAfterFolding) {
  const std::vector<std::string> tables = {".", "..", ".a", "a.", "A.", "con", "CON", "_con", "a/b",
                                           "a\\b", "A_B", "a_b~2", "x ", "X_", "/", "?", "_"};
  std::set<std::string> seen;
  for (const FolderName& entry : AssignFolderNames(tables)) {
    EXPECT_TRUE(UsableAsIs(entry.folder)) << entry.folder;
    EXPECT_TRUE(seen.insert(Fold(entry.folder)).second) << entry.folder;
    EXPECT_EQ(entry.changed, entry.folder != entry.table);
  }
  EXPECT_EQ(seen.size(), tables.size());
}

TEST(FolderNames, RepeatedTablesGetOneFolder) {
  EXPECT_EQ(Folders({"user", "flags", "user"}), (std::vector<std::string>{"user", "flags"}));
}

TEST(FolderNames, TheEntityFileNeverTakesTheOperationFilesName) {
  EXPECT_EQ(EntityFileName("user"), "user.cs");
  EXPECT_EQ(EntityFileName("Star"), "Star_entity.cs");
  EXPECT_EQ(EntityFileName("STAR"), "STAR_entity.cs");
  EXPECT_EQ(EntityFileName("Stars"), "Stars.cs");
}

TEST(FolderNames, MessagesShowControlCharactersEscaped) {
  EXPECT_EQ(Printable("a\nb\\c\x7f" "表😀"), "a\\x0Ab\\\\c\\x7F表😀");
  EXPECT_EQ(Printable("l\u2028p\u2029c\u009b|"), "l\\u2028p\\u2029c\\u009B|");
  EXPECT_EQ(Printable("a|b", "|"), "a\\|b");
}

// Bytes that are not UTF-8, as every check that reads names meets them: shown as \xHH, never
// read as a character (an overlong NUL is no control character, a surrogate no letter).
TEST(NameChecks, BytesThatAreNotUtf8) {
  struct Case {
    const char* name;
    const char* printable;
    const char* firstBad;  // what the identifier check and the GBK check name
  };
  const Case cases[] = {
      {"a\xC0\x80", "a\\xC0\\x80", "\\xC0"},                        // overlong NUL
      {"a\xE0\x80\xAF", "a\\xE0\\x80\\xAF", "\\xE0"},              // overlong '/'
      {"a\xED\xA0\x80", "a\\xED\\xA0\\x80", "\\xED"},              // surrogate U+D800
      {"a\xF4\x90\x80\x80", "a\\xF4\\x90\\x80\\x80", "\\xF4"},    // past U+10FFFF
      {"a\xF0\x9F\x98", "a\\xF0\\x9F\\x98", "\\xF0\\x9F\\x98"},  // cut short at the end
      {"a\xE8\xA1x", "a\\xE8\\xA1x", "\\xE8\\xA1"},                 // cut short inside
      {"a\xB1\xED", "a\\xB1\\xED", "\\xB1"},                        // GBK bytes
      {"a\xC2", "a\\xC2", "\\xC2"},                                  // half a C1 control
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Printable(c.name), c.printable) << c.printable;
    EXPECT_EQ(NotAnIdentifier(c.name), std::string("holds bytes that are not UTF-8 (") + c.firstBad + ")")
        << c.printable;
    EXPECT_EQ(ControlCharacterProblem(c.name, {{c.name, "", "", ""}}), "") << c.printable;
    EXPECT_EQ(GbkNameProblem(c.name, {}), std::string("table \"") + c.printable +
                                              "\": GBK cannot hold bytes that are not UTF-8 (" +
                                              c.firstBad + ") of the table name; use --encoding utf-8")
        << c.printable;
  }
}

TEST(NameChecks, IdentifiersInCSharpAndEpl) {
  for (const char* name : {"user", "用户表", "_x1", "이름", "Café", "X"}) EXPECT_EQ(NotAnIdentifier(name), "") << name;
  const std::pair<const char*, const char*> refused[] = {
      {"my table", "holds ' ' (U+0020)"}, {"1st", "starts with a digit"}, {"class", "is a C# keyword"},
      {"a{b", "holds '{' (U+007B)"}, {"全角\u3000空格", "holds '\u3000' (U+3000)"},
      {"x，y", "holds '，' (U+FF0C)"}, {"", "is empty"}};
  for (const auto& [name, why] : refused) EXPECT_EQ(NotAnIdentifier(name), why) << name;
  EXPECT_EQ(ControlCharacterProblem("t", {{"ok", "", "", ""}, {"a\x7f", "", "", ""}}),
            "table \"t\", column \"a\\x7F\": the column name holds the control character U+007F; a name "
            "with a control character would break the generated lines");
  EXPECT_NE(ControlCharacterProblem("表\u2029", {}).find("the table name holds the control character U+2029"),
            std::string::npos);
  // A zero byte (a column name the client library cut there keeps it) and the empty table name:
  // named, with nothing but the name's own bytes, escaped.
  EXPECT_EQ(ControlCharacterProblem("t", {{std::string("a\0", 2), "", "", ""}}),
            "table \"t\", column \"a\\x00\": the column name holds the control character U+0000; a name "
            "with a control character would break the generated lines");
  EXPECT_NE(ControlCharacterProblem(std::string("a\0b", 3), {}).find("table \"a\\x00b\": the table name holds"),
            std::string::npos);
  EXPECT_EQ(ControlCharacterProblem("", {}), "table \"\": the table name is empty; no text can name such a table");
}

}  // namespace
}  // namespace kelvane::cli
