// The child processes of picture reads and the one thread that makes them;
// see PictureJob.h.
//
// Why one long-lived reader thread: after fork() in a program with several
// threads, the child may only use what no other thread held at that
// instant. glibc's fork makes its malloc safe for that, but the allocator
// of the AddressSanitizer build (GCC 12) is not: a child forked while
// another thread is inside it (allocating, or starting or ending, when a
// thread's caches are handed back) waits forever on its first allocation
// of that size. So no thread is made or ended per read, the thread that
// forks is the only one that copies results, and in that build the caller
// of start() waits until the child is made (a frame's worth of time),
// outside the allocator. The result comes back through an anonymous shared
// mapping that the child fills and the reader copies once the child has
// ended; filling the picture's memory costs page faults, which this thread
// takes instead of the frame.
//
// The child's bounds: RLIMIT_CPU, whose soft limit sends SIGXCPU and whose
// hard limit a second later SIGKILL; RLIMIT_AS at the address space the
// child inherits plus its memory bound, so that an allocation past it
// fails (the decoder's "outofmem", std::bad_alloc) and the child still
// hands back its reason; an oom_score_adj of 1000, so that when the
// machine runs out of memory anyway, the kernel kills the decoder first.
// In the sanitizer build the shadow memory alone takes terabytes of
// address space, so RLIMIT_AS cannot apply there: the reader stands in for
// it, polling the child's resident size while it waits and killing it
// once it has grown past the bound.
#include "app/PictureJob.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

std::atomic<bool> PictureJobFaults::thread{false};
std::atomic<bool> PictureJobFaults::copy{false};

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizerBuild = true;
#else
constexpr bool kSanitizerBuild = false;
#endif
#else
constexpr bool kSanitizerBuild = false;
#endif
// The sanitizer build's allocator hangs a child forked while another
// thread is inside it (above).
constexpr bool kCallerWaitsForFork = kSanitizerBuild;
// In the sanitizer build, how often the reader looks at the child's
// resident size.
constexpr auto kMemoryPoll = std::chrono::milliseconds(5);

constexpr size_t kErrorTextSize = 256;  // the longest reason handed back, with its end
constexpr int kChildFailed = 1;         // exit code of a child without a result
// The kernel's own scale: 1000 makes a process the first the out-of-memory
// killer takes.
constexpr const char* kOomFirst = "1000";
constexpr size_t kStatmSize = 128;  // /proc/.../statm: seven numbers

// The start of the shared memory; the pixels follow it.
struct ResultArea {
  uint32_t written;  // set last: the child's result is complete
  int32_t width;
  int32_t height;
  char error[kErrorTextSize];
};
static_assert(sizeof(ResultArea) % sizeof(uint32_t) == 0, "the pixels follow aligned");

// The size of the shared memory for a result of at most maxPixels pixels;
// false when it has none (a bound below 0 or one whose size overflows).
bool areaSize(int64_t maxPixels, size_t& size) {
  if (maxPixels < 0 || static_cast<uint64_t>(maxPixels) > (SIZE_MAX - sizeof(ResultArea)) / sizeof(uint32_t))
    return false;
  size = sizeof(ResultArea) + static_cast<size_t>(maxPixels) * sizeof(uint32_t);
  return true;
}

uint32_t* areaPixels(void* area) { return reinterpret_cast<uint32_t*>(static_cast<ResultArea*>(area) + 1); }

DecodedPicture failed(const char* error) {
  DecodedPicture d;
  d.error = error;
  return d;
}

DecodedPicture run(const PictureJob::Work& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return failed(kImportOutOfMemory);
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

// The pages of a process from its /proc/.../statm: the first number is
// its whole address space, the second what is resident; -1 when unread.
// Plain system calls, no allocation: the child reads its own.
int64_t statmPages(const char* path, int field) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[kStatmSize] = {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return -1;
  const char* p = text;
  char* end = nullptr;
  long long pages = -1;
  for (int i = 0; i <= field; ++i, p = end) {
    pages = std::strtoll(p, &end, 10);
    if (end == p) return -1;
  }
  return pages;
}

int64_t residentBytes(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
  const int64_t pages = statmPages(path, 1);
  return pages < 0 ? -1 : pages * ::sysconf(_SC_PAGESIZE);
}

void setLimit(int resource, rlim_t soft, rlim_t hard) {
  rlimit old{};
  ::getrlimit(resource, &old);
  // Never above what the process already may (only a privileged one could
  // raise its hard limit).
  const rlimit limit{std::min(soft, old.rlim_max), std::min(hard, old.rlim_max)};
  ::setrlimit(resource, &limit);
}

// The child's own bounds, set before the work starts (see the top). What
// it inherits includes the space its allocator holds in reserve for the
// heap of the reader thread (up to 64 MB), which it may use beyond the
// bound.
void boundChild(const DecoderLimits& limits) {
  const int fd = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
  if (fd >= 0) {
    if (::write(fd, kOomFirst, std::strlen(kOomFirst)) < 0) {
    }  // without it the bounds below still hold
    ::close(fd);
  }
  setLimit(RLIMIT_CORE, 0, 0);  // a child stopped at a bound leaves no core file
  const auto seconds = static_cast<rlim_t>(limits.cpuSeconds);
  setLimit(RLIMIT_CPU, seconds, seconds + 1);
  if (kSanitizerBuild) return;
  const int64_t pages = statmPages("/proc/self/statm", 0);
  if (pages >= 0) {
    const auto bytes = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + limits.memoryBytes);
    setLimit(RLIMIT_AS, bytes, bytes);
  }
}

// The child: does the work within its bounds, leaves the result in the
// shared memory and ends with _exit, so that none of the program's exit
// handlers (nor the sanitizer build's leak check) run in this copy of it.
[[noreturn]] void runChild(const PictureJob::Work& work, void* area, int64_t maxPixels, const DecoderLimits& limits,
                           pid_t parent) {
  // It ends with the program, also when that never gets to cancel it.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(kChildFailed);
  boundChild(limits);
  const DecodedPicture d = run(work);
  const size_t count = d.pixels.size();
  if (d.width < 0 || d.height < 0 || count != static_cast<size_t>(d.width) * static_cast<size_t>(d.height) ||
      count > static_cast<size_t>(maxPixels))
    ::_exit(kChildFailed);
  ResultArea& a = *static_cast<ResultArea*>(area);
  const size_t errorSize = std::min(d.error.size(), kErrorTextSize - 1);
  std::memcpy(a.error, d.error.data(), errorSize);
  a.error[errorSize] = '\0';
  a.width = d.width;
  a.height = d.height;
  if (count) std::memcpy(areaPixels(area), d.pixels.data(), count * sizeof(uint32_t));
  a.written = 1;
  ::_exit(0);
}

// How a child ended: its wait status, the processor time it used, and
// whether the reader killed it for its memory.
struct ChildEnd {
  int status = -1;
  double cpuSeconds = 0;
  bool overMemory = false;
};

// The result of a child that has ended. It is this program's own code, but
// one that crashed may have left anything behind: only a complete result
// of a clean end counts. A child killed at a bound says which; one killed
// by SIGKILL otherwise was, short of a user's own kill, taken by the
// kernel's out-of-memory killer (cancelled reads are never collected).
DecodedPicture collect(void* area, int64_t maxPixels, const DecoderLimits& limits, const ChildEnd& end) {
  const int status = end.status;
  if (end.overMemory) return failed(kImportOutOfMemory);
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || end.cpuSeconds >= limits.cpuSeconds))
    return failed(kDecoderTooSlow);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return failed(kImportOutOfMemory);
  const ResultArea& a = *static_cast<const ResultArea*>(area);
  const int64_t count = static_cast<int64_t>(a.width) * a.height;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || a.written != 1 || a.width < 0 || a.height < 0 ||
      count > maxPixels)
    return failed(kDecoderFailed);
  // The copy takes as much memory as the picture, which may not be there.
  try {
    if (PictureJobFaults::copy.exchange(false)) throw std::bad_alloc();
    DecodedPicture d;
    d.error.assign(a.error, ::strnlen(a.error, kErrorTextSize));
    d.width = a.width;
    d.height = a.height;
    const uint32_t* pixels = areaPixels(area);
    d.pixels.assign(pixels, pixels + count);
    return d;
  } catch (const std::bad_alloc&) {
    return failed(kImportOutOfMemory);
  }
}

// Waits for the child's end without reaping it (until the caller clears
// the job's child a cancel may still kill it, and its number must not be
// reused). In the sanitizer build it looks at the child's resident size
// meanwhile and kills it past its memory bound; the size it has at its
// start is what it inherits.
bool waitForEnd(pid_t pid, const DecoderLimits& limits) {
  siginfo_t info{};
  if (!kSanitizerBuild) {
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    return false;
  }
  const int64_t inherited = residentBytes(pid);
  bool killed = false;
  for (;;) {
    info.si_pid = 0;
    const int got = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG);
    if ((got == 0 && info.si_pid == pid) || (got < 0 && errno != EINTR)) return killed;
    const int64_t resident = residentBytes(pid);
    if (!killed && inherited >= 0 && resident > inherited + limits.memoryBytes) {
      ::kill(pid, SIGKILL);
      killed = true;
    }
    std::this_thread::sleep_for(kMemoryPoll);
  }
}

}  // namespace

// What a job and the reader share while the job still wants the read.
struct PictureJob::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  Work work;
  int64_t maxPixels = 0;
  DecoderLimits limits;
  pid_t child = 0;        // the child, until the reader reaps it: cancel kills it
  bool made = false;      // the child was made (or skipped, or could not be)
  bool cancelled = false;
  bool done = false;
  DecodedPicture result;
};

namespace {

class Reader {
public:
  void post(std::shared_ptr<PictureJob::Shared> s) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(s));
    }
    posted_.notify_one();
  }

  // Made at the first read, never destroyed: the thread runs until the
  // program ends and holds nothing a program exit must wait for. Null when
  // no thread can be made (the system is out of threads or memory); a
  // later read tries again. The thread belongs to the process that made
  // it: a forked copy of the program, which has none, makes its own (the
  // copy of the old reader is left as it is, its locks perhaps held).
  static Reader* get() {
    static std::mutex mutex;
    static Reader* reader = nullptr;
    static pid_t owner = 0;
    const std::lock_guard<std::mutex> lock(mutex);
    if (reader && owner == ::getpid()) return reader;
    try {
      auto r = std::make_unique<Reader>();
      if (PictureJobFaults::thread.exchange(false)) throw std::system_error(EAGAIN, std::generic_category());
      std::thread([p = r.get()] { p->loop(); }).detach();
      reader = r.release();
      owner = ::getpid();
      return reader;
    } catch (const std::exception&) {
      return nullptr;
    }
  }

private:
  void loop() {
    for (;;) {
      std::shared_ptr<PictureJob::Shared> s;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        posted_.wait(lock, [this] { return !queue_.empty(); });
        s = std::move(queue_.front());
        queue_.pop_front();
      }
      read(*s);
    }
  }

  static void read(PictureJob::Shared& s) {
    PictureJob::Work work;
    {
      const std::lock_guard<std::mutex> lock(s.mutex);
      if (!s.cancelled) work = std::move(s.work);
    }
    // Reserved, not taken: only the pixels the child writes use memory.
    size_t size = 0;
    void* area = work && areaSize(s.maxPixels, size)
                     ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                     : MAP_FAILED;
    const pid_t parent = ::getpid();
    const pid_t pid = area != MAP_FAILED ? ::fork() : -1;
    if (pid == 0) runChild(work, area, s.maxPixels, s.limits, parent);
    work = nullptr;  // the file's bytes go at once
    bool wanted;
    {
      const std::lock_guard<std::mutex> lock(s.mutex);
      s.made = true;
      if (pid > 0) s.child = pid;
      if (pid > 0 && s.cancelled) ::kill(pid, SIGKILL);
      wanted = !s.cancelled;
    }
    s.changed.notify_all();
    DecodedPicture d = failed(kDecoderNotStarted);
    if (pid > 0) {
      ChildEnd end;
      end.overMemory = waitForEnd(pid, s.limits);
      {
        const std::lock_guard<std::mutex> lock(s.mutex);
        s.child = 0;
        wanted = !s.cancelled;
      }
      rusage usage{};
      while (::wait4(pid, &end.status, 0, &usage) < 0 && errno == EINTR) {
      }
      end.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
      if (wanted) d = collect(area, s.maxPixels, s.limits, end);
    }
    if (area != MAP_FAILED) ::munmap(area, size);
    {
      const std::lock_guard<std::mutex> lock(s.mutex);
      if (wanted && !s.cancelled) s.result = std::move(d);
      s.done = true;
    }
    s.changed.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::shared_ptr<PictureJob::Shared>> queue_;
};

}  // namespace

void PictureJob::start(Work work, int64_t maxPixels, DecoderLimits limits) {
  cancel();
  auto s = std::make_shared<Shared>();
  s->work = std::move(work);
  s->maxPixels = maxPixels;
  s->limits = limits;
  shared_ = s;
  started_ = std::chrono::steady_clock::now();
  Reader* reader = Reader::get();
  if (!reader) {
    s->work = nullptr;
    s->result = failed(kReaderNotStarted);
    s->made = s->done = true;
    return;
  }
  reader->post(s);
  if (kCallerWaitsForFork) {
    std::unique_lock<std::mutex> lock(s->mutex);
    s->changed.wait(lock, [&s] { return s->made; });
  }
}

bool PictureJob::take(DecodedPicture& out) {
  if (!shared_) return false;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->done) return false;
    out = std::move(shared_->result);
  }
  shared_.reset();
  return true;
}

void PictureJob::wait() const {
  if (!shared_) return;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return shared_->done; });
}

double PictureJob::seconds() const {
  if (!shared_) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void PictureJob::cancel() {
  if (!shared_) return;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->cancelled = true;
    if (shared_->child > 0) ::kill(shared_->child, SIGKILL);
  }
  shared_.reset();
}
