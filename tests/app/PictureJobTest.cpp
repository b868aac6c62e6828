// The background decode: its result arrives once, a superseded or
// cancelled job never hands over the result of its old work (even when
// that work ends later), a job can be dropped while its worker still runs,
// and failures of the work become error texts. Workers are held at a gate
// the test opens, so every order here is forced, not timed.
#include "app/PictureJob.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

DecodedPicture picture(uint32_t tag) {
  DecodedPicture d;
  d.pixels = {tag};
  d.width = d.height = 1;
  return d;
}

// Work that waits for the gate to open, says it is past it, and gives a
// 1x1 picture of the colour `tag`. The worker shares what it touches, so
// the test may let go of it first.
struct Gated {
  std::promise<void> open;
  std::shared_future<void> gate = open.get_future().share();
  std::shared_ptr<std::promise<void>> ran = std::make_shared<std::promise<void>>();
  std::future<void> past = ran->get_future();

  PictureJob::Work work(uint32_t tag) {
    return [gate = gate, ran = ran, tag] {
      gate.wait();
      ran->set_value();
      return picture(tag);
    };
  }
};

TEST(PictureJob, OnlyTheNewestWorkOfAJobIsHandedOver) {
  enum class Then { Supersede, Cancel, Destroy };
  for (const Then then : {Then::Supersede, Then::Cancel, Then::Destroy}) {
    Gated old;
    DecodedPicture out;
    {
      PictureJob job;
      job.start(old.work(0xAAAAAAAA));
      EXPECT_TRUE(job.busy());
      EXPECT_FALSE(job.take(out));  // still at the gate
      if (then == Then::Supersede) {
        job.start([] { return picture(0xBBBBBBBB); });
        job.wait();
        ASSERT_TRUE(job.take(out));
        EXPECT_EQ(out.pixels, std::vector<uint32_t>{0xBBBBBBBB});
      } else if (then == Then::Cancel) {
        job.cancel();
      }
      if (then != Then::Destroy) {
        EXPECT_FALSE(job.busy());
        // The old work ends only now, after its job let go of it.
        old.open.set_value();
        old.past.wait();
        job.wait();
        EXPECT_FALSE(job.take(out));
        EXPECT_FALSE(job.busy());
      }
    }
    if (then == Then::Destroy) {
      // The job is gone; its worker finishes on its own state.
      old.open.set_value();
      old.past.wait();
    }
  }
}

TEST(PictureJob, TheResultArrivesOnceAndFailuresBecomeTexts) {
  const struct {
    const char* what;
    PictureJob::Work work;
    std::string error;
  } cases[] = {
      {"picture", [] { return picture(7); }, ""},
      {"decoder's refusal", [] { DecodedPicture d; d.error = "bad DHT header"; return d; }, "bad DHT header"},
      {"allocation failure", []() -> DecodedPicture { throw std::bad_alloc(); }, "out of memory"},
      {"other exception", []() -> DecodedPicture { throw std::runtime_error("broken"); }, "broken"},
  };
  for (const auto& c : cases) {
    PictureJob job;
    DecodedPicture out;
    job.wait();  // idle: returns at once
    EXPECT_FALSE(job.take(out));
    job.start(c.work);
    job.wait();
    job.wait();  // the result stays until taken
    ASSERT_TRUE(job.take(out)) << c.what;
    EXPECT_EQ(out.error, c.error) << c.what;
    EXPECT_EQ(out.pixels.size(), c.error.empty() ? 1u : 0u) << c.what;
    EXPECT_FALSE(job.busy()) << c.what;
    EXPECT_FALSE(job.take(out)) << c.what;
  }
}

}  // namespace
