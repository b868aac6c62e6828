// A small tmpfs mounted on a test's directory, so that saves meet a disk
// that is really full or out of inodes. Mounting needs root; the mount is
// made in a mount namespace of the test process's own, so it never shows
// outside and goes with the process. Where it cannot be had, `reason`
// says why and the test skips.
#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace smalldisk {

class SmallDisk {
public:
  SmallDisk(const std::string& dir, size_t bytes, int inodes) : dir_(dir) {
    static const int privateNamespace = [] {
      if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0) return errno;
      return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : errno;
    }();
    const std::string options = "size=" + std::to_string(bytes) + ",nr_inodes=" + std::to_string(inodes);
    if (::geteuid() != 0) reason_ = "needs root to mount a small tmpfs";
    else if (privateNamespace != 0)
      reason_ = std::string("no mount namespace of its own: ") + std::strerror(privateNamespace);
    else if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0)
      reason_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    else mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& reason() const { return reason_; }

  // Writes the file `name` until no block is left.
  void fillBlocks(const std::string& name) const {
    const int fd = create(name, O_TRUNC);
    const std::vector<char> page(4096, 'f');
    while (fd >= 0 && ::write(fd, page.data(), page.size()) > 0) {
    }
    if (fd >= 0) ::close(fd);
  }
  // Creates empty files `prefix`0, `prefix`1, ... until no inode is left;
  // returns how many.
  int fillInodes(const std::string& prefix) const {
    for (int n = 0;; ++n) {
      const int fd = create(prefix + std::to_string(n), O_EXCL);
      if (fd < 0) return n;
      ::close(fd);
    }
  }

private:
  int create(const std::string& name, int flags) const {
    return ::open((dir_ + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
  }
  std::string dir_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace smalldisk
