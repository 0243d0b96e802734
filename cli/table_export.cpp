#include "cli/table_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/safe_names.h"
#include "text/text.h"

namespace kelvane::cli {

namespace fs = std::filesystem;

namespace {

std::string SystemError(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

std::string CharacterPart(const GbkConversion& conversion) {
  if (conversion.badCodePoint.empty())
    return "bytes that are not UTF-8 (" + Printable(conversion.badCharacter) + ")";
  return "the character '" + conversion.badCharacter + "' (" + conversion.badCodePoint + ")";
}

bool WriteWholeFile(const fs::path& path, const std::string& bytes, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = SystemError("cannot create", path);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = SystemError("cannot write", path);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    error = SystemError("cannot write", path);
    return false;
  }
  return true;
}

// The process's umask, read once (reading it means setting it).
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// A new empty hidden folder in dir, named with `kind`; empty path on failure.
fs::path MakeWorkFolder(const fs::path& dir, const char* kind, std::string& error) {
  std::string name = (dir / (std::string(kWorkFolderPrefix) + kind + "XXXXXX")).string();
  if (::mkdtemp(name.data()) == nullptr) {
    error = SystemError("cannot create a folder in", dir);
    return {};
  }
  return name;
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

}  // namespace

std::string_view EncodingName(Encoding encoding) {
  return encoding == Encoding::Gbk ? "GBK" : "UTF-8";
}

bool Encode(std::string_view utf8, Encoding encoding, std::string& bytes, std::string& problem) {
  if (encoding == Encoding::Utf8) {
    bytes.assign(utf8);
    return true;
  }
  GbkConversion conversion = Utf8ToGbk(utf8);
  if (!conversion.ok) {
    problem = "GBK cannot hold " + CharacterPart(conversion);
    return false;
  }
  bytes = std::move(conversion.bytes);
  return true;
}

std::string GbkNameProblem(const std::string& table, const FieldTable& fields) {
  const std::string way = "; use --encoding utf-8";
  const std::string where = "table \"" + Printable(table) + "\"";
  const GbkConversion tableName = Utf8ToGbk(table);
  if (!tableName.ok)
    return where + ": GBK cannot hold " + CharacterPart(tableName) + " of the table name" + way;
  for (const FieldRecord& field : fields) {
    const GbkConversion column = Utf8ToGbk(field.columnName);
    if (!column.ok)
      return where + ", column \"" + Printable(field.columnName) + "\": GBK cannot hold " +
             CharacterPart(column) + way;
  }
  return {};
}

std::string PaneFileName(Pane pane, const std::string& folder) {
  switch (pane) {
    case Pane::CustomType:
      return "custom_type.txt";
    case Pane::ClassModule:
      return "class_module.txt";
    case Pane::SetClass:
      return "set_class.txt";
    case Pane::CSharpEntity:
      return EntityFileName(folder);
    case Pane::CSharpOperation:
      return "Star.cs";
  }
  return {};
}

bool BuildTableFiles(const std::string& table, const std::string& folder, const FieldTable& fields,
                     Encoding encoding, std::vector<OutputFile>& files, std::string& error) {
  files.clear();
  if (encoding == Encoding::Gbk) {
    error = GbkNameProblem(table, fields);
    if (!error.empty()) return false;
  }
  for (Pane pane : kAllPanes) {
    OutputFile file{PaneFileName(pane, folder), {}};
    std::string problem;
    if (!Encode(BuildPaneText(pane, table, fields), encoding, file.bytes, problem)) {
      // The names were checked above; this only guards the generators' own words.
      error = "table \"" + Printable(table) + "\", file " + file.name + ": " + problem +
              "; use --encoding utf-8";
      files.clear();
      return false;
    }
    files.push_back(std::move(file));
  }
  return true;
}

bool WriteFolderAtomically(const fs::path& dir, const std::string& folder,
                           const std::vector<OutputFile>& files, std::string& error) {
  const fs::path target = dir / folder;
  struct stat existing {};
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) {
    error = SystemError("cannot look at", target);
    return false;
  }
  if (exists && !S_ISDIR(existing.st_mode)) {
    error = target.string() + " exists and is not a folder; not replacing it";
    return false;
  }

  const fs::path work = MakeWorkFolder(dir, "", error);
  if (work.empty()) return false;
  for (const OutputFile& file : files) {
    if (!WriteWholeFile(work / file.name, file.bytes, error)) {
      RemoveQuietly(work);
      return false;
    }
  }
  // mkdtemp makes the folder private; the export gets the usual permissions.
  if (::chmod(work.c_str(), 0777 & ~CurrentUmask()) != 0) {
    error = SystemError("cannot set permissions of", work);
    RemoveQuietly(work);
    return false;
  }

  if (!exists) {
    if (::rename(work.c_str(), target.c_str()) != 0) {
      error = SystemError("cannot create", target);
      RemoveQuietly(work);
      return false;
    }
    return true;
  }
  if (::renameat2(AT_FDCWD, work.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
    RemoveQuietly(work);  // now holds the previous export
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    error = SystemError("cannot replace", target);
    RemoveQuietly(work);
    return false;
  }
  // No exchange on this file system: move the old folder onto an empty one, then put the new
  // one in place; undo the first step if the second fails.
  const fs::path aside = MakeWorkFolder(dir, "old-", error);
  if (aside.empty()) {
    RemoveQuietly(work);
    return false;
  }
  if (::rename(target.c_str(), aside.c_str()) != 0) {
    error = SystemError("cannot replace", target);
    RemoveQuietly(work);
    RemoveQuietly(aside);
    return false;
  }
  if (::rename(work.c_str(), target.c_str()) != 0) {
    error = SystemError("cannot replace", target);
    ::rename(aside.c_str(), target.c_str());
    RemoveQuietly(work);
    return false;
  }
  RemoveQuietly(aside);
  return true;
}

}  // namespace kelvane::cli
