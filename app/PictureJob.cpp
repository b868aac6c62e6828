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
#include "app/PictureJob.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <thread>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCallerWaitsForFork = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCallerWaitsForFork = true;
#else
constexpr bool kCallerWaitsForFork = false;
#endif
#else
constexpr bool kCallerWaitsForFork = false;
#endif

constexpr size_t kErrorTextSize = 256;  // the longest reason handed back, with its end
constexpr int kChildFailed = 1;         // exit code of a child without a result

// The start of the shared memory; the pixels follow it.
struct ResultArea {
  uint32_t written;  // set last: the child's result is complete
  int32_t width;
  int32_t height;
  char error[kErrorTextSize];
};
static_assert(sizeof(ResultArea) % sizeof(uint32_t) == 0, "the pixels follow aligned");

size_t areaSize(int64_t maxPixels) {
  return sizeof(ResultArea) + static_cast<size_t>(maxPixels) * sizeof(uint32_t);
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
    return failed("out of memory");
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

// The child: does the work, leaves the result in the shared memory and
// ends with _exit, so that none of the program's exit handlers (nor the
// sanitizer build's leak check) run in this copy of it.
[[noreturn]] void runChild(const PictureJob::Work& work, void* area, int64_t maxPixels, pid_t parent) {
  // It ends with the program, also when that never gets to cancel it.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(kChildFailed);
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

// The result of a child that has ended with `status`. It is this program's
// own code, but one that crashed may have left anything behind: only a
// complete result of a clean end counts.
DecodedPicture collect(void* area, int64_t maxPixels, int status) {
  const ResultArea& a = *static_cast<const ResultArea*>(area);
  const int64_t count = static_cast<int64_t>(a.width) * a.height;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || a.written != 1 || a.width < 0 || a.height < 0 ||
      count > maxPixels)
    return failed(kDecoderFailed);
  DecodedPicture d;
  d.error.assign(a.error, ::strnlen(a.error, kErrorTextSize));
  d.width = a.width;
  d.height = a.height;
  const uint32_t* pixels = areaPixels(area);
  d.pixels.assign(pixels, pixels + count);
  return d;
}

}  // namespace

// What a job and the reader share while the job still wants the read.
struct PictureJob::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  Work work;
  int64_t maxPixels = 0;
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
  // program ends and holds nothing a program exit must wait for.
  static Reader& get() {
    static Reader* reader = [] {
      auto* r = new Reader;
      std::thread([r] { r->loop(); }).detach();
      return r;
    }();
    return *reader;
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
    const size_t size = areaSize(s.maxPixels);
    void* area = work ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                      : MAP_FAILED;
    const pid_t parent = ::getpid();
    const pid_t pid = area != MAP_FAILED ? ::fork() : -1;
    if (pid == 0) runChild(work, area, s.maxPixels, parent);
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
      // Waits for its end without reaping it: until `child` is cleared a
      // cancel may still kill it, and its number must not be reused.
      siginfo_t info{};
      while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
      }
      {
        const std::lock_guard<std::mutex> lock(s.mutex);
        s.child = 0;
        wanted = !s.cancelled;
      }
      int status = -1;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      if (wanted) d = collect(area, s.maxPixels, status);
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

void PictureJob::start(Work work, int64_t maxPixels) {
  cancel();
  auto s = std::make_shared<Shared>();
  s->work = std::move(work);
  s->maxPixels = maxPixels;
  shared_ = s;
  Reader::get().post(s);
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

void PictureJob::cancel() {
  if (!shared_) return;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->cancelled = true;
    if (shared_->child > 0) ::kill(shared_->child, SIGKILL);
  }
  shared_.reset();
}
