// The frame pacing rule; see FramePacer.h.
#include "app/FramePacer.h"

#include <algorithm>

void FramePacer::setRefreshRate(double hz) { period = 1.0 / (hz > 0 ? hz : kDefaultRefreshRate); }

FramePacer::Wait FramePacer::next(double now, double dueAt, bool held) const {
  if (everyFrame) return {now, now};
  // Never sooner than one refresh after the last frame began; with vertical
  // sync holding, that time has already passed when the swap returns.
  const double cap = std::max(now, lastFrameStart + period);
  // Right after input, or while a key or button is held (key repeat and
  // drags are timed by frames), every refresh gets a frame.
  const bool busy = held || now - lastInput < kInputSettleSeconds;
  double deadline = busy ? cap : std::min(dueAt, lastFrameStart + kIdleFrameSeconds);
  deadline = std::max(deadline, cap);
  return {cap, deadline};
}
