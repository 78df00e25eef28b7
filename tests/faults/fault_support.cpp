// SPDX-License-Identifier: MIT
#include "tests/faults/fault_support.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace lumivane::test {
namespace fs = std::filesystem;

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.good()) throw std::runtime_error("cannot write " + path.string());
}

std::string ListFolder(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  std::string out;
  for (const std::string& name : names) out += name + "\n";
  return out;
}

namespace {

bool SetImmutable(const fs::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

bool CanCreateIn(const fs::path& folder) {
  const fs::path probe = folder / ".probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(const fs::path& folder) : folder_(folder) {
  if (::geteuid() == 0) {
    immutable_ = SetImmutable(folder_, true);
  } else {
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
  }
  works_ = !CanCreateIn(folder_);
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (immutable_) {
    SetImmutable(folder_, false);
  } else {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
  }
}

FullDisk::FullDisk(rlim_t bytes) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &oldAction_);
  ::getrlimit(RLIMIT_FSIZE, &old_);
  rlimit limit = old_;
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FullDisk::~FullDisk() {
  ::setrlimit(RLIMIT_FSIZE, &old_);
  ::sigaction(SIGXFSZ, &oldAction_, nullptr);
}

}  // namespace lumivane::test
