// What App gives the monitor: the drives of devices 8-11, the jump to the
// processor, closing its window, host loads and saves through the one
// file dialog, finished the way the dialog finishes them in a frame, and
// one undo step for every row that changes memory.
#include "app/App.h"
#include "platform/FileDialog.h"

#include "tests/app/AppTestUtil.h"
#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <array>
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
  void undo(App& app) { app.change(UndoStep::none(), [&app] { app.undo.MakeUndo(); }); }
  void redo(App& app) { app.change(UndoStep::none(), [&app] { app.undo.MakeRedo(); }); }
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

TEST_F(AppMonitorTest, EveryRowThatChangesMemoryIsOneUndoStep) {
  App app;
  std::filesystem::create_directories(dir_ / "disk");
  disktest::writeBytes((dir_ / "disk" / "DATA.prg").string(), disktest::makePrg(0x2000, 300, 1));
  std::vector<unsigned char> same = {0x00, 0x30};
  same.resize(18, 0x55);  // what memory holds already
  disktest::writeBytes((dir_ / "disk" / "SAME.prg").string(), same);
  disktest::writeBytes((dir_ / "host.prg").string(), disktest::makePrg(0x0400, 40, 2));
  ASSERT_TRUE(app.drives[0].mountDirectory((dir_ / "disk").string()));
  const struct {
    const char* row;
    bool step;
    const char* hostFile = nullptr;  // confirmed in the load dialog
  } cases[] = {
      {".F 0 FFFF FF", true},        {".F 1000 C0100 EA", true},  // C010, then a field 0
      {".C C000 C100 1000", true},   {".C 1000 1100 FF80", true},          {".A FFFF LDA $1234", true},
      {".L\"DATA\",8", true},        {".L\"HOST\",6", true, "host.prg"},   {".:C000 01 02 03", true},
      {".:FFFC 1 2 3 4 5 6 7 8", true},  // wraps to $0000
      {".>C000 A9 01", true},        {".,C000 HELLO", true},
      // Rows that change nothing.
      {".M C000", false},            {".D C000", false},                   {".J C000", false},
      {".?", false},                 {".G C000", false},                   {".S\"OUT\",8,C000,C010", false},
      {".F C001 C000 00", false},    {".A C000 XYZ", false},               {".F 3000 3100 55", false},
      {".C 3000 3080 3040", false},  {".:3000 55 55", false},              {".L\"SAME\",8", false},
      {".L\"HOST\",6,,0300", false, "host.prg"},  // nothing below its end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    for (int i = 0; i < kRamSize; ++i) app.machine.ram[i] = static_cast<uint8_t>(i * 7 + (i >> 8) * 5 + 3);
    std::fill(app.machine.ram.begin() + 0x3000, app.machine.ram.begin() + 0x3100, 0x55);
    app.undo.Clear();
    const auto before = app.machine.ram;
    const auto regs = app.machine.vicRegs;
    run(app, c.row);
    if (c.hostFile) confirm(c.hostFile);
    const auto after = app.machine.ram;
    ASSERT_EQ(app.undo.undoItems.size(), c.step ? 1u : 0u);
    EXPECT_EQ(after != before, c.step);
    if (!c.step) continue;
    EXPECT_EQ(app.undo.undoItems.back().description, "monitor");
    undo(app);
    EXPECT_EQ(app.machine.ram, before);
    EXPECT_EQ(app.machine.vicRegs, regs);
    redo(app);
    EXPECT_EQ(app.machine.ram, after);
  }
}

// Undo walks back over the monitor's rows and the screen edit before them
// one at a time, and redo forward again; none takes a later one with it.
TEST_F(AppMonitorTest, UndoAndRedoWalkThroughScreenAndMonitorSteps) {
  App app;
  std::vector<std::array<uint8_t, kRamSize>> states = {app.machine.ram};
  app.editor.tool = kToolText;
  app.change(UndoStep::byEngine(), [&app] { app.editor.typeChar(1); });
  states.push_back(app.machine.ram);
  for (const char* row : {".F 0400 0500 41", ".C 0400 0500 0480"}) {  // the fill over the typed letter
    run(app, row);
    states.push_back(app.machine.ram);
  }
  ASSERT_EQ(app.undo.undoItems.size(), 3u);
  for (int i = 2; i >= 0; --i) {
    undo(app);
    EXPECT_EQ(app.machine.ram, states[i]) << "undo to " << i;
  }
  for (int i = 1; i <= 3; ++i) {
    redo(app);
    EXPECT_EQ(app.machine.ram, states[i]) << "redo to " << i;
  }
}

}  // namespace
