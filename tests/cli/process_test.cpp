// The process as others see it and as it was started: the process list while it runs, closed
// standard descriptors, a standard output that takes nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "run_gen.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> With(std::vector<std::string> command) {
  std::vector<std::string> all = ServerArguments();
  all.insert(all.end(), command.begin(), command.end());
  return all;
}

TEST(Process, ThePasswordIsNotInTheProcessListWhileAnExportRuns) {
  // A peer that accepts and never answers holds the export in its handshake.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  for (const std::string& given : {std::string("--password=S3cretXYZ"), std::string("-pS3cretXYZ")}) {
    SCOPED_TRACE(given);
    TempDir temp;
    std::string shown;
    GenEnvironment environment;
    environment.whileRunning = [&](pid_t pid) {
      pollfd waiting{listener, POLLIN, 0};
      ASSERT_EQ(::poll(&waiting, 1, 30000), 1) << "kelvane-gen never connected";
      shown = ReadBytes("/proc/" + std::to_string(pid) + "/cmdline");
      ::close(::accept(listener, nullptr, nullptr));  // ends the handshake
    };
    const GenRun run = RunGen({"-P", port, given, "export", "kelvane_cli", "--out", temp.path().string()},
                              environment);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_NE(shown.find("export"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("S3cret"), std::string::npos) << shown;
    EXPECT_NE(shown.find("xxxxxxxxx"), std::string::npos) << shown;
  }
  ::close(listener);
}

TEST(Process, ClosedStandardDescriptorsNeverCarryOutputToTheServer) {
  {
    SCOPED_TRACE("standard output closed: the folder mapping and the summary");
    TempDir temp;
    GenEnvironment environment;
    environment.closeStdout = true;
    const GenRun run = RunGen(With({"export", "kelvane_cli_names", "--out", temp.path().string()}), environment);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::size_t folders = 0;
    for (const auto& entry : fs::directory_iterator(temp.path())) folders += entry.is_directory();
    EXPECT_EQ(folders, 8u);
  }
  {
    SCOPED_TRACE("standard error closed: the message about the first table");
    TempDir temp;
    WriteBytes(temp.path() / "flags" / "Star.cs", "mine");
    GenEnvironment environment;
    environment.closeStderr = true;
    const GenRun run = RunGen(With({"export", "kelvane_cli", "--out", temp.path().string()}), environment);
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_EQ(ReadBytes(temp.path() / "flags" / "Star.cs"), "mine");
    for (const char* table : {"switches", "user", "用户表"})
      EXPECT_TRUE(fs::exists(temp.path() / table / "Star.cs")) << table;
  }
}

TEST(Process, AStandardOutputThatTakesNothingIsReported) {
  GenEnvironment environment;
  environment.stdoutFile = "/dev/full";
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"tables", "kelvane_cli"}, {"generate", "kelvane_cli", "user", "--pane", "set-class"}}) {
    const GenRun run = RunGen(With(command), environment);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("cannot write to standard output: No space left on device"), std::string::npos)
        << run.err;
  }
}

}  // namespace
}  // namespace kelvane::testing
