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
//
// The decoder's process is bounded as a browser bounds its decoders, so
// that no file, however made, holds a read for long or takes the machine's
// memory: it may use so much processor time, take so much memory beyond
// what it inherits, and it is the first process the system's out-of-memory
// killer takes.
#pragma once

#include "app/DecodedPicture.h"
#include "convert/PictureFile.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

// What a read that did not end properly gives: the reader thread or the
// process that could not be made, one that ended without its result (a
// crash of the decoder), one stopped at its time bound. One stopped at
// its memory bound gives kImportOutOfMemory.
constexpr const char* kReaderNotStarted = "the picture reader could not be started";
constexpr const char* kDecoderNotStarted = "the decoder could not be started";
constexpr const char* kDecoderFailed = "the decoder failed";
constexpr const char* kDecoderTooSlow = "decoding took too long";

// Pictures encoders write at the pixel limit decode in 1 to 5 seconds,
// the slowest files the header check accepts (bench/PictureBench.cpp) in
// up to 15; past this much processor time a read is given up.
constexpr int kDecoderCpuSeconds = 20;
// What the decoder may take beyond what its process inherits, in address
// space. Real pictures at the pixel limit take up to 1.15 GB (a 16-bit
// RGBA PNG: its inflated data, the picture of 16-bit samples, the 8-bit
// one), except when interlaced: then the data is longer than the rows of
// a plain picture, which the decoder's inflate buffer starts at, so the
// buffer doubles to 1 GB (half of it never touched) and the picture and
// one of its passes come beside it, 1.8 GB in all. None of that is a copy
// this program makes (its own copy of the decoded pixels comes after the
// decoder's buffers are gone), so the bound is 2 GiB, not the 1.5 GB the
// others would need; a file that needs more stands for more than its
// picture.
constexpr int64_t kDecoderMemoryBytes = int64_t{2048} << 20;

struct DecoderLimits {
  int cpuSeconds = kDecoderCpuSeconds;
  int64_t memoryBytes = kDecoderMemoryBytes;
};

// Test seams: when set, the next reader thread to be made fails as on a
// system out of threads, the next copy of a result as on one out of
// memory; each is cleared as it acts.
struct PictureJobFaults {
  static std::atomic<bool> thread;
  static std::atomic<bool> copy;
};

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

  // Runs `work` in a new child process within `limits`; a job still
  // running is cancelled first. Its result may hold at most maxPixels
  // pixels. An exception of the work becomes the result's error text.
  void start(Work work, int64_t maxPixels = kImportMaxPixels, DecoderLimits limits = {});
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
  // Seconds since the start of the work, while busy; 0 when idle.
  double seconds() const;

  struct Shared;

private:
  std::shared_ptr<Shared> shared_;
  std::chrono::steady_clock::time_point started_;
};
