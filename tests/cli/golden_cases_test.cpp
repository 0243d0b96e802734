// Command lines with their expected results, one folder each under tests/golden/cli/cases/:
//   args          one argument per line; a line "{server}" stands for the port and password of
//                 the test server, "{port}" inside a line for its port and "{out}" for a
//                 fresh output folder; "{tls_port}" for the port of the server that accepts
//                 only TLS, "{tls_ca}" and "{other_ca}" for the CA that signed its certificate
//                 and one that did not
//   exit_code     the expected exit code
//   stdout        the expected standard output, byte for byte ("{out}" as above); or
//   stdout_from   golden files, one path per line, whose joined bytes are expected (GBK
//                 expectations name GBK golden files)
//   stderr        lines each of which must appear in standard error; without it standard
//                 error must be empty
//   tree          the expected listing of the output folder (see FileListing)
//   files/        files whose bytes the output folder's files of the same path must hold (GBK
//                 bytes written down here, not converted by the code under test)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run_gen.h"
#include "support/golden.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(KELVANE_GOLDEN_DIR) / "cli" / "cases";

std::string Substitute(std::string text, const std::string& out) {
  const std::pair<std::string, std::string> fields[] = {
      {"{out}", out},
      {"{port}", std::to_string(TestPort())},
      {"{tls_port}", std::to_string(TlsTestPort())},
      {"{tls_ca}", TlsTestFile("ca.pem")},
      {"{other_ca}", TlsTestFile("other-ca.pem")},
  };
  for (const auto& [field, value] : fields)
    for (std::size_t at; (at = text.find(field)) != std::string::npos;)
      text.replace(at, field.size(), value);
  return text;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, GivesTheExpectedOutputAndExitCode) {
  const fs::path dir = kCases / GetParam();
  const std::string caseDir = "cli/cases/" + GetParam() + "/";
  TempDir temp;
  const std::string out = (temp.path() / "out").string();

  std::vector<std::string> arguments;
  for (const std::string& line : Lines(ReadBytes(dir / "args"))) {
    if (line == "{server}") {
      for (const std::string& argument : ServerArguments()) arguments.push_back(argument);
    } else {
      arguments.push_back(Substitute(line, out));
    }
  }
  const GenRun run = RunGen(arguments);

  EXPECT_EQ(run.exitCode, std::stoi(ReadBytes(dir / "exit_code"))) << "stderr: " << run.err;
  if (fs::exists(dir / "stdout_from")) {
    std::string expected;
    for (const std::string& golden : Lines(ReadBytes(dir / "stdout_from")))
      expected += ReadGolden(golden);
    EXPECT_TRUE(BytesEqual(expected, run.out));
  } else if (fs::exists(dir / "stdout")) {
    EXPECT_TRUE(BytesEqual(Substitute(ReadGolden(caseDir + "stdout"), out), run.out));
  } else {
    EXPECT_EQ(run.out, "");
  }
  if (fs::exists(dir / "stderr")) {
    for (const std::string& line : Lines(Substitute(ReadGolden(caseDir + "stderr"), out)))
      EXPECT_NE(run.err.find(line), std::string::npos) << "missing in stderr: " << line
                                                       << "\nstderr: " << run.err;
  } else {
    EXPECT_EQ(run.err, "");
  }
  if (fs::exists(dir / "tree")) {
    EXPECT_TRUE(BytesEqual(ReadGolden(caseDir + "tree"), FileListing(out)));
  }
  if (fs::exists(dir / "files")) {
    for (const auto& entry : fs::recursive_directory_iterator(dir / "files")) {
      if (!entry.is_regular_file()) continue;
      const fs::path relative = entry.path().lexically_relative(dir / "files");
      SCOPED_TRACE(relative.string());
      EXPECT_TRUE(BytesEqual(ReadBytes(entry.path()), ReadBytes(fs::path(out) / relative)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cli, GoldenCase, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace kelvane::testing
