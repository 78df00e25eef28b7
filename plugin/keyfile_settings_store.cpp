// SPDX-License-Identifier: MIT
#include "plugin/keyfile_settings_store.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/failure.h"
#include "posix/system_calls.h"
#include "posix/unique_fd.h"
#include "posix/user_folders.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFreeDeleter>;

void AppendHex(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kDigits[c >> 4];
  out += kDigits[c & 15];
}

std::string SystemError(std::string_view what, const fs::path& path, int error) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

enum class Load { kMissing, kLoaded };

// Loads the file, or reports it missing. Throws for a file that exists but
// cannot be read or does not parse.
Load LoadKeyFile(GKeyFile* file, const fs::path& path) {
  GError* error = nullptr;
  gchar* raw = nullptr;
  gsize size = 0;
  if (!g_file_get_contents(path.c_str(), &raw, &size, &error)) {
    const bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
    const std::string message = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    if (missing) return Load::kMissing;
    throw Failure(ErrorNumber::kSettingsUnreadable, path.string() + ": " + message);
  }
  const GText contents(raw);
  // GKeyFile reads a line only up to a NUL byte; rewriting such a file would
  // drop the rest of the line, so it counts as damaged.
  if (std::memchr(contents.get(), '\0', size) != nullptr) {
    throw Failure(ErrorNumber::kSettingsCorrupt, path.string() + ": it holds a NUL byte");
  }
  if (g_key_file_load_from_data(file, contents.get(), size, G_KEY_FILE_KEEP_COMMENTS, &error)) {
    return Load::kLoaded;
  }
  const std::string message = error != nullptr ? error->message : "unknown error";
  g_clear_error(&error);
  throw Failure(ErrorNumber::kSettingsCorrupt, path.string() + ": " + message);
}

// Writes all of data to fd, retrying short writes and interrupts.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = sys::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      // Never for a file, but a write that takes nothing must not loop.
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void WriteFailed(std::string_view what, const fs::path& path, int error) {
  throw Failure(ErrorNumber::kSettingsWriteFailed, SystemError(what, path, error));
}

// Replaces path by data atomically, keeping the mode of the old file.
void ReplaceFile(const fs::path& path, const std::string& data) {
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  std::string temp = path.string() + ".XXXXXX";
  const UniqueFd fd(sys::mkstemp(temp.data()));
  if (!fd.ok()) WriteFailed("cannot create a file beside", path, errno);
  auto fail = [&](std::string_view what) {
    const int error = errno;
    sys::unlink(temp.c_str());
    WriteFailed(what, path, error);
  };
  if (sys::fchmod(fd.get(), existed ? (old.st_mode & 07777) : 0600) != 0)
    fail("cannot set the mode of");
  if (!WriteAll(fd.get(), data.data(), data.size())) fail("cannot write");
  if (sys::fsync(fd.get()) != 0) fail("cannot flush");
  if (sys::rename(temp.c_str(), path.c_str()) != 0) fail("cannot replace");
  // Make the rename itself durable.
  const UniqueFd dir(sys::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.ok()) sys::fsync(dir.get());
}

// Takes the exclusive lock, waiting at most `timeout` for another writer:
// a writer that hangs must not hang the host's thread with it.
UniqueFd LockFile(const fs::path& lockPath, const fs::path& path, std::chrono::milliseconds timeout,
                  Clock& clock) {
  UniqueFd lock(sys::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.ok()) WriteFailed("cannot lock", path, errno);
  const Clock::Time deadline = clock.Now() + timeout;
  while (sys::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) WriteFailed("cannot lock", path, errno);
    if (clock.Now() >= deadline) {
      throw Failure(ErrorNumber::kSettingsWriteFailed,
                    path.string() + " is locked by another program");
    }
    clock.SleepFor(std::chrono::milliseconds(5));
  }
  return lock;
}

// A settings file that is a symbolic link (a managed dotfile) is replaced
// where it points, so the link stays.
fs::path ResolvedTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  fs::path target = fs::canonical(path, ec);
  return ec ? path : target;
}

}  // namespace

KeyFileSettingsStore::KeyFileSettingsStore(fs::path folder, Clock& clock,
                                           std::chrono::milliseconds lockTimeout,
                                           UserReports* damageReports)
    : folder_(std::move(folder)),
      clock_(clock),
      lockTimeout_(lockTimeout),
      damageReports_(damageReports) {}

fs::path KeyFileSettingsStore::DefaultFolder() {
  return LumivaneConfigFolder() / "settings";
}

std::string KeyFileSettingsStore::EscapeFileName(std::string_view name) {
  if (name.empty()) return "%";
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || (c == '.' && i > 0) || c == ' ';
    if (safe) {
      out += static_cast<char>(c);
    } else {
      AppendHex(out, c);
    }
  }
  return out;
}

std::string KeyFileSettingsStore::EscapeGroupName(std::string_view name) {
  const bool validUtf8 = g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr);
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    const bool unsafe = c < 0x20 || c == 0x7F || c == '%' || c == '[' || c == ']' || c == '=' ||
                        (c >= 0x80 && !validUtf8);
    if (unsafe) {
      AppendHex(out, c);
    } else {
      out += ch;
    }
  }
  // A group or key name may not start or end with a blank, and a key line
  // starting with '#' would read back as a comment.
  if (!out.empty() && out.front() == ' ') out.replace(0, 1, "%20");
  if (!out.empty() && out.front() == '#') out.replace(0, 1, "%23");
  if (!out.empty() && out.back() == ' ') out.replace(out.size() - 1, 1, "%20");
  if (out.empty()) return "%";
  return out;
}

fs::path KeyFileSettingsStore::FileFor(std::string_view app) const {
  return folder_ / (EscapeFileName(app) + ".conf");
}

std::string KeyFileSettingsStore::Read(std::string_view app, std::string_view section,
                                       std::string_view key) {
  try {
    return ReadChecked(app, section, key);
  } catch (const Failure& failure) {
    // What cannot be read reads as empty; the file is left alone.
    if (failure.number() == static_cast<int32_t>(ErrorNumber::kSettingsCorrupt)) {
      ReportDamageOnce(FileFor(app), failure.description());
    }
    return {};
  }
}

void KeyFileSettingsStore::ReportDamageOnce(const fs::path& path, std::string_view description) {
  if (damageReports_ == nullptr) return;
  // The same file until it is replaced or written: device, inode, size, time.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  const std::string identity = path.string() + '\n' + std::to_string(info.st_dev) + ':' +
                               std::to_string(info.st_ino) + ':' + std::to_string(info.st_size) +
                               ':' + std::to_string(info.st_mtim.tv_sec) + '.' +
                               std::to_string(info.st_mtim.tv_nsec);
  if (damageReported_.insert(identity).second) damageReports_->ShowMessage(description);
}

std::string KeyFileSettingsStore::ReadChecked(std::string_view app, std::string_view section,
                                              std::string_view key) const {
  KeyFilePtr file(g_key_file_new());
  if (LoadKeyFile(file.get(), FileFor(app)) == Load::kMissing) return {};
  GText value(g_key_file_get_string(file.get(), EscapeGroupName(section).c_str(),
                                    EscapeGroupName(key).c_str(), nullptr));
  return value ? std::string(value.get()) : std::string();
}

void KeyFileSettingsStore::Write(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view value) {
  // GKeyFile reads back only UTF-8 without NUL; refuse the rest up front.
  if (value.find('\0') != std::string_view::npos ||
      !g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) {
    throw Failure(ErrorNumber::kSettingsWriteFailed, "the value is not valid UTF-8 text");
  }
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) throw Failure(ErrorNumber::kSettingsWriteFailed, folder_.string() + ": " + ec.message());
  const fs::path path = FileFor(app);
  const UniqueFd lock = LockFile(fs::path(path.string() + ".lock"), path, lockTimeout_, clock_);
  KeyFilePtr file(g_key_file_new());
  LoadKeyFile(file.get(), path);  // throws for a corrupt file: never overwrite it
  const std::string text(value);
  g_key_file_set_string(file.get(), EscapeGroupName(section).c_str(), EscapeGroupName(key).c_str(),
                        text.c_str());
  gsize size = 0;
  GText data(g_key_file_to_data(file.get(), &size, nullptr));
  ReplaceFile(ResolvedTarget(path), std::string(data.get(), size));
}

}  // namespace lumivane
