// The background decode: a superseded or cancelled job never hands over
// the result of its old work, even when that work ends later; a job can be
// dropped while its worker still runs; work beyond the two decodes that
// may run at once waits for a slot and is skipped when its job let go
// meanwhile; failures of the work become error texts. Work waits at gates
// the test opens, so that the orders here are forced, not timed.
#include "app/PictureJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

DecodedPicture picture(uint32_t colour) {
  DecodedPicture d;
  d.pixels = {colour};
  d.width = d.height = 1;
  return d;
}

// Work that says it has started, waits for its gate, counts itself out of
// `inside` and says it has ended. The worker shares what it touches, so
// the test may let go first.
struct Gated {
  std::promise<void> open;
  std::shared_future<void> gate = open.get_future().share();
  std::shared_ptr<std::promise<void>> started = std::make_shared<std::promise<void>>();
  std::shared_ptr<std::promise<void>> ended = std::make_shared<std::promise<void>>();
  std::future<void> hasStarted = started->get_future();
  std::future<void> hasEnded = ended->get_future();

  PictureJob::Work work(std::shared_ptr<std::atomic<int>> inside) {
    return [gate = gate, started = started, ended = ended, inside] {
      ++*inside;
      started->set_value();
      gate.wait();
      --*inside;
      ended->set_value();
      return picture(0xAAAAAAAA);
    };
  }
};

TEST(PictureJob, OnlyTheNewestWorkOfAJobIsHandedOver) {
  enum class Then { Supersede, Cancel, Destroy };
  for (const Then then : {Then::Supersede, Then::Cancel, Then::Destroy}) {
    Gated old;
    auto job = std::make_unique<PictureJob>();
    job->start(old.work(std::make_shared<std::atomic<int>>(0)));
    old.hasStarted.wait();
    DecodedPicture out;
    EXPECT_TRUE(job->busy());
    EXPECT_FALSE(job->take(out));  // still at the gate
    if (then == Then::Supersede) {
      job->start([] { return picture(0xBBBBBBBB); });  // the second slot
      job->wait();
      ASSERT_TRUE(job->take(out));
      EXPECT_EQ(out.pixels, std::vector<uint32_t>{0xBBBBBBBB});
    } else if (then == Then::Cancel) {
      job->cancel();
    } else {
      job.reset();
    }
    // The old work ends only now, after its job let go of it.
    old.open.set_value();
    old.hasEnded.wait();
    if (job) {
      job->wait();
      EXPECT_FALSE(job->busy() || job->take(out));
    }
  }
}

TEST(PictureJob, WorkBeyondTwoDecodesWaitsForASlot) {
  const auto inside = std::make_shared<std::atomic<int>>(0);
  Gated first, second;
  PictureJob a, b, skipped, waiting;
  a.start(first.work(inside));
  b.start(second.work(inside));
  first.hasStarted.wait();
  second.hasStarted.wait();
  const auto ran = std::make_shared<std::atomic<bool>>(false);
  skipped.start([ran] {
    *ran = true;
    return picture(1);
  });
  skipped.cancel();  // let go while it waits: its work never runs
  waiting.start([inside] { return picture(static_cast<uint32_t>(inside->load())); });
  first.open.set_value();
  waiting.wait();
  DecodedPicture out;
  ASSERT_TRUE(waiting.take(out));
  EXPECT_EQ(out.pixels, std::vector<uint32_t>{1});  // it ran beside the second gated work only
  second.open.set_value();
  b.wait();
  a.wait();
  EXPECT_FALSE(*ran);
}

TEST(PictureJob, TheResultArrivesOnceAndFailuresBecomeTexts) {
  const std::pair<PictureJob::Work, std::string> cases[] = {
      {[] { return picture(7); }, ""},
      {[]() -> DecodedPicture { throw std::bad_alloc(); }, "out of memory"},
      {[]() -> DecodedPicture { throw std::runtime_error("broken"); }, "broken"},
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
    EXPECT_FALSE(job.busy() || job.take(out)) << error;
  }
}

}  // namespace
