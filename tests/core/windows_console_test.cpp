// The Windows console writer and the password overwrite in the process's command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "os/platform.h"

namespace kelvane {
namespace {

TEST(WindowsConsole, PiecesNeverSplitASurrogatePairAndStopAtAFailedWrite) {
  // U+1F600 as its pair, straddling the piece boundary at every offset around it.
  for (std::size_t before : {os::kConsolePiece - 2, os::kConsolePiece - 1, os::kConsolePiece}) {
    const std::wstring text = std::wstring(before, L'a') + L"\xD83D\xDE00" + L"b";
    std::vector<std::wstring> pieces;
    EXPECT_TRUE(os::WriteWideInPieces(text, os::kConsolePiece,
                                      [&](const wchar_t* at, std::size_t count, std::size_t& written) {
                                        pieces.emplace_back(at, count);
                                        written = count;
                                        return true;
                                      }));
    std::wstring joined;
    for (const std::wstring& piece : pieces) {
      EXPECT_LE(piece.size(), os::kConsolePiece);
      EXPECT_FALSE(IS_HIGH_SURROGATE(piece.back())) << "a piece ends inside a pair, at " << before;
      joined += piece;
    }
    EXPECT_EQ(joined, text);
  }
  const std::wstring text(40000, L'a');
  int calls = 0;
  for (bool accepts : {false, true}) {  // refused, or "taken" with nothing written
    calls = 0;
    EXPECT_FALSE(os::WriteWideInPieces(text, os::kConsolePiece, [&](const wchar_t*, std::size_t, std::size_t& written) {
      ++calls;
      written = 0;
      return accepts;
    }));
    EXPECT_EQ(calls, 1);
  }
}

TEST(WindowsConsole, AFailedConsoleWriteFailsTheStream) {
  // A pipe is no console: WriteConsoleW refuses it, as it refuses a console that went away.
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
  os::ConsoleBuffer buffer(write);
  std::ostream out(&buffer);
  out << "a line\n";
  EXPECT_TRUE(out.bad());
  std::ostream later(&buffer);
  later << "no end of line";
  later.flush();
  EXPECT_TRUE(later.bad());
  ::CloseHandle(read);
  ::CloseHandle(write);
}

std::size_t PasswordStart(std::string_view argument) {
  if (argument.starts_with("--password=")) return 11;
  return argument.size() > 2 && argument.starts_with("-p") ? 2 : 0;
}

TEST(WindowsConsole, PasswordsAreOverwrittenInTheCommandLine) {
  struct Case {
    const wchar_t* line;
    const wchar_t* hidden;
  } cases[] = {
      {L"k.exe --password=abc -u x", L"k.exe --password=xxx -u x"},
      {L"\"C:\\p q\\k.exe\" -pse\"cr et\" databases", L"\"C:\\p q\\k.exe\" -pxx\"xxxxx\" databases"},
      {L"k.exe \"--password=a\\\"b\" -p\\\\\"x\"", L"k.exe \"--password=x\\xx\" -px\\\"x\""},
      {L"k.exe -p\u5BC6\u7801 -p \"\"\"q\"\"\"", L"k.exe -pxx -p \"\"\"q\"\"\""},
      {L"k.exe --password= -- --password=kept -pkept", L"k.exe --password= -- --password=kept -pkept"},
      {L"k.exe  \t-pa\"\"\"b  ", L"k.exe  \t-px\"\"xx  "},
  };
  for (const Case& c : cases) {
    std::wstring line = c.line;
    EXPECT_TRUE(os::HidePasswordsIn(line, &PasswordStart));
    EXPECT_EQ(line, c.hidden);
  }
  EXPECT_TRUE(os::HideCommandLinePasswords(&PasswordStart));
}

}  // namespace
}  // namespace kelvane
