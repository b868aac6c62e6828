// Failures on purpose for the system calls of Platform::writeFile: a disk
// with room for only so many more bytes, reads and writes that move a few
// bytes at a time, and single failures of any call at its n-th use. The
// platform tests and the save fuzz harness share it; while an Injector
// lives it replaces the calls, and it puts the real ones back when it goes.
#pragma once

#include "platform/SaveCalls.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace savefaults {

enum Call : int { Open, Mkostemp, Pread, Pwrite, Write, Fallocate, Ftruncate, Fchown, Fchmod, Fsync, Close, Rename,
                  SyncDirectory, kCallCount };

// The n-th use (counted from 1) of `call` fails with `error`.
struct Fault {
  int call;
  int use;
  int error;
};

struct Plan {
  long long space = -1;  // new bytes the disk still takes; -1: no limit
  size_t chunk = 0;      // most bytes one read or write moves; 0: no limit
  std::vector<Fault> faults;
  // Faults stay quiet once this many calls have failed (0: never), as a
  // passing fault does: putting old bytes back over blocks the file owns
  // then works. The lack of space stays.
  int quietAfter = 0;
};

class Injector {
public:
  explicit Injector(Plan plan) {
    state() = State{std::move(plan), Platform::detail::g_saveCalls, {}, {}, 0, {}};
    Platform::detail::g_saveCalls = wrapped();
  }
  ~Injector() { Platform::detail::g_saveCalls = real(); }
  Injector(const Injector&) = delete;
  Injector& operator=(const Injector&) = delete;

  int uses(int call) const { return state().uses[call]; }
  // Every call made so far, in order.
  const std::vector<int>& calls() const { return state().calls; }

private:
  struct State {
    Plan plan;
    Platform::detail::SaveCalls real{};
    std::array<int, kCallCount> uses{};
    std::vector<int> calls;
    int failures = 0;
    std::map<std::pair<dev_t, ino_t>, off_t> reserved;  // fallocate without growing the size
  };
  static State& state() {
    static State s;
    return s;
  }
  static const Platform::detail::SaveCalls& real() { return state().real; }

  // Counts a use of `call`; true with errno set when a fault is due.
  static bool due(int call) {
    State& s = state();
    const int use = ++s.uses[call];
    s.calls.push_back(call);
    if (s.plan.quietAfter > 0 && s.failures >= s.plan.quietAfter) return false;
    for (const Fault& f : s.plan.faults)
      if (f.call == call && f.use == use) {
        ++s.failures;
        errno = f.error;
        return true;
      }
    return false;
  }
  static int noSpace() {
    ++state().failures;
    errno = ENOSPC;
    return -1;
  }
  static size_t chunk(size_t n) { return state().plan.chunk ? std::min(n, state().plan.chunk) : n; }
  // What the file of `fd` has reserved (0 when fstat fails).
  static off_t* reservedBy(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? &state().reserved[{st.st_dev, st.st_ino}] : nullptr;
  }

  // How much of [at, at + n) the disk still takes: the file's own bytes and
  // what it reserved cost nothing, anything past them comes off `space`.
  static size_t fit(int fd, off_t at, size_t n) {
    State& s = state();
    struct stat st {};
    if (s.plan.space < 0 || ::fstat(fd, &st) != 0) return n;
    const off_t from = std::max({st.st_size, *reservedBy(fd), at});
    const long long need = std::max<long long>(0, at + static_cast<off_t>(n) - from);
    if (need <= s.plan.space) {
      s.plan.space -= need;
      return n;
    }
    const long long fits = from - at + s.plan.space;
    s.plan.space = 0;
    return static_cast<size_t>(std::max<long long>(0, fits));
  }

  static Platform::detail::SaveCalls wrapped() {
    Platform::detail::SaveCalls c{};
    c.open = [](auto... a) { return due(Open) ? -1 : real().open(a...); };
    c.mkostemp = [](auto... a) { return due(Mkostemp) ? -1 : real().mkostemp(a...); };
    c.pread = [](int fd, void* buf, size_t n, off_t at) {
      return due(Pread) ? -1 : real().pread(fd, buf, chunk(n), at);
    };
    c.pwrite = [](int fd, const void* buf, size_t n, off_t at) -> ssize_t {
      if (due(Pwrite)) return -1;
      const size_t take = fit(fd, at, chunk(n));
      return take == 0 && n > 0 ? noSpace() : real().pwrite(fd, buf, take, at);
    };
    c.write = [](int fd, const void* buf, size_t n) { return due(Write) ? -1 : real().write(fd, buf, chunk(n)); };
    // Reserving is only counted: the disk the tests use has the room. A
    // failed reservation takes nothing.
    c.fallocate = [](int fd, int, off_t at, off_t n) {
      if (due(Fallocate)) return -1;
      const long long space = state().plan.space;
      if (fit(fd, at, static_cast<size_t>(n)) < static_cast<size_t>(n)) {
        state().plan.space = space;
        return noSpace();
      }
      if (off_t* r = reservedBy(fd)) *r = std::max(*r, at + n);
      return 0;
    };
    c.ftruncate = [](auto... a) { return due(Ftruncate) ? -1 : real().ftruncate(a...); };
    c.fchown = [](auto... a) { return due(Fchown) ? -1 : real().fchown(a...); };
    c.fchmod = [](auto... a) { return due(Fchmod) ? -1 : real().fchmod(a...); };
    c.fsync = [](auto... a) { return due(Fsync) ? -1 : real().fsync(a...); };
    // A failing close still releases the descriptor, as the system's does.
    c.close = [](int fd) {
      if (!due(Close)) return real().close(fd);
      const int error = errno;
      real().close(fd);
      errno = error;
      return -1;
    };
    c.rename = [](auto... a) { return due(Rename) ? -1 : real().rename(a...); };
    c.syncDirectory = [](auto... a) { return due(SyncDirectory) ? -1 : real().syncDirectory(a...); };
    return c;
  }
};

}  // namespace savefaults
