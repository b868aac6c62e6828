// What App gives the monitor: the drives of devices 8-11, the jump to the
// processor, closing its window, and host loads and saves through the one
// file dialog, finished the way the dialog finishes them in a frame.
#include "app/App.h"
#include "platform/FileDialog.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class AppMonitorTest : public ScratchConfigTest {
protected:
  AppMonitorTest() : ScratchConfigTest("appmonitor") {}
  void TearDown() override {
    FileIO::g_dlg = FileIO::Dialog();
    ScratchConfigTest::TearDown();
  }
  void run(App& app, const std::string& row) {
    app.monitor.clear();
    for (char c : row) app.monitor.typeChar(static_cast<uint8_t>(Monitor::typedCode(static_cast<unsigned char>(c))));
    app.monitor.enter();
  }
  std::string line(App& app, int r) {
    std::string s = app.monitor.rowText(r);
    return s.erase(s.find_last_not_of(' ') + 1);
  }
  // Confirms the dialog with `name` in the scratch directory and runs the
  // completion, as FileIO::draw does in the frame of the confirmation.
  void confirm(const std::string& name) {
    FileIO::g_dlg.dir = dir_.string();
    FileIO::setName(FileIO::g_dlg, name);
    FileIO::Commit c = FileIO::commitName(FileIO::g_dlg);
    ASSERT_TRUE(c.close) << FileIO::g_dlg.error;
    FileIO::g_dlg.isOpen = false;
    if (c.call) c.call();
  }
};

TEST_F(AppMonitorTest, DrivesGoAndExit) {
  App app;
  for (int device = 5; device <= 13; ++device)
    EXPECT_EQ(app.monitor.getDrive(device), device >= 8 && device <= 11 ? &app.drives[device - 8] : nullptr) << device;
  app.cpu.stopped = true;
  app.showMonitor = true;
  run(app, ".G C123");
  EXPECT_EQ(app.cpu.pc, 0xC123);
  EXPECT_FALSE(app.cpu.stopped);
  EXPECT_TRUE(app.showProcessor);
  EXPECT_FALSE(app.processorRunning);
  run(app, ".X");
  EXPECT_FALSE(app.showMonitor);
}

TEST_F(AppMonitorTest, HostSaveAndLoadGoThroughTheFileDialog) {
  App app;
  for (int i = 0; i < 16; ++i) app.machine.ram[0xC000 + i] = static_cast<uint8_t>(0xF0 + i);
  const std::pair<const char*, const char*> cases[] = {  // typed name, proposed file name
      {"@:DEMO", "demo.prg"}, {"@:", "@:.prg"}, {"PIC 1", "pic 1.prg"}};
  for (const auto& [name, proposed] : cases) {
    run(app, std::string(".S\"") + name + "\",6,C000,C010");
    EXPECT_TRUE(FileIO::g_dlg.saveMode);
    EXPECT_EQ(FileIO::g_dlg.title, "Monitor save");
    EXPECT_STREQ(FileIO::g_dlg.nameBuf, proposed);
  }
  run(app, ".S\"@:DEMO\",6,C000,C010");
  confirm("demo.prg");
  EXPECT_EQ(line(app, 2), "$0010 BYTES SAVED");
  std::ifstream f(dir_ / "demo.prg", std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  std::vector<uint8_t> want = {0x00, 0xC0};
  want.insert(want.end(), app.machine.ram.begin() + 0xC000, app.machine.ram.begin() + 0xC010);
  EXPECT_EQ(file, want);

  run(app, ".L\"DEMO\",6,2000");
  EXPECT_EQ(FileIO::g_dlg.title, "Monitor load: DEMO");
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 2u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "PRG-Files (*.prg)");
  EXPECT_EQ(FileIO::g_dlg.filters[0].exts, std::vector<std::string>{"prg"});
  EXPECT_EQ(FileIO::g_dlg.filters[1].name, "All files");
  EXPECT_TRUE(FileIO::g_dlg.filters[1].exts.empty());
  confirm("demo.prg");
  EXPECT_EQ(line(app, 2), "$0010 BYTES READ FROM $2000 TO $2010");
  EXPECT_TRUE(std::equal(want.begin() + 2, want.end(), app.machine.ram.begin() + 0x2000));
}

}  // namespace
