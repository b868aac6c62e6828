// The frame pacing rule: capped at the refresh rate, every refresh while
// input is fresh or held, otherwise asleep until input, a due change on
// screen or the idle frame; scripted runs draw every frame at once.
#include "app/FramePacer.h"

#include <gtest/gtest.h>

namespace {

TEST(FramePacer, WaitsByInputAnimationAndTheRefreshRate) {
  constexpr double p = 1.0 / 60;
  const struct {
    const char* what;
    bool everyFrame;
    double lastInput;  // seconds before the frame began at 100.0
    double now;        // end of that frame
    double dueAt;
    bool held;
    double sleepUntil, deadline;
  } kCases[] = {
      // A fast frame without vertical sync sleeps out the refresh.
      {"fresh input", false, 0.2, 100.002, kNever, false, 100 + p, 100 + p},
      {"key held", false, 30, 100.002, kNever, true, 100 + p, 100 + p},
      // With vertical sync the swap took the whole refresh: no sleep.
      {"synced", false, 0.2, 100 + p, kNever, false, 100 + p, 100 + p},
      {"slow frame", false, 0.2, 100.05, kNever, false, 100.05, 100.05},
      // Idle: wait for input until the next due change or the idle frame.
      {"idle", false, 5, 100.002, kNever, false, 100 + p, 100 + kIdleFrameSeconds},
      {"blink due", false, 5, 100.002, 100.125, false, 100 + p, 100.125},
      {"due at once", false, 5, 100.002, 100.0, false, 100 + p, 100 + p},
      {"input settled", false, kInputSettleSeconds + 0.01, 100.002, kNever, false, 100 + p, 100 + kIdleFrameSeconds},
      // Scripted runs never wait.
      {"self-test", true, 5, 100.002, kNever, false, 100.002, 100.002},
  };
  for (const auto& c : kCases) {
    FramePacer pacer;
    pacer.setRefreshRate(0);  // unknown: 60 per second
    pacer.everyFrame = c.everyFrame;
    pacer.lastFrameStart = 100.0;
    pacer.lastInput = 100.0 - c.lastInput;
    const FramePacer::Wait w = pacer.next(c.now, c.dueAt, c.held);
    EXPECT_DOUBLE_EQ(w.sleepUntil, c.sleepUntil) << c.what;
    EXPECT_DOUBLE_EQ(w.deadline, c.deadline) << c.what;
  }
}

}  // namespace
