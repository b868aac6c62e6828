// When the frame loop draws its next frame. On a display whose vertical
// sync holds the loop at the refresh rate the swap already waits; where it
// does not (Xvfb, some drivers) the loop would draw as fast as the
// processor allows. The pacer caps the rate at the refresh rate, and once
// nothing has happened for a while and nothing on screen moves by itself
// it lets the loop sleep until input arrives or the next change is due.
// Plain arithmetic on seconds, so the rule is tested without a window; the
// loop in main does the sleeping and waiting.
#pragma once

#include <limits>

constexpr double kDefaultRefreshRate = 60.0;
// After input the loop keeps drawing at the refresh rate this long, for
// hover states, tooltips with a delay and the pop-ups that follow a click.
constexpr double kInputSettleSeconds = 1.0;
// With nothing to do the loop still draws this often, so that anything
// nobody announced (a file appearing in the file dialog) shows in time.
constexpr double kIdleFrameSeconds = 0.5;

constexpr double kNever = std::numeric_limits<double>::infinity();

struct FramePacer {
  double period = 1.0 / kDefaultRefreshRate;  // one refresh of the display
  // Scripted modes (the snapshot, the self-test) draw every frame at once,
  // exactly as without pacing.
  bool everyFrame = false;
  double lastFrameStart = -kNever;
  double lastInput = -kNever;

  // The refresh rate of the display; 0 or less (unknown) gives 60.
  void setRefreshRate(double hz);

  // What the loop does before its next frame: sleep until `sleepUntil`
  // whatever happens (the cap), then wait for input until `deadline`;
  // input ends that wait at once. Times in seconds of the loop's clock.
  struct Wait {
    double sleepUntil = 0;
    double deadline = 0;
  };
  // `now` is the end of the frame just drawn; `dueAt` the earliest time
  // something on screen changes by itself (kNever for nothing, `now` or
  // earlier for every frame); `held` a key or mouse button is down.
  Wait next(double now, double dueAt, bool held) const;
};
