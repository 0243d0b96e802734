#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <random>
#include <streambuf>

#include "os/platform.h"
#include "text/utf8.h"

namespace kelvane::os {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const wchar_t* wide, int length) {
  if (length == 0) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
  return text;
}


// Bytes from the program (UTF-8, or GBK from --encoding gbk) as UTF-16 for a console.
std::wstring ForConsole(std::string_view bytes) {
  for (UINT codePage : {static_cast<UINT>(CP_UTF8), 936u}) {
    const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) continue;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                          static_cast<int>(bytes.size()), wide.data(), size);
    return wide;
  }
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
  return wide;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

bool WriteConsoleText(HANDLE console, std::string_view bytes) {
  return WriteWideInPieces(ForConsole(bytes), kConsolePiece,
                           [console](const wchar_t* text, std::size_t count, std::size_t& written) {
                             DWORD n = 0;
                             const bool ok = ::WriteConsoleW(console, text, static_cast<DWORD>(count), &n, nullptr);
                             written = n;
                             return ok;
                           });
}

}  // namespace

bool WriteWideInPieces(std::wstring_view text, std::size_t piece, const WidePieceWriter& write) {
  while (!text.empty()) {
    std::size_t count = text.size() < piece ? text.size() : piece;
    // A surrogate pair goes out whole: a console shows half of one as a replacement character.
    if (count < text.size() && count > 1 && IS_HIGH_SURROGATE(text[count - 1])) --count;
    std::size_t written = 0;
    if (!write(text.data(), count, written) || written == 0 || written > count) return false;
    text.remove_prefix(written);
  }
  return true;
}

ConsoleBuffer::ConsoleBuffer(void* console) : console_(console) {}

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  pending_ += static_cast<char>(c);
  if ((c == '\n' || pending_.size() >= 4096) && !Flush(false)) return traits_type::eof();
  return c;
}

std::streamsize ConsoleBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if ((pending_.find('\n') != std::string::npos || pending_.size() >= 4096) && !Flush(false)) return 0;
  return count;
}

int ConsoleBuffer::sync() { return Flush(true) ? 0 : -1; }

// Keeps an incomplete UTF-8 sequence at the end for the next write unless `all`. What could not
// be written is dropped: the stream has failed and says so.
bool ConsoleBuffer::Flush(bool all) {
  std::size_t end = pending_.size();
  if (!all) end -= utf8::IncompleteTail(pending_);
  const bool ok = WriteConsoleText(static_cast<HANDLE>(console_), std::string_view(pending_).substr(0, end));
  pending_.erase(0, end);
  return ok;
}

namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    default:
      return EIO;
  }
}

int LastErrno() { return ErrnoOf(::GetLastError()); }

std::wstring Wide(const fs::path& path) { return path.wstring(); }

std::string FolderOf(UINT (*get)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH + 1];
  const UINT n = get(buffer, MAX_PATH);
  return n > 0 && n <= MAX_PATH ? Utf8(buffer, static_cast<int>(n)) : std::string();
}

UINT SystemWindowsDirectory(LPWSTR buffer, UINT size) { return ::GetSystemWindowsDirectoryW(buffer, size); }
UINT WindowsDirectory(LPWSTR buffer, UINT size) { return ::GetWindowsDirectoryW(buffer, size); }

// The option files of this run, removed at exit (one clean-up, however many connections).
std::mutex g_optionFilesLock;
std::vector<std::wstring> g_optionFiles;
void RemoveOptionFiles() {
  const std::lock_guard<std::mutex> lock(g_optionFilesLock);
  for (const std::wstring& file : g_optionFiles) ::DeleteFileW(file.c_str());
}
void RemoveAtExit(const std::wstring& file) {
  static const bool registered = std::atexit(RemoveOptionFiles) == 0;
  (void)registered;
  const std::lock_guard<std::mutex> lock(g_optionFilesLock);
  g_optionFiles.push_back(file);
}

}  // namespace

std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i], static_cast<int>(wcslen(wide[i]))));
  ::LocalFree(wide);
  return arguments;
}

bool PrepareStandardStreams() {
  for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  static ConsoleBuffer out(::GetStdHandle(STD_OUTPUT_HANDLE));
  static ConsoleBuffer err(::GetStdHandle(STD_ERROR_HANDLE));
  if (IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE))) std::cout.rdbuf(&out);
  const HANDLE errHandle = ::GetStdHandle(STD_ERROR_HANDLE);
  if (IsConsole(errHandle)) {
    std::cerr.rdbuf(&err);
    // The progress line clears itself with an ANSI sequence.
    DWORD mode = 0;
    if (::GetConsoleMode(errHandle, &mode))
      ::SetConsoleMode(errHandle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
  return true;
}

bool StderrIsTerminal() { return IsConsole(::GetStdHandle(STD_ERROR_HANDLE)); }

bool WriteStdout(std::string_view bytes) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (IsConsole(out)) {
    std::cout.flush();
    return WriteConsoleText(out, bytes);
  }
  std::cout.flush();
  return (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) &&
         std::fflush(stdout) == 0;
}

namespace {

// One argument of a command line: its characters and where each one stands in the line.
struct PlacedArgument {
  std::wstring text;
  std::vector<std::size_t> at;
};

// The arguments after the program name, split by the rules of CommandLineToArgvW: blanks outside
// quotes separate; 2n backslashes before a quote give n and the quote opens or closes quoting,
// 2n+1 give n and a quote; a third quote in a row gives a quote.
std::vector<PlacedArgument> SplitPlaced(std::wstring_view line) {
  std::size_t i = 0;
  if (i < line.size() && line[i] == L'"') {
    for (++i; i < line.size() && line[i] != L'"'; ++i) {}
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
  }
  while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
  std::vector<PlacedArgument> arguments;
  if (i < line.size()) arguments.emplace_back();
  int quotes = 0;
  std::size_t backslashes = 0;
  while (i < line.size()) {
    PlacedArgument& argument = arguments.back();
    const auto put = [&argument](wchar_t c, std::size_t at) {
      argument.text += c;
      argument.at.push_back(at);
    };
    const auto drop = [&argument](std::size_t count) {
      argument.text.resize(argument.text.size() - count);
      argument.at.resize(argument.at.size() - count);
    };
    const wchar_t c = line[i];
    if ((c == L' ' || c == L'\t') && quotes == 0) {
      while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
      if (i < line.size()) arguments.emplace_back();
      backslashes = 0;
    } else if (c == L'\\') {
      put(c, i++);
      ++backslashes;
    } else if (c == L'"') {
      if (backslashes % 2 == 0) {
        drop(backslashes / 2);
        ++quotes;
      } else {
        drop(backslashes / 2 + 1);
        put(c, i);
      }
      ++i;
      backslashes = 0;
      for (; i < line.size() && line[i] == L'"'; ++i)
        if (++quotes == 3) {
          put(L'"', i);
          quotes = 0;
        }
      if (quotes == 2) quotes = 0;
    } else {
      put(c, i++);
      backslashes = 0;
    }
  }
  return arguments;
}

}  // namespace

bool HidePasswordsIn(std::wstring& line, std::size_t (*passwordStart)(std::string_view)) {
  // The system's own reading decides; the placed split must agree with it before it is used.
  int count = 0;
  wchar_t** system = ::CommandLineToArgvW(line.c_str(), &count);
  if (system == nullptr) return true;
  std::vector<std::string> texts;
  for (int i = 1; i < count; ++i) texts.push_back(Utf8(system[i], static_cast<int>(wcslen(system[i]))));
  const std::vector<PlacedArgument> placed = SplitPlaced(line);
  bool agree = placed.size() == texts.size();
  for (std::size_t i = 0; agree && i < placed.size(); ++i)
    agree = Utf8(placed[i].text.data(), static_cast<int>(placed[i].text.size())) == texts[i];
  ::LocalFree(system);
  bool hidden = true;
  for (std::size_t i = 0; i < texts.size() && texts[i] != "--"; ++i) {
    // The password follows an ASCII prefix, so it starts at the same index in UTF-16.
    const std::size_t start = passwordStart(texts[i]);
    if (start == 0) continue;
    if (!agree) {
      hidden = false;
      continue;
    }
    for (std::size_t j = start; j < placed[i].at.size(); ++j) line[placed[i].at[j]] = L'x';
  }
  return hidden;
}

// The command line other processes read is the one in the process parameters, which
// GetCommandLineW hands out; both are overwritten in place should they ever differ.
bool HideCommandLinePasswords(std::size_t (*passwordStart)(std::string_view)) {
  using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  UNICODE_STRING kept{};
  if (query && query(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0 &&
      basic.PebBaseAddress && basic.PebBaseAddress->ProcessParameters)
    kept = basic.PebBaseAddress->ProcessParameters->CommandLine;
  bool hidden = true;
  wchar_t* const own = ::GetCommandLineW();
  for (wchar_t* buffer : {kept.Buffer, own == kept.Buffer ? nullptr : own}) {
    if (buffer == nullptr) continue;
    const std::size_t length = buffer == kept.Buffer ? kept.Length / sizeof(wchar_t) : wcslen(buffer);
    std::wstring line(buffer, length);
    hidden = HidePasswordsIn(line, passwordStart) && hidden;
    std::copy(line.begin(), line.end(), buffer);
  }
  return hidden;
}

void SkipSystemCertificates() {}

std::string Environment(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wideName.c_str());
  return value ? Utf8(value, static_cast<int>(wcslen(value))) : std::string();
}

// The files Connector/C reads on Windows, in its order: my.ini and my.cnf in the Windows
// folder (system and per user), in C:\, next to the program, then in %MARIADB_HOME% (or
// %MYSQL_HOME%). No file in the user's home folder.
std::vector<std::string> OptionFileLocations(const std::string&, const std::string& mysqlHome) {
  std::vector<std::string> dirs = {FolderOf(SystemWindowsDirectory), FolderOf(WindowsDirectory), "C:"};
  wchar_t module[MAX_PATH + 1];
  const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (n > 0 && n < MAX_PATH) dirs.push_back(PathText(fs::path(std::wstring(module, n)).parent_path()));
  if (!mysqlHome.empty()) dirs.push_back(mysqlHome);
  std::vector<std::string> files;
  for (const std::string& dir : dirs)
    if (!dir.empty())
      for (const char* name : {"my.ini", "my.cnf"}) files.push_back(dir + "\\" + name);
  return files;
}

bool WorldWritable(const std::string&) { return false; }  // Windows guards files by their ACL

namespace {

// Reads the opened file if it is a regular file of at most `limit` bytes, and closes it. One
// loop for option files, manifests and whatever else the program reads.
int ReadOpened(HANDLE file, std::uint64_t limit, std::string& bytes,
               FileIdentity* identity = nullptr) {
  bytes.clear();
  int error = 0;
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (::GetFileType(file) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) ||
      standard.Directory ||
      (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    error = EINVAL;
  else if (static_cast<std::uint64_t>(standard.EndOfFile.QuadPart) > limit)
    error = EFBIG;
  BY_HANDLE_FILE_INFORMATION info{};
  if (identity && error == 0) {
    if (!::GetFileInformationByHandle(file, &info)) error = LastErrno();
    *identity = {info.dwVolumeSerialNumber, static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  }
  while (error == 0) {
    char buffer[65536];
    DWORD n = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) error = LastErrno();
    if (error != 0 || n == 0) break;
    bytes.append(buffer, n);
    if (bytes.size() > limit) error = EFBIG;  // grew while being read
  }
  ::CloseHandle(file);
  if (error != 0) bytes.clear();
  return error;
}

// A regular file named by its path, links followed.
int ReadRegular(const fs::path& path, std::uint64_t limit, std::string& bytes,
                FileIdentity* identity = nullptr) {
  bytes.clear();
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrno();
  return ReadOpened(file, limit, bytes, identity);
}

}  // namespace

int WaitForSocket(std::intptr_t socket, bool read, bool write, int milliseconds) {
  WSAPOLLFD watch{};
  watch.fd = static_cast<SOCKET>(socket);
  watch.events = static_cast<SHORT>((read ? POLLRDNORM : 0) | (write ? POLLWRNORM : 0));
  const int ready = ::WSAPoll(&watch, 1, milliseconds < 0 ? 0 : milliseconds);
  if (ready <= 0) return 0;
  const bool broken = (watch.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  return ((watch.revents & POLLRDNORM) || (broken && read) ? kSocketReadable : 0) |
         ((watch.revents & POLLWRNORM) || (broken && write) ? kSocketWritable : 0);
}

int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  return ReadRegular(Utf8Path(path), maxBytes, bytes);
}

int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, FileIdentity& identity) {
  return ReadRegular(Utf8Path(path), maxBytes, bytes, &identity);
}

// A file of this run in the user's temporary folder, removed when the program ends. The text
// holds no password (that goes to the connect call), nothing a killed run could leave behind. The client
// library opens it with the ANSI functions, so the name is given in the ANSI code page (or as
// the short name when the ANSI code page cannot hold the folder's name).
std::string OptionTextFile(const std::string& text, int& error) {
  error = 0;
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n > MAX_PATH) {
    error = ENOENT;
    return {};
  }
  std::mt19937 random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring path = std::wstring(temp, n) + L"kelvane-gen-" +
                        std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(random() % 1000000) + L".cnf";
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      error = LastErrno();
      return {};
    }
    DWORD written = 0;
    const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    ::CloseHandle(file);
    RemoveAtExit(path);
    if (!ok) {
      error = EIO;
      return {};
    }
    for (int useShort = 0; useShort < 2; ++useShort) {
      std::wstring name = path;
      if (useShort) {
        wchar_t shortName[MAX_PATH + 1];
        const DWORD s = ::GetShortPathNameW(path.c_str(), shortName, MAX_PATH);
        if (s == 0 || s > MAX_PATH) break;
        name.assign(shortName, s);
      }
      BOOL lossy = FALSE;
      const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(),
                                             static_cast<int>(name.size()), nullptr, 0, nullptr, &lossy);
      if (size <= 0 || lossy) continue;
      std::string ansi(static_cast<std::size_t>(size), '\0');
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), static_cast<int>(name.size()),
                            ansi.data(), size, nullptr, &lossy);
      return ansi;
    }
    error = ENOENT;
    return {};
  }
  error = EEXIST;
  return {};
}

namespace {

// Opens the name itself for its attributes only: no sharing mode is in the way, and a reparse
// point (a link or junction) is opened as it is, never followed.
HANDLE OpenEntry(const fs::path& path) {
  return ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

struct Identity {
  bool folder = false;  // a real folder, not a reparse point
  std::uint64_t volume = 0, id = 0, idHigh = 0;
};

// Asks the open file itself, never its name (which may have changed since it was opened).
bool IdentityOf(HANDLE handle, Identity& identity) {
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return false;
  identity.folder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  FILE_ID_INFO id{};
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
    identity.volume = id.VolumeSerialNumber;
    std::memcpy(&identity.id, id.FileId.Identifier, 8);
    std::memcpy(&identity.idHigh, id.FileId.Identifier + 8, 8);
    return true;
  }
  // File systems without 128-bit ids (FAT on older systems) answer this one.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

int ErrnoOfStatus(NTSTATUS status) { return ErrnoOf(::RtlNtStatusToDosError(status)); }

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The entry `name` of the open folder `root`, found from the handle and not by a path, as the
// *at() calls do on POSIX: a folder moved or replaced since it was opened changes nothing. The
// name is one entry; an empty name is the folder itself. Names compare as the Win32 calls
// compare them, without regard to case.
class EntryName {
 public:
  EntryName(HANDLE root, std::string_view name) : wide_(Wide(Utf8Path(name))) {
    valid_ = wide_.find_first_of(L"\\/") == std::wstring::npos && wide_.size() < 32768;
    name_.Buffer = wide_.data();
    name_.Length = name_.MaximumLength = static_cast<USHORT>(wide_.size() * sizeof(wchar_t));
    InitializeObjectAttributes(&attributes_, &name_, OBJ_CASE_INSENSITIVE, root, nullptr);
  }
  bool valid() const { return valid_; }
  OBJECT_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  std::wstring wide_;
  bool valid_ = false;
  UNICODE_STRING name_{};
  OBJECT_ATTRIBUTES attributes_{};
};

// Opens `name` in `root`; 0 or the errno, with `file` set only on success.
int OpenAt(HANDLE root, std::string_view name, ACCESS_MASK access, ULONG share, ULONG disposition,
           ULONG options, HANDLE& file) {
  EntryName entry(root, name);
  if (!entry.valid() || name.empty()) return ENOENT;
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = ::NtCreateFile(&file, access | SYNCHRONIZE, entry.attributes(), &io,
                                         nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                                         options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return NT_SUCCESS(status) ? 0 : ErrnoOfStatus(status);
}

// The entry itself (a reparse point as it is, a folder as well as a file), for looking at it.
int OpenEntryAt(HANDLE root, std::string_view name, HANDLE& file) {
  return OpenAt(root, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, file);
}

}  // namespace

void Folder::Close() {
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
  handle_ = -1;
}

// The handle, held for attributes only (so no sharing mode stands in the way of anyone), is the
// folder: every step below goes through it, never through the path again.
int Folder::Open(const fs::path& path) {
  const HANDLE handle = OpenEntry(path);
  if (handle == INVALID_HANDLE_VALUE) return LastErrno();
  Identity identity;
  if (!IdentityOf(handle, identity) || !identity.folder) {
    ::CloseHandle(handle);
    return ENOTDIR;
  }
  *this = Folder();
  path_ = path;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  volume_ = identity.volume;
  id_ = identity.id;
  idHigh_ = identity.idHigh;
  return 0;
}

int Folder::Open(const Folder& parent, std::string_view name) {
  HANDLE handle = nullptr;
  if (int error = OpenEntryAt(Handle(parent.handle_), name, handle)) return error;
  Identity identity;
  if (!IdentityOf(handle, identity) || !identity.folder) {
    ::CloseHandle(handle);
    return ENOTDIR;
  }
  *this = Folder();
  path_ = parent.path_ / Utf8Path(name);
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  volume_ = identity.volume;
  id_ = identity.id;
  idHigh_ = identity.idHigh;
  return 0;
}

int Folder::Look(std::string_view name, FileInfo& info) const {
  info = {};
  HANDLE entry = nullptr;
  if (int error = OpenEntryAt(Handle(handle_), name, entry)) return error == ENOENT ? 0 : error;
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  int error = 0;
  if (!::GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(entry, FileStandardInfo, &standard, sizeof standard))
    error = LastErrno();
  ::CloseHandle(entry);
  if (error != 0) return error;
  if (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    info.kind = Kind::Link;
  else if (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    info.kind = Kind::Folder;
  else info.kind = Kind::File;
  info.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  return 0;
}

int Folder::Read(std::string_view name, std::uint64_t limit, std::string& bytes) const {
  bytes.clear();
  HANDLE file = nullptr;
  if (int error = OpenAt(Handle(handle_), name, GENERIC_READ, kShareAll, FILE_OPEN,
                         FILE_OPEN_REPARSE_POINT, file))
    return error;
  return ReadOpened(file, limit, bytes);
}

int Folder::Write(std::string_view name, std::string_view bytes, bool durable) const {
  HANDLE file = nullptr;
  if (int error = OpenAt(Handle(handle_), name, GENERIC_WRITE, 0, FILE_CREATE,
                         FILE_NON_DIRECTORY_FILE, file))
    return error;
  int error = 0;
  while (!bytes.empty() && error == 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(bytes.size() < (1u << 30) ? bytes.size() : (1u << 30));
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) error = LastErrno();
    else bytes.remove_prefix(written);
  }
  if (error == 0 && durable && !::FlushFileBuffers(file)) error = LastErrno();
  if (!::CloseHandle(file) && error == 0) error = LastErrno();
  return error;
}

int Folder::SyncFile(std::string_view name) const {
  HANDLE file = nullptr;
  if (int error = OpenAt(Handle(handle_), name, GENERIC_WRITE, kShareAll, FILE_OPEN,
                         FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file))
    return error;
  const int error = ::FlushFileBuffers(file) ? 0 : LastErrno();
  ::CloseHandle(file);
  return error;
}

// Listing needs a handle that may read the folder: a second one, opened from the first.
int Folder::List(std::vector<std::string>& names) const {
  names.clear();
  EntryName self(Handle(handle_), {});
  HANDLE listing = nullptr;
  IO_STATUS_BLOCK io{};
  NTSTATUS status = ::NtCreateFile(
      &listing, FILE_LIST_DIRECTORY | SYNCHRONIZE, self.attributes(), &io, nullptr, 0, kShareAll,
      FILE_OPEN, FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT,
      nullptr, 0);
  if (!NT_SUCCESS(status)) return ErrnoOfStatus(status);
  alignas(8) unsigned char buffer[64 * 1024];
  int error = 0;
  while (error == 0) {
    if (!::GetFileInformationByHandleEx(listing, FileFullDirectoryInfo, buffer, sizeof buffer)) {
      if (::GetLastError() != ERROR_NO_MORE_FILES) error = LastErrno();
      break;
    }
    for (std::size_t at = 0;;) {
      const auto* found = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + at);
      const std::wstring_view name(found->FileName, found->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..")
        names.push_back(Utf8(name.data(), static_cast<int>(name.size())));
      if (found->NextEntryOffset == 0) break;
      at += found->NextEntryOffset;
    }
  }
  ::CloseHandle(listing);
  if (error != 0) names.clear();
  return error;
}

int Folder::MakeFolder(std::string_view name) const {
  HANDLE folder = nullptr;
  if (int error = OpenAt(Handle(handle_), name, FILE_LIST_DIRECTORY, kShareAll, FILE_CREATE,
                         FILE_DIRECTORY_FILE, folder))
    return error;
  ::CloseHandle(folder);
  return 0;
}

// Both removals mark the entry itself (a link, not what it leads to) for deletion, as
// DeleteFile and RemoveDirectory do; a folder that is not empty refuses the mark.
int Folder::Remove(std::string_view name) const {
  HANDLE file = nullptr;
  if (int error =
          OpenAt(Handle(handle_), name, DELETE, kShareAll, FILE_OPEN,
                 FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_DELETE_ON_CLOSE, file))
    return error;
  return ::CloseHandle(file) ? 0 : LastErrno();
}

int Folder::RemoveFolder(std::string_view name) const {
  HANDLE folder = nullptr;
  if (int error = OpenAt(
          Handle(handle_), name, DELETE, kShareAll, FILE_OPEN,
          FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, folder))
    return error;
  FILE_DISPOSITION_INFO disposition{TRUE};
  const int error =
      ::SetFileInformationByHandle(folder, FileDispositionInfo, &disposition, sizeof disposition)
          ? 0
          : LastErrno();
  ::CloseHandle(folder);
  return error;
}

// Windows offers no way to flush a folder's entries short of administrator rights; the files
// themselves are flushed before they are moved, and a rename within one volume is a single
// journaled step of the file system.
int Folder::Sync() const { return 0; }

// Flushing a whole volume needs administrator rights too: the files are flushed one by one.
int Folder::SyncFileSystem() const { return ENOSYS; }
bool SyncsWholeFileSystem() { return false; }

// The entry's own identity settles it, whatever the parent's path leads to now.
bool Folder::IsAt(const Folder& parent, std::string_view name) const {
  HANDLE entry = nullptr;
  if (OpenEntryAt(Handle(parent.handle_), name, entry) != 0) return false;
  Identity identity;
  const bool same = IdentityOf(entry, identity) && identity.folder && identity.volume == volume_ &&
                    identity.id == id_ && identity.idHigh == idHigh_;
  ::CloseHandle(entry);
  return same;
}

// The entry is opened in `from` and renamed by its handle into `to`, both found by their handles
// (the Win32 rename calls take paths only).
int Move(const Folder& from, std::string_view fromName, const Folder& to, std::string_view toName,
         bool replaceFile) {
  const HANDLE target = Handle(to.handle_);
  if (replaceFile) {
    // A rename replaces files only, but a link to a file is a file to it.
    FileInfo info;
    if (to.Look(toName, info) == 0 && (info.kind == Kind::Folder || info.kind == Kind::Link))
      return EEXIST;
  }
  const std::wstring name = Wide(Utf8Path(toName));
  if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos || name.size() >= 32768)
    return ENOENT;
  HANDLE source = nullptr;
  if (int error = OpenAt(Handle(from.handle_), fromName, DELETE, kShareAll, FILE_OPEN,
                         FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, source))
    return error;
  std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) +
                                    name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replaceFile;
  rename->RootDirectory = target;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
  IO_STATUS_BLOCK io{};
  // Straight to the system call: Wine's SetFileInformationByHandle makes the name a full path
  // and so drops the target folder's handle.
  const NTSTATUS status = ::NtSetInformationFile(
      source, &io, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
  ::CloseHandle(source);
  return NT_SUCCESS(status) ? 0 : ErrnoOfStatus(status);
}

// No swapping of two folders in one step on Windows: the caller moves the old one aside first.
int Exchange(const Folder&, std::string_view, const Folder&, std::string_view) { return ENOSYS; }

namespace {

// Held open for reading without sharing reading, a folder handle is the lock: another process
// cannot open the folder the same way while it is held. Sharing write and delete lets entries be
// moved into the folder (a rename opens the target's folder for writing) and the holder rename
// and remove it.
HANDLE OpenFolderLock(const fs::path& folder) {
  return ::CreateFileW(Wide(folder).c_str(), GENERIC_READ, FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

int LockedFolder::Create(const fs::path& dir, const std::string& prefix) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::mt19937 random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    const fs::path path = dir / Utf8Path(name);
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr)) {
      if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return LastErrno();
    }
    // Without its lock the folder would look like one left by a stopped run: no lock, no folder.
    const HANDLE lock = OpenFolderLock(path);
    if (lock == INVALID_HANDLE_VALUE) {
      const int error = LastErrno();
      ::RemoveDirectoryW(Wide(path).c_str());
      return error;
    }
    path_ = path;
    lock_ = reinterpret_cast<std::intptr_t>(lock);
    return 0;
  }
  return EEXIST;
}

bool LockedFolder::TryLock(const fs::path& folder) {
  Unlock();
  const HANDLE lock = OpenFolderLock(folder);
  if (lock == INVALID_HANDLE_VALUE) return false;
  path_ = folder;
  lock_ = reinterpret_cast<std::intptr_t>(lock);
  return true;
}

void LockedFolder::Unlock() {
  if (lock_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
  lock_ = -1;
}

// A hidden file opened without sharing is the lock; it goes when the handle is closed (also
// when the process is killed).
int OutputFolderLock::Lock(const fs::path& folder) {
  const HANDLE lock = ::CreateFileW(Wide(folder / ".kelvane-gen-lock").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock == INVALID_HANDLE_VALUE)
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? EWOULDBLOCK : LastErrno();
  lock_ = reinterpret_cast<std::intptr_t>(lock);
  return 0;
}

OutputFolderLock::~OutputFolderLock() {
  if (lock_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
}

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

bool ProcessGone(long pid) {
  if (pid <= 0) return false;
  const HANDLE process =
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool gone = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  ::CloseHandle(process);
  return gone;
}

}  // namespace kelvane::os
