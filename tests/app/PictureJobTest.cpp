// The background read: its work runs in a child process, a superseded,
// cancelled or destroyed job kills that process at once (so it never holds
// up the newest read), only the newest work's result is handed over, and
// failures of the work, a crash among them, become error texts; the work's
// process is bounded in time and memory and ends with the program, and
// what the program itself cannot do (make the reader thread, copy a
// result) becomes a text too. Work waits at gates (pipes) the test opens,
// so that the orders here are forced, not timed; a fault that leaves a
// child running or runs the work in this process hangs, which the tests'
// own short time limit turns into a quick failure.
#include "app/ConvertRules.h"
#include "app/PictureJob.h"
#include "tests/TestPictures.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

DecodedPicture picture(uint32_t colour) {
  DecodedPicture d;
  d.pixels = {colour};
  d.width = d.height = 1;
  return d;
}

// Work that says it has started and waits for its gate. Once it has
// started, only its process holds the writing end of `alive`, so reading
// that pipe ends exactly when the process has.
class Gated {
public:
  Gated() {
    for (int* p : {started_, gate_, alive_}) EXPECT_EQ(::pipe(p), 0);
  }
  ~Gated() {
    for (int* p : {started_, gate_, alive_})
      for (int i : {0, 1})
        if (p[i] >= 0) ::close(p[i]);
  }
  PictureJob::Work work(uint32_t colour) const {
    return [started = started_[1], gate = gate_[0], colour] {
      char c = 's';
      if (::write(started, &c, 1) != 1 || ::read(gate, &c, 1) != 1) std::_Exit(2);
      return picture(colour);
    };
  }
  void waitStarted() {
    char c;
    ASSERT_EQ(::read(started_[0], &c, 1), 1);
    ::close(alive_[1]);
    alive_[1] = -1;
  }
  void open() const { ASSERT_EQ(::write(gate_[1], "g", 1), 1); }
  // Blocks until the work's process has ended.
  void waitEnded() const {
    char c;
    EXPECT_EQ(::read(alive_[0], &c, 1), 0);
  }

private:
  int started_[2] = {-1, -1};
  int gate_[2] = {-1, -1};
  int alive_[2] = {-1, -1};
};

TEST(PictureJob, OnlyTheNewestWorkIsHandedOverAndTheRestIsStopped) {
  enum class Then { Supersede, Cancel, Destroy };
  for (const Then then : {Then::Supersede, Then::Cancel, Then::Destroy}) {
    Gated old;
    auto job = std::make_unique<PictureJob>();
    job->start(old.work(0xAAAAAAAA));
    old.waitStarted();
    DecodedPicture out;
    EXPECT_TRUE(job->busy());
    EXPECT_FALSE(job->take(out));  // still at the gate
    if (then == Then::Supersede)
      job->start([] { return picture(0xBBBBBBBB); });
    else if (then == Then::Cancel)
      job->cancel();
    else
      job.reset();
    old.waitEnded();  // killed at its gate, never opened
    if (then == Then::Supersede) {
      job->wait();
      ASSERT_TRUE(job->take(out));
      EXPECT_EQ(out.pixels, std::vector<uint32_t>{0xBBBBBBBB});
    }
    if (job) {
      EXPECT_FALSE(job->busy() || job->take(out));
    }
  }
}

// Two slow reads, each superseded, then a small picture: it is in at once.
// (The one timed check: its deadline only turns a wait into a failure.)
TEST(PictureJob, SupersededReadsNeverHoldUpTheNewest) {
  std::ifstream in(TILVOX_TEST_SOURCE_DIR "/tests/fuzz/corpus/importpicture/split.png", std::ios::binary);
  const std::vector<uint8_t> png(std::istreambuf_iterator<char>(in), {});
  Gated first, second;
  PictureJob job;
  job.start(first.work(1));
  first.waitStarted();
  job.start(second.work(2));
  second.waitStarted();
  job.start([&png] { return DecodeImportPicture(png); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  DecodedPicture out;
  while (!job.take(out) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(std::make_tuple(out.error, out.width, out.height), std::make_tuple("", 16, 8));
  first.waitEnded();
  second.waitEnded();
}

// The job's result once it has ended.
DecodedPicture result(PictureJob& job) {
  job.wait();
  DecodedPicture out;
  EXPECT_TRUE(job.take(out));
  return out;
}

TEST(PictureJob, TheResultArrivesOnceAndFailuresBecomeTexts) {
  const DecodedPicture bad{"", {1, 2, 3}, 2, 2};  // three pixels for four
  const std::pair<PictureJob::Work, std::string> cases[] = {
      {[] { return picture(static_cast<uint32_t>(::getpid())); }, ""},
      {[]() -> DecodedPicture { throw std::bad_alloc(); }, kImportOutOfMemory},
      {[]() -> DecodedPicture { throw std::runtime_error("broken"); }, "broken"},
      {[]() -> DecodedPicture { std::abort(); }, kDecoderFailed},  // a crash of the decoder
      {[]() -> DecodedPicture { std::_Exit(0); }, kDecoderFailed},  // ended without a result
      {[bad] { return bad; }, kDecoderFailed},
      {[] { return DecodedPicture{std::string(300, 'x'), {}, 0, 0}; }, std::string(255, 'x')},
  };
  const long fds = testbytes::openDescriptors();
  for (const auto& [work, error] : cases) {
    PictureJob job;
    DecodedPicture out;
    job.wait();  // idle: returns at once
    job.start(work);
    job.wait();
    job.wait();  // the result stays until taken
    ASSERT_TRUE(job.take(out)) << error;
    EXPECT_EQ(out.error, error);
    EXPECT_EQ(out.pixels.size(), error.empty() ? 1u : 0u) << error;
    if (error.empty()) {
      EXPECT_NE(out.pixels[0], static_cast<uint32_t>(::getpid()));  // not run in this process
    }
    EXPECT_FALSE(job.busy() || job.take(out)) << error;
  }
  EXPECT_EQ(testbytes::openDescriptors(), fds);  // a read leaves no file open, whatever its end
}

// The decoder's process ends at its bound of processor time (set small
// here) and of memory beyond what it inherits, as a loop and an endless
// allocation do, and as the decoder does on a PNG of empty deflate blocks
// (for each of which it builds the fixed codes anew) or on a real picture
// it has too little memory for. It is the first process the kernel's
// out-of-memory killer takes, and the real time bound is set. The shared
// memory holds a result of maxPixels pixels and no more: a result past it
// is refused, a bound below 0 or one whose memory size would overflow gets
// no memory at all.
TEST(PictureJob, TheDecoderIsBoundedInTimeAndMemory) {
  constexpr int64_t kMiB = 1 << 20;
  namespace tp = testpictures;
  tp::Deflater emptyBlocks(false, 4'000'000);  // some seconds of work
  emptyBlocks.feed({0, 0});                      // the one row of 1 x 1
  const tp::Bytes slowPng = tp::pngFile(1, 1, 8, 0, false, emptyBlocks.finish());
  // Its picture and data take 112 MB: far past what the allocator may
  // already hold in reserve (up to 64 MB), which the bound counts as
  // inherited.
  constexpr int kSide = 4096;
  tp::Deflater black;
  black.feed(tp::Bytes(size_t{kSide} * (kSide * 3 + 1), 0));
  const tp::Bytes largePng = tp::pngFile(kSide, kSide, 8, 2, false, black.finish());
  const DecoderLimits oneSecond{1, kDecoderMemoryBytes}, fewMegabytes{kDecoderCpuSeconds, 4 * kMiB};
  const auto decode = [](const tp::Bytes& file) { return [&file] { return DecodeImportPicture(file); }; };
  const auto pixels = [](int w, int h) {
    return [w, h] { return DecodedPicture{"", std::vector<uint32_t>(size_t(w) * size_t(h), 7), w, h}; };
  };
  const struct {
    const char* what;
    PictureJob::Work work;
    std::string error;
    size_t pixels = 0;  // of the result
    DecoderLimits limits = {};
    int64_t maxPixels = kImportMaxPixels;
  } cases[] = {
      // `zero` is read every time round: the loop has an effect.
      {"a loop", []() -> DecodedPicture { for (volatile int zero = 0; zero == 0;) {} return {}; }, kDecoderTooSlow, 0,
       oneSecond},
      {"a PNG of empty deflate blocks", decode(slowPng), kDecoderTooSlow, 0, oneSecond},
      {"an endless allocation", []() -> DecodedPicture { for (;;) std::memset(new char[kMiB], 1, kMiB); },
       kImportOutOfMemory, 0, {kDecoderCpuSeconds, 64 * kMiB}},
      {"a PNG of 4096 x 4096 in 4 MiB", decode(largePng), kImportOutOfMemory, 0, fewMegabytes},
      {"the same in the usual bounds", decode(largePng), "", size_t{kSide} * kSide},
      {"its bounds", [] {
         std::string adj;
         std::ifstream("/proc/self/oom_score_adj") >> adj;
         rlimit cpu{};
         ::getrlimit(RLIMIT_CPU, &cpu);
         return DecodedPicture{adj + " " + std::to_string(cpu.rlim_cur) + " " + std::to_string(cpu.rlim_max), {}, 0, 0};
       }, "1000 20 21"},
      {"2 x 2 in 4 pixels", pixels(2, 2), "", 4, {}, 4},
      {"3 x 2 in 4", pixels(3, 2), kDecoderFailed, 0, {}, 4},
      {"1025 x 1 in 1024", pixels(1025, 1), kDecoderFailed, 0, {}, 1024},
      {"an error in 0", [] { return DecodedPicture{"broken", {}, 0, 0}; }, "broken", 0, {}, 0},
      {"a bound below 0", pixels(1, 1), kDecoderNotStarted, 0, {}, -1},
      {"2^62 pixels of 4 bytes: 2^64", pixels(2, 2), kDecoderNotStarted, 0, {}, int64_t{1} << 62},
      {"INT64_MAX", pixels(2, 2), kDecoderNotStarted, 0, {}, INT64_MAX},
  };
  const long fds = testbytes::openDescriptors();
  for (const auto& c : cases) {
    PictureJob job;
    job.start(c.work, c.maxPixels, c.limits);
    const DecodedPicture out = result(job);
    EXPECT_EQ(out.error, c.error) << c.what;
    EXPECT_EQ(out.pixels.size(), c.pixels) << c.what;
  }
  EXPECT_EQ(testbytes::openDescriptors(), fds);
}

// A reader thread that cannot be made (the system is out of threads) and a
// result the program has no memory to copy: each read gives a text, and
// the next read is made as usual. In a child of the test, which has no
// reader thread yet: the job there makes its own.
TEST(PictureJob, AReaderThreadOrACopyThatFailsIsAText) {
  const pid_t child = ::fork();
  if (child == 0) std::_Exit([] {
      PictureJob job;
      PictureJobFaults::thread = true;
      job.start([] { return picture(1); });
      DecodedPicture out;
      if (!job.take(out) || out.error != kReaderNotStarted) return 1;  // at once
      job.start([] { return picture(2); });
      if (result(job).pixels != std::vector<uint32_t>{2}) return 2;
      PictureJobFaults::copy = true;
      job.start([] { return picture(3); });
      if (result(job).error != kImportOutOfMemory) return 3;
      job.start([] { return picture(4); });
      return result(job).pixels == std::vector<uint32_t>{4} ? 0 : 4;
    }());
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);  // exited with 0
}

// The decoder ends with the program, also when the program is killed and
// never gets to cancel it: a test process starts a read that waits at its
// gate and is killed.
TEST(PictureJob, TheDecoderEndsWithTheProgram) {
  Gated gated;
  const pid_t program = ::fork();
  if (program == 0) {
    PictureJob job;
    job.start(gated.work(1));
    for (;;) ::pause();
  }
  gated.waitStarted();  // now only the decoder holds `alive` open as well
  ::kill(program, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(program, &status, 0), program);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  gated.waitEnded();  // the decoder is gone
}

}  // namespace
