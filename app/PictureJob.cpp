// The worker thread of a picture decode; see PictureJob.h.
#include "app/PictureJob.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

// What the job and its worker share; whichever lets go last frees it.
struct PictureJob::Shared {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  DecodedPicture result;
};

namespace {

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
  auto shared = std::make_shared<Shared>();
  shared_ = shared;
  try {
    // Detached: nothing ever joins it, so neither a cancel nor the end of
    // the program waits for a long decode.
    std::thread([shared, work = std::move(work)]() mutable {
      DecodedPicture result = run(work);
      work = nullptr;  // the copied file goes before the result is handed over
      const std::lock_guard<std::mutex> lock(shared->mutex);
      shared->result = std::move(result);
      shared->done = true;
      shared->ended.notify_all();
    }).detach();
  } catch (const std::exception& e) {
    shared->result.error = e.what();
    shared->done = true;
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
