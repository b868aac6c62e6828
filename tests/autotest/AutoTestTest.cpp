// The self-test engine's switch and timing, driven without a window.
#include "autotest/AutoTest.h"

#include "app/App.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class AutoTestEngine : public ScratchConfigTest {
protected:
  AutoTestEngine() : ScratchConfigTest("autotest") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
    ImGui::CreateContext();
    AutoTest::g_steps.clear();
    AutoTest::g_next = 0;
    AutoTest::g_wait = 0;
    AutoTest::g_done = false;
    AutoTest::g_checks = 0;
    AutoTest::g_failures = 0;
    AutoTest::g_haveMouse = false;
  }
  void TearDown() override {
    ImGui::DestroyContext();
    ScratchConfigTest::TearDown();
  }
};

TEST_F(AutoTestEngine, SwitchIsReadOnceAndOnlyZeroAndEmptyAreOff) {
  const struct {
    const char* value;  // nullptr: unset
    bool on;
  } cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"00", true}, {"1", true}, {"no", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    if (c.value)
      setenv("TILVOX_AUTOTEST", c.value, 1);
    else
      unsetenv("TILVOX_AUTOTEST");
    AutoTest::g_init = false;
    EXPECT_EQ(AutoTest::enabled(), c.on);
    EXPECT_EQ(AutoTest::ownsInput(), c.on);
    // Later changes of the variable are not seen.
    setenv("TILVOX_AUTOTEST", c.on ? "0" : "1", 1);
    EXPECT_EQ(AutoTest::enabled(), c.on);
  }
  unsetenv("TILVOX_AUTOTEST");
  AutoTest::g_init = false;
}

// A step with frame count n is followed by the next n + 1 frames later;
// the result comes in the frame of the last step, once.
TEST_F(AutoTestEngine, StepsRunAfterTheirIdleFramesAndTheResultComesOnce) {
  App app;
  std::vector<int> ranIn;
  int frame = 0;
  AutoTest::add("first", 10, [&](App&) { ranIn.push_back(frame); });
  AutoTest::add("second", 0, [&](App&) { ranIn.push_back(frame); });
  AutoTest::add("last", 1, [&](App&) {
    ranIn.push_back(frame);
    AutoTest::check(false, "a failing check");
    AutoTest::check(true, "a passing check");
    AutoTest::g_done = true;
  });
  int finishedIn = 0;
  int code = -1;
  for (frame = 1; frame <= 20 && finishedIn == 0; ++frame) {
    AutoTest::inject(app);
    if (AutoTest::finished(code)) finishedIn = frame;
  }
  EXPECT_EQ(ranIn, (std::vector<int>{1, 12, 13}));
  EXPECT_EQ(finishedIn, 13);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(AutoTest::g_checks, 2);
  EXPECT_EQ(AutoTest::g_failures, 1);
}

TEST_F(AutoTestEngine, TemporaryFilesLiveInOnePrivateFolderRemovedAtTheEnd) {
  const std::filesystem::path base = std::filesystem::temp_directory_path() / "tilvox_autotest_test";
  std::filesystem::create_directories(base);
  setenv("TMPDIR", base.c_str(), 1);
  const std::filesystem::path a = AutoTest::tempPath("drop.prg");
  const std::filesystem::path b = AutoTest::tempPath("drop.d64");
  unsetenv("TMPDIR");
  EXPECT_EQ(a.parent_path(), b.parent_path());
  EXPECT_EQ(a.parent_path().parent_path(), base);
  EXPECT_EQ(a.filename(), "tilvox_autotest_drop.prg");
  const auto perms = std::filesystem::status(a.parent_path()).permissions();
  EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
  AutoTest::g_done = true;
  int code = -1;
  ASSERT_TRUE(AutoTest::finished(code));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(std::filesystem::exists(a.parent_path()));
  std::filesystem::remove_all(base);
}

}  // namespace
