#include <windows.h>

#include <cstdio>

#include "os/password_prompt.h"

namespace kelvane::os {

namespace {

// What the Ctrl+C handler needs to give the console its echo back.
HANDLE gConsoleIn = INVALID_HANDLE_VALUE;
DWORD gSavedMode = 0;

BOOL WINAPI RestoreOnInterrupt(DWORD) {
  if (gConsoleIn != INVALID_HANDLE_VALUE) ::SetConsoleMode(gConsoleIn, gSavedMode);
  return FALSE;  // and let the default handler end the program
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                          nullptr, nullptr);
  return text;
}

void WriteWide(HANDLE console, const std::wstring& text) {
  DWORD written = 0;
  ::WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Reads up to a line break or the end of input from standard input; false when nothing at all
// was read.
bool ReadStdinLine(std::string& line) {
  line.clear();
  bool readSomething = false;
  for (int c; (c = std::fgetc(stdin)) != EOF;) {
    readSomething = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return readSomething;
}

}  // namespace

bool PromptPassword(const char* prompt, std::string& password) {
  const HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  const HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || !::GetConsoleMode(in, &mode)) {
    // No console: the prompt on standard error, the line from standard input.
    if (in != INVALID_HANDLE_VALUE) ::CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    const bool ok = ReadStdinLine(password);
    std::fputs("\n", stderr);
    return ok;
  }

  gConsoleIn = in;
  gSavedMode = mode;
  ::SetConsoleCtrlHandler(RestoreOnInterrupt, TRUE);
  ::SetConsoleMode(in, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
  WriteWide(out, std::wstring(prompt, prompt + std::char_traits<char>::length(prompt)));

  std::wstring line;
  bool readSomething = false;
  for (;;) {
    wchar_t buffer[256];
    DWORD read = 0;
    if (!::ReadConsoleW(in, buffer, 256, &read, nullptr) || read == 0) break;
    readSomething = true;
    line.append(buffer, read);
    const std::size_t end = line.find(L'\n');
    if (end != std::wstring::npos) {
      line.resize(end);
      break;
    }
  }
  if (!line.empty() && line.back() == L'\r') line.pop_back();

  ::SetConsoleMode(in, mode);
  ::SetConsoleCtrlHandler(RestoreOnInterrupt, FALSE);
  gConsoleIn = INVALID_HANDLE_VALUE;
  WriteWide(out, L"\r\n");  // the Enter the user typed was not echoed
  ::CloseHandle(in);
  ::CloseHandle(out);
  password = Utf8(line);
  return readSomething;
}

}  // namespace kelvane::os
