// What App gives the monitor: the drives of devices 8-11, the jump to the
// processor, closing its window, and host loads and saves through the one
// file dialog, finished the way the dialog finishes them in a frame.
#include "app/App.h"
#include "platform/FileDialog.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
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
  for (int device = 5; device <= 13; ++device) {
    DiskDrive* d = app.monitor.getDrive(device);
    EXPECT_EQ(d, device >= 8 && device <= 11 ? &app.drives[device - 8] : nullptr) << device;
  }
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
  struct Case {
    const char* row;
    const char* proposed;
  };
  const Case cases[] = {{".S\"@:DEMO\",6,C000,C010", "demo.prg"}, {".S\"@:\",6,C000,C010", "@:.prg"},
                        {".S\"PIC 1\",6,C000,C010", "pic 1.prg"}};
  for (const Case& c : cases) {
    run(app, c.row);
    EXPECT_TRUE(FileIO::g_dlg.saveMode);
    EXPECT_EQ(FileIO::g_dlg.title, "Monitor save");
    EXPECT_STREQ(FileIO::g_dlg.nameBuf, c.proposed);
  }
  run(app, ".S\"@:DEMO\",6,C000,C010");
  confirm("demo.prg");
  EXPECT_EQ(line(app, 2), "$0010 BYTES SAVED");
  std::ifstream f(dir_ / "demo.prg", std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  ASSERT_EQ(file.size(), 18u);
  EXPECT_EQ(file[0], 0x00);
  EXPECT_EQ(file[1], 0xC0);
  EXPECT_EQ(std::memcmp(file.data() + 2, app.machine.ram.data() + 0xC000, 16), 0);

  run(app, ".L\"DEMO\",6,2000");
  EXPECT_EQ(FileIO::g_dlg.title, "Monitor load: DEMO");
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 2u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "PRG-Files (*.prg)");
  EXPECT_EQ(FileIO::g_dlg.filters[0].exts, std::vector<std::string>{"prg"});
  EXPECT_EQ(FileIO::g_dlg.filters[1].name, "All files");
  EXPECT_TRUE(FileIO::g_dlg.filters[1].exts.empty());
  confirm("demo.prg");
  EXPECT_EQ(line(app, 2), "$0010 BYTES READ FROM $2000 TO $2010");
  EXPECT_EQ(std::memcmp(app.machine.ram.data() + 0x2000, file.data() + 2, 16), 0);
}

}  // namespace
