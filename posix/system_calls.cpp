// SPDX-License-Identifier: MIT
#include "posix/system_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace lumivane::sys {

const Calls kRealCalls{
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::read,
    ::write,
    ::poll,
    [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); },
    ::isatty,
    ::flock,
    ::mkstemp,
    ::fchmod,
    ::fsync,
    ::rename,
    ::unlink,
};

}  // namespace lumivane::sys
