// The system calls a whole-file save (Platform::writeFile) makes that can
// fail and so decide what becomes of the old file. They sit in one table so
// that tests and the fuzz harness can make any of them fail at any point;
// the program itself never changes the table.
#pragma once

#include <sys/types.h>

namespace Platform::detail {

struct SaveCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*mkostemp)(char* pathTemplate, int flags);
  ssize_t (*pread)(int fd, void* buf, size_t size, off_t at);
  ssize_t (*pwrite)(int fd, const void* buf, size_t size, off_t at);
  ssize_t (*write)(int fd, const void* buf, size_t size);
  int (*fallocate)(int fd, int mode, off_t at, off_t size);
  int (*ftruncate)(int fd, off_t size);
  int (*fchown)(int fd, uid_t owner, gid_t group);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  // Makes a directory's entries durable: opens it (read-only, as a
  // directory), fsyncs and closes it.
  int (*syncDirectory)(const char* path);
};

// The table in use; starts with the real calls.
extern SaveCalls g_saveCalls;

}  // namespace Platform::detail
