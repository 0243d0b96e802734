#pragma once
// What the programs ask of the operating system, in one place below every front end (kelvane-gen
// and the windows): platform_posix.cpp on Linux, platform_windows.cpp on Windows (chosen by
// CMake). Text is UTF-8 on both
// sides of this interface; paths are std::filesystem paths made from UTF-8 (Utf8Path), so that a
// table named 商品 is a folder named 商品 whatever the system's code page.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane::os {

// ---- process and standard streams

// The arguments after the program name as UTF-8 (on Windows from the wide command line, not
// from argv, which holds them in the ANSI code page).
std::vector<std::string> Arguments(int argc, char** argv);

// Run first thing in main(). POSIX: descriptors 0-2 that are closed are opened on /dev/null, so
// the next file or socket cannot take their place (false when that fails: stop at once). Windows: the three streams are switched to
// binary mode (the bytes written are exactly the bytes meant, CR LF stays CR LF), and text for a
// console goes through the wide console API so that Chinese shows in any console code page.
bool PrepareStandardStreams();

bool StderrIsTerminal();

// Writes bytes to standard output and flushes it; false when the output cannot take them. To a
// Windows console the text goes through the wide API (read as UTF-8, or as GBK when it is not
// UTF-8); anywhere else the bytes go out as they are.
bool WriteStdout(std::string_view bytes);

// Overwrites with x the passwords of password arguments in the command line the system keeps
// for this process and shows to other processes (Windows; on POSIX that is argv, which the
// caller overwrites). `passwordStart` tells where the password starts in an argument (0: none);
// arguments after "--" are left alone. False when a password argument was found that could not
// be overwritten there: other processes can still read it.
bool HideCommandLinePasswords(std::size_t (*passwordStart)(std::string_view));

#ifdef _WIN32
// The pieces of the Windows console writer, for its tests.
//
// Writes UTF-16 text in pieces of at most `piece` units through `write`, which reports how many
// it took; a surrogate pair is never split. False as soon as a write fails or takes nothing.
using WidePieceWriter = std::function<bool(const wchar_t* text, std::size_t count, std::size_t& written)>;
inline constexpr std::size_t kConsolePiece = 16384;
bool WriteWideInPieces(std::wstring_view text, std::size_t piece, const WidePieceWriter& write);

// std::cout / std::cerr on a console (a console HANDLE): whole lines (whole UTF-8 sequences)
// through the wide API; a failed write fails the stream.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(void* console);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  bool Flush(bool all);
  void* console_;
  std::string pending_;
};

// Overwrites with x, in a Windows command line (read as CommandLineToArgvW reads it), the
// characters that make up the passwords of password arguments; the length stays. False when a
// password argument is there that could not be placed in the line.
bool HidePasswordsIn(std::wstring& line, std::size_t (*passwordStart)(std::string_view));
#endif

// An environment variable as UTF-8; empty when not set.
std::string Environment(const char* name);

// Run before the first connection, while the program has one thread, when no connection of the
// run checks a certificate: keeps the TLS library from loading the system's CA bundle for every
// connection (OpenSSL 3 spends about 85 ms of a 150 ms TLS connect parsing it, only to leave it
// unused when nothing is verified). Nothing to do where the client library uses the system's
// own TLS (Windows: SChannel).
void SkipSystemCertificates();

// ---- paths

inline std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// ---- option files

// The option files the client library reads, in its order (missing ones included).
// `home` and `mysqlHome` as for GatherOptionFiles.
std::vector<std::string> OptionFileLocations(const std::string& home, const std::string& mysqlHome);

// True when the file may be changed by anyone (the MySQL client then ignores it).
bool WorldWritable(const std::string& path);

// Reads a whole file when it is a regular file (links followed) of at most `maxBytes` bytes,
// opened without blocking so that a FIFO or a device cannot hang the program. Returns 0, or an
// errno value: EINVAL when it is not a regular file, EFBIG when it is larger.
int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);
// The same, also giving the file's identity (device and inode; volume and file index on
// Windows), so that one file reached by several names is told as one.
struct FileIdentity {
  std::uint64_t volume = 0, file = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};
int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, FileIdentity& identity);

// The gathered option text as a name the client library can open (it holds no password); empty
// when none can be made, with `error` an errno value saying why.
std::string OptionTextFile(const std::string& text, int& error);

// ---- files and folders; each returns 0 or an errno value

// The errno value of an exceeded disk quota (Windows reports a quota as a full disk).
#ifdef EDQUOT
inline constexpr int kQuotaExceeded = EDQUOT;
#else
inline constexpr int kQuotaExceeded = ENOSPC;
#endif

enum class Kind { Missing, Folder, File, Link, Other };
struct FileInfo {
  Kind kind = Kind::Missing;
  std::uint64_t size = 0;
};
// An open folder. Every step through it names an entry of this very folder: a name swapped for
// a link or for another folder after it was opened is never followed, and a folder moved away
// after it was opened is still the one the steps act in (each step is relative to the open
// descriptor or handle, never a path). Names are UTF-8 file names, never paths. Each step
// returns 0 or an errno value.
class Folder {
 public:
  Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  Folder(Folder&& other) noexcept { *this = std::move(other); }
  Folder& operator=(Folder&& other) noexcept {
    if (this != &other) {
      Close();
      path_ = std::move(other.path_);
      handle_ = std::exchange(other.handle_, -1);
      volume_ = other.volume_;
      id_ = other.id_;
      idHigh_ = other.idHigh_;
    }
    return *this;
  }
  ~Folder() { Close(); }

  // `path` itself, or the entry `name` of `parent`; ENOTDIR when it is not a folder (a link to
  // one is not followed).
  int Open(const std::filesystem::path& path);
  int Open(const Folder& parent, std::string_view name);
  bool IsOpen() const { return handle_ != -1; }
  // The path it was opened by, for messages.
  const std::filesystem::path& path() const { return path_; }

  int Look(std::string_view name, FileInfo& info) const;
  // A regular file of at most `limit` bytes, the entry itself (a link is not followed, a FIFO or
  // device is never opened for blocking reads); EFBIG beyond the limit, EINVAL when it is not a
  // regular file.
  int Read(std::string_view name, std::uint64_t limit, std::string& bytes) const;
  // A new file, never an existing name; with `durable` forced to disk before it is closed.
  int Write(std::string_view name, std::string_view bytes, bool durable) const;
  // Forces an existing file's data to disk.
  int SyncFile(std::string_view name) const;
  int List(std::vector<std::string>& names) const;
  int MakeFolder(std::string_view name) const;
  int Remove(std::string_view name) const;
  int RemoveFolder(std::string_view name) const;  // an empty one
  // Makes the folder's new and renamed entries durable, where the system allows that.
  int Sync() const;
  // Makes everything written so far to the file system this folder is on durable in one step
  // (Linux syncfs); ENOSYS where the system has no such step.
  int SyncFileSystem() const;
  // True when the entry `name` of `parent` is this very folder (not a link, not another one).
  bool IsAt(const Folder& parent, std::string_view name) const;

 private:
  friend int Move(const Folder&, std::string_view, const Folder&, std::string_view, bool);
  void Close();
  friend int Exchange(const Folder&, std::string_view, const Folder&, std::string_view);
  std::filesystem::path path_;
  std::intptr_t handle_ = -1;
  std::uint64_t volume_ = 0, id_ = 0, idHigh_ = 0;  // Windows: the folder's identity, for IsAt
};

// Waits until the socket can be read (`read`) or written (`write`) or `milliseconds` have
// passed. Returns kSocketReadable | kSocketWritable for what it can do now; 0 when the time ran
// out, or when the wait itself failed (the next read or write on it then says why).
inline constexpr int kSocketReadable = 1, kSocketWritable = 2;
int WaitForSocket(std::intptr_t socket, bool read, bool write, int milliseconds);

// True when Folder::SyncFileSystem makes a whole file system durable in one step (Linux); where
// it cannot, files are better forced to disk as they are written.
bool SyncsWholeFileSystem();

// Moves the entry `fromName` of `from` to `toName` in `to`. With `replaceFile` an existing file
// there is replaced (as rename(2) does); a folder or link there never is, and without
// `replaceFile` nothing is (EEXIST).
int Move(const Folder& from, std::string_view fromName, const Folder& to, std::string_view toName,
         bool replaceFile);
// Swaps two existing entries in one step (Linux renameat2); EINVAL or ENOSYS when the file system
// or the system cannot.
int Exchange(const Folder& aDir, std::string_view a, const Folder& bDir, std::string_view b);

// A new folder `dir`/`prefix` + 6 random characters, with the usual permissions, locked by this
// process until the lock is released (or the process ends).
class LockedFolder {
 public:
  LockedFolder() = default;
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;
  ~LockedFolder() { Unlock(); }
  int Create(const std::filesystem::path& dir, const std::string& prefix);
  // Takes the lock of an existing folder if nobody holds it.
  bool TryLock(const std::filesystem::path& folder);
  void Unlock();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::intptr_t lock_ = -1;
};

// Held by one export into a folder at a time, so that two runs never write the same table
// folders at once. Lock() gives 0, EWOULDBLOCK when another process holds it, or the errno value.
class OutputFolderLock {
 public:
  OutputFolderLock() = default;
  OutputFolderLock(const OutputFolderLock&) = delete;
  OutputFolderLock& operator=(const OutputFolderLock&) = delete;
  ~OutputFolderLock();
  int Lock(const std::filesystem::path& folder);

 private:
  std::intptr_t lock_ = -1;
};

long ProcessId();
// True only when no process with this id is running.
bool ProcessGone(long pid);

}  // namespace kelvane::os

// kelvane-gen's code names this layer platform::.
namespace kelvane::cli {
namespace platform = ::kelvane::os;
}  // namespace kelvane::cli
