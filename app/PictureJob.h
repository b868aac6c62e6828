// A picture read in a child process of its own, so that a large or hostile
// file never holds up the frame loop, a read that is cancelled or
// superseded really stops (its process is killed, and its memory goes with
// it), and a fault of the decoder ends that process, not the program. The
// picture import starts one job per opened file and polls it every frame.
//
// One reader thread, made at the first start and kept until the program
// ends, makes the child processes one after another, waits for each and
// copies its result out of memory shared with it; PictureJob.cpp says why
// one. A start waits for nothing but the end of a read that is still
// wanted: every read a job lets go of is killed at once.
#pragma once

#include "app/DecodedPicture.h"
#include "convert/PictureFile.h"

#include <cstdint>
#include <functional>
#include <memory>

// What a read that did not end properly gives: a process that could not be
// made, or one that ended without its result (a crash of the decoder).
constexpr const char* kDecoderNotStarted = "the decoder could not be started";
constexpr const char* kDecoderFailed = "the decoder failed";

class PictureJob {
public:
  // Runs in the child process: it may only compute its result (never touch
  // the App, the document, the window or the GL context).
  using Work = std::function<DecodedPicture()>;

  PictureJob() = default;
  ~PictureJob() { cancel(); }
  // One job, one read.
  PictureJob(const PictureJob&) = delete;
  PictureJob& operator=(const PictureJob&) = delete;

  // Runs `work` in a new child process; a job still running is cancelled
  // first. Its result may hold at most maxPixels pixels. An exception of
  // the work becomes the result's error text.
  void start(Work work, int64_t maxPixels = kImportMaxPixels);
  // Started, and its result neither taken nor dropped.
  bool busy() const { return shared_ != nullptr; }
  // When the work has ended: moves its result into `out` and the job
  // becomes idle; true. False while it runs or when idle.
  bool take(DecodedPicture& out);
  // Blocks until the work has ended (its result stays for `take`); returns
  // at once when idle.
  void wait() const;
  // Stops the work at once (its process is killed) and drops it.
  void cancel();

  struct Shared;

private:
  std::shared_ptr<Shared> shared_;
};
