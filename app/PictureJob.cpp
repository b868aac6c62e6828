// The worker threads of picture decodes; see PictureJob.h.
#include "app/PictureJob.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

// What the job owns and its worker reaches while the job still wants it.
struct PictureJob::Shared {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  DecodedPicture result;
};

namespace {

// At most this many decodes run at once: the one the window waits for and
// one that was cancelled or superseded but cannot be stopped before its
// end. A further one waits for a slot, so that a run of small files that
// decode into huge pictures cannot multiply the memory in use; work whose
// job let go while it waited is skipped.
constexpr int kDecodeSlots = 2;

struct DecodeSlots {
  std::mutex mutex;
  std::condition_variable freed;
  int used = 0;
};

// Never destroyed: workers still running at program exit use it.
DecodeSlots& decodeSlots() {
  static DecodeSlots* slots = new DecodeSlots;
  return *slots;
}

DecodedPicture run(const PictureJob::Work& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    DecodedPicture failed;
    failed.error = "out of memory";
    return failed;
  } catch (const std::exception& e) {
    DecodedPicture failed;
    failed.error = e.what();
    return failed;
  }
}

}  // namespace

void PictureJob::start(Work work) {
  shared_ = std::make_shared<Shared>();
  try {
    // Detached: nothing ever joins it, so neither a cancel nor the end of
    // the program waits for a long decode. It holds only a weak reference,
    // so the state of a job that let go is freed at once.
    std::thread([weak = std::weak_ptr<Shared>(shared_), work = std::move(work)]() mutable {
      DecodeSlots& slots = decodeSlots();
      {
        std::unique_lock<std::mutex> lock(slots.mutex);
        slots.freed.wait(lock, [&slots] { return slots.used < kDecodeSlots; });
        if (weak.expired()) return;
        ++slots.used;
      }
      DecodedPicture result = run(work);
      work = nullptr;  // the copied file goes before the result is handed over
      {
        const std::lock_guard<std::mutex> lock(slots.mutex);
        --slots.used;
      }
      slots.freed.notify_all();  // each waiter looks again; one whose job let go leaves
      const std::shared_ptr<Shared> shared = weak.lock();
      if (!shared) return;  // cancelled or superseded: the result is dropped
      const std::lock_guard<std::mutex> lock(shared->mutex);
      shared->result = std::move(result);
      shared->done = true;
      shared->ended.notify_all();
    }).detach();
  } catch (const std::exception& e) {
    shared_->result.error = e.what();
    shared_->done = true;
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
  shared_->ended.wait(lock, [this] { return shared_->done; });
}
