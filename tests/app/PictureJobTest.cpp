// The background read: its work runs in a child process, a superseded,
// cancelled or destroyed job kills that process at once (so it never holds
// up the newest read), only the newest work's result is handed over, and
// failures of the work, a crash among them, become error texts. Work waits
// at gates (pipes) the test opens, so that the orders here are forced, not
// timed; a fault that leaves a child running or runs the work in this
// process hangs, which the tests' own short time limit turns into a quick
// failure.
#include "app/ConvertRules.h"
#include "app/PictureJob.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

TEST(PictureJob, TheResultArrivesOnceAndFailuresBecomeTexts) {
  const DecodedPicture bad{"", {1, 2, 3}, 2, 2};  // three pixels for four
  const std::pair<PictureJob::Work, std::string> cases[] = {
      {[] { return picture(static_cast<uint32_t>(::getpid())); }, ""},
      {[]() -> DecodedPicture { throw std::bad_alloc(); }, "out of memory"},
      {[]() -> DecodedPicture { throw std::runtime_error("broken"); }, "broken"},
      {[]() -> DecodedPicture { std::abort(); }, kDecoderFailed},  // a crash of the decoder
      {[]() -> DecodedPicture { std::_Exit(0); }, kDecoderFailed},  // ended without a result
      {[bad] { return bad; }, kDecoderFailed},
      {[] { return DecodedPicture{std::string(300, 'x'), {}, 0, 0}; }, std::string(255, 'x')},
  };
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
}

}  // namespace
