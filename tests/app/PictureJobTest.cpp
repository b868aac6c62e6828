// The background decode: a superseded or cancelled job never hands over
// the result of its old work, even when that work ends later; a job can be
// dropped while its worker still runs; failures of the work become error
// texts. The old work waits at a gate the test opens, so every order here
// is forced, not timed.
#include "app/PictureJob.h"

#include <gtest/gtest.h>

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

TEST(PictureJob, OnlyTheNewestWorkOfAJobIsHandedOver) {
  enum class Then { Supersede, Cancel, Destroy };
  for (const Then then : {Then::Supersede, Then::Cancel, Then::Destroy}) {
    std::promise<void> open;
    // The worker shares the promise it keeps, so the test may let go first.
    const auto ended = std::make_shared<std::promise<void>>();
    std::future<void> oldEnded = ended->get_future();
    auto job = std::make_unique<PictureJob>();
    job->start([gate = open.get_future().share(), ended] {
      gate.wait();
      ended->set_value();
      return picture(0xAAAAAAAA);
    });
    DecodedPicture out;
    EXPECT_TRUE(job->busy());
    EXPECT_FALSE(job->take(out));  // still at the gate
    if (then == Then::Supersede) {
      job->start([] { return picture(0xBBBBBBBB); });
      job->wait();
      ASSERT_TRUE(job->take(out));
      EXPECT_EQ(out.pixels, std::vector<uint32_t>{0xBBBBBBBB});
    } else if (then == Then::Cancel) {
      job->cancel();
    } else {
      job.reset();
    }
    // The old work ends only now, after its job let go of it.
    open.set_value();
    oldEnded.wait();
    if (job) {
      job->wait();
      EXPECT_FALSE(job->busy());
      EXPECT_FALSE(job->take(out));
    }
  }
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
