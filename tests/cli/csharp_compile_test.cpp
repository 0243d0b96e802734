// The C# entity texts through a real C# compiler, Mono's mcs, each beside an empty
// MySql.Data.MySqlClient namespace (what the texts' using directive needs): a text compiles
// exactly when kelvane-gen warns about it (a C# reason or a name that is not an identifier),
// and a text made with the key for the list class compiles unless something else is warned.
// The texts: the generator goldens and samples, seeded random tables, and the exports of the
// fixture databases with and without --key auto. The C# operation text (Star.cs) is left out:
// it is a fixed class written against the real MySQL connector, not meant to compile alone.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "support/sample_tables.h"
#include "cli/name_checks.h"
#include "cli/safe_names.h"
#include "generators/generators.h"
#include "run_gen.h"
#include "schema/csharp_check.h"
#include "support/golden.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

struct CSharpText {
  std::string label;
  std::string table;
  std::string text;
  bool warned = false;
  bool parseFails = false;  // warned for a name the parser stops at (keyword, not an identifier)
};

// What the check and the identifier warnings say about a table built here.
CSharpText Checked(std::string label, const std::string& table, const FieldTable& fields,
                   const ColumnFactsList& facts, const TextOptions& options) {
  CSharpText text;
  text.label = std::move(label);
  text.table = table;
  text.text = BuildCSharpEntityText(table, fields, options);
  const std::vector<CSharpReason> reasons =
      CSharpEntityProblems(table, fields, facts, options.keyInCSharpList ? options.keyPosition : kNoColumn);
  text.parseFails = !cli::NotAnIdentifier(table).empty();
  for (const FieldRecord& f : fields) text.parseFails = text.parseFails || !cli::NotAnIdentifier(f.columnName).empty();
  text.warned = text.parseFails || !reasons.empty();
  return text;
}

struct Compile {
  bool ok = false;
  std::string output;
};

Compile Mcs(const fs::path& dir, const std::vector<fs::path>& files) {
  std::string command = "mcs -target:library -out:'" + (dir / "out.dll").string() + "' '" +
                        (dir / "mysql_stub.cs").string() + "'";
  for (const fs::path& file : files) command += " '" + file.string() + "'";
  Compile result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

// The labels of the texts whose compiler verdict is not what the warnings say. Texts expected
// to compile go in batches of distinct table names; texts warned for a reason the compiler
// finds after parsing go in one batch each must show up in; the others are compiled alone.
std::vector<std::string> Disagreements(const std::vector<CSharpText>& texts) {
  TempDir dir;
  WriteBytes(dir.path() / "mysql_stub.cs", "namespace MySql.Data.MySqlClient {}\n");
  std::vector<fs::path> files;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    files.push_back(dir.path() / ("t" + std::to_string(i) + ".cs"));
    WriteBytes(files.back(), texts[i].text);
  }
  const auto alone = [&](std::size_t i) { return Mcs(dir.path(), {files[i]}).ok; };
  std::vector<std::string> wrong;
  std::vector<std::vector<std::size_t>> okBatches;
  std::vector<std::size_t> semantic;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].parseFails) {
      if (alone(i)) wrong.push_back(texts[i].label + " compiles but is warned");
    } else if (texts[i].warned) {
      semantic.push_back(i);
    } else {
      std::size_t b = 0;
      while (b < okBatches.size() && std::any_of(okBatches[b].begin(), okBatches[b].end(), [&](std::size_t j) {
               return texts[j].table == texts[i].table;
             }))
        ++b;
      if (b == okBatches.size()) okBatches.emplace_back();
      okBatches[b].push_back(i);
    }
  }
  for (const std::vector<std::size_t>& batch : okBatches) {
    std::vector<fs::path> paths;
    for (std::size_t i : batch) paths.push_back(files[i]);
    if (Mcs(dir.path(), paths).ok) continue;
    for (std::size_t i : batch)
      if (!alone(i)) wrong.push_back(texts[i].label + " does not compile and is not warned");
  }
  std::vector<fs::path> paths;
  for (std::size_t i : semantic) paths.push_back(files[i]);
  const Compile batch = Mcs(dir.path(), paths);
  for (std::size_t i : semantic)
    if (batch.output.find(files[i].filename().string() + "(") == std::string::npos && alone(i))
      wrong.push_back(texts[i].label + " compiles but is warned");
  return wrong;
}

void ExpectAgreement(const std::vector<CSharpText>& texts, const std::string& what) {
  std::size_t warned = 0;
  for (const CSharpText& t : texts) warned += t.warned ? 1 : 0;
  std::cout << what << ": " << texts.size() << " C# entity texts, " << texts.size() - warned
            << " compile, " << warned << " warned\n";
  for (const std::string& wrong : Disagreements(texts)) ADD_FAILURE() << what << ": " << wrong;
}

TEST(CSharpCompiles, TheSampleTablesCompileExactlyWhenNotWarned) {
  std::vector<CSharpText> texts;
  for (const SampleTable& s : {UserIdName(), UserIdNameCreated(), SevenPrefixes(), EveryTypeMapRow(), SingleColumn(),
                               OnlyX(), Empty(), FirstNotId(), Chinese(), SpaceInName(), OwnColumnX()}) {
    texts.push_back(Checked(s.caseName, s.tableName, s.fields, {}, {}));
    TextOptions keyed;
    keyed.keyInCSharpList = true;
    texts.push_back(Checked(s.caseName + " keyed", s.tableName, s.fields, {}, keyed));
  }
  ExpectAgreement(texts, "samples");
}

// Tables of names and C# types the fixtures and users have: keys called id, user_id, uid or
// 编号 of every C# type of the type map, and now and then one more thing the compiler stops at
// (an own X, a column named like the table, a keyword, a table named X or class).
TEST(CSharpCompiles, RandomTablesCompileExactlyWhenNotWarnedAndTheKeyFixesTheListClass) {
  const std::vector<std::string> tables = {"user", "goods", "用户表", "order_item", "Users", "item", "np"};
  const std::vector<std::string> columns = {"user_id", "uid", "编号", "名称", "name", "value", "_id", "price", "ID"};
  const std::vector<std::string> types = {"int", "long", "float", "byte", "String", "DateTime", "bool"};
  std::mt19937 random(20261209);
  const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  std::vector<CSharpText> texts;
  std::size_t keyedTexts = 0;
  for (int n = 0; n < 48; ++n) {
    const std::string table = random() % 12 == 0 ? pick({"X", "class"}) : pick(tables);
    std::vector<std::string> names;
    if (random() % 3 != 0) names.push_back("id");
    for (std::size_t count = names.size() + 1 + random() % 4; names.size() < count;) {
      const std::string name = pick(columns);
      if (std::find(names.begin(), names.end(), name) == names.end() && !(name == "ID" && !names.empty() && names[0] == "id"))
        names.push_back(name);
    }
    if (random() % 4 == 0) names.insert(names.begin() + random() % names.size(), pick({"X", table, "int", "class"}));
    FieldTable fields;
    ColumnFactsList facts(names.size() + 1);
    for (const std::string& name : names) fields.push_back({name, "", "", pick(types)});
    const std::size_t key = random() % (names.size() + 1);  // == size(): no key
    if (key < names.size()) facts[key].primaryKey = facts[key].notNull = true;
    fields.push_back(StateRecord());
    const std::string label = "random table " + std::to_string(n) + " (" + table + ")";
    texts.push_back(Checked(label, table, fields, facts, {}));
    if (key < names.size()) {
      TextOptions keyed;
      keyed.keyPosition = key;
      keyed.keyInCSharpList = true;
      texts.push_back(Checked(label + " keyed", table, fields, facts, keyed));
      const std::vector<CSharpReason> reasons = CSharpEntityProblems(table, fields, facts, key);
      EXPECT_TRUE(std::none_of(reasons.begin(), reasons.end(), [](const CSharpReason& r) {
        return r.problem == CSharpProblem::NoIdColumn || r.problem == CSharpProblem::IdNotComparable;
      })) << label;
      ++keyedTexts;
    }
  }
  EXPECT_GT(keyedTexts, 10u);
  ExpectAgreement(texts, "random tables");
}

// The .cs file of every table folder of an export, with the warnings kelvane-gen gave for it.
std::vector<CSharpText> ExportedTexts(const std::string& database, const std::vector<std::string>& options) {
  TempDir out;
  std::vector<std::string> arguments = ServerArguments();
  for (const char* word : {"export", database.c_str(), "--out", out.path().c_str(), "--encoding", "utf-8"})
    arguments.push_back(word);
  arguments.insert(arguments.end(), options.begin(), options.end());
  const GenRun run = RunGen(arguments);
  EXPECT_NE(run.out.find("exported"), std::string::npos) << run.err;
  std::vector<CSharpText> texts;
  for (const fs::directory_entry& folder : fs::directory_iterator(out.path()))
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
      if (file.path().extension() != ".cs" || file.path().filename() == "Star.cs") continue;
      CSharpText text;
      text.label = database + "." + folder.path().filename().string();
      text.text = ReadBytes(file.path());
      const std::string head = "namespace  np.";
      const std::size_t at = text.text.find(head) + head.size();
      text.table = text.text.substr(at, text.text.find("\r\n", at) - at);
      const std::string said = "kelvane-gen: warning: table \"" + cli::Printable(text.table) + "\"";
      for (const std::string& line : Lines(run.err)) {
        if (!line.starts_with(said)) continue;
        text.parseFails = text.parseFails || line.find("is not an identifier") != std::string::npos;
        text.warned = text.warned || text.parseFails || line.find("will not compile") != std::string::npos;
      }
      texts.push_back(text);
    }
  return texts;
}

TEST(CSharpCompiles, TheFixtureDatabasesCompileExactlyWhenNotWarned) {
  std::vector<CSharpText> texts;
  std::size_t keyed = 0;
  for (const char* database : {"kelvane_shop", "kelvane_blog", "kelvane_cli", "kelvane_cli_keys", "kelvane_cli_csharp", "kelvane_cli_korean",
                               "kelvane_cli_names", "kelvane hostile `q' \"%\\ 库"})
    for (bool key : {false, true}) {
      std::vector<CSharpText> more = ExportedTexts(database, key ? std::vector<std::string>{"--key", "auto"}
                                                                 : std::vector<std::string>{});
      if (key) keyed += more.size();
      texts.insert(texts.end(), more.begin(), more.end());
    }
  EXPECT_GT(keyed, 10u);
  ExpectAgreement(texts, "fixture databases");
}

}  // namespace
}  // namespace kelvane::testing
