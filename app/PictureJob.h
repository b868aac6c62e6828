// A picture decode on a worker thread, so that a large or hostile picture
// never holds up the frame loop. The picture import starts one job per
// opened file and polls it every frame; the work touches nothing but its
// own inputs (never the App or the document). A job that is cancelled,
// superseded or destroyed (also at program exit) never waits for its
// worker: the result is simply dropped when it arrives. At most two decodes
// run at once; a job started beyond that waits for one to end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What a decode gives: the picture, or the reason it could not be read.
struct DecodedPicture {
  std::string error;             // empty on success
  std::vector<uint32_t> pixels;  // red lowest, alpha highest, rows top to bottom
  int width = 0;
  int height = 0;
};

class PictureJob {
public:
  using Work = std::function<DecodedPicture()>;

  PictureJob() = default;
  // One job, one worker: a copy would share the result.
  PictureJob(const PictureJob&) = delete;
  PictureJob& operator=(const PictureJob&) = delete;
  PictureJob(PictureJob&&) = default;
  PictureJob& operator=(PictureJob&&) = default;

  // Runs `work` on a new thread; a job still running is superseded. An
  // exception of the work, or a thread that cannot be started, becomes the
  // result's error text.
  void start(Work work);
  // Started, and its result neither taken nor dropped.
  bool busy() const { return shared_ != nullptr; }
  // When the work has ended: moves its result into `out` and the job
  // becomes idle; true. False while it runs or when idle.
  bool take(DecodedPicture& out);
  // Blocks until the work has ended (its result stays for `take`); returns
  // at once when idle.
  void wait() const;
  // Drops the work: its result is discarded when it arrives.
  void cancel() { shared_.reset(); }

private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};
