// The monitor console driven as the user drives it (typed screen codes,
// editing keys, Return) and read back row by row: commands, listings,
// screen editing, and loads and saves compared byte for byte on a D64
// (written by cc1541 where installed), a host directory and the host.
#include "cpu/Monitor.h"

#include "disk/DiskDrive.h"
#include "../disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace disktest;

std::string rstrip(std::string s) { return s.erase(s.find_last_not_of(' ') + 1); }

class MonitorTest : public ::testing::Test {
protected:
  Machine m;
  CPU6502 cpu{m};
  Monitor mon{m, cpu};
  DiskDrive drives[2];  // devices 8 and 9
  TempDir dir;

  MonitorTest() {
    mon.getDrive = [this](int d) { return d == 8 || d == 9 ? &drives[d - 8] : nullptr; };
    mon.clear();
  }
  void type(const std::string& text) {  // as the Monitor window maps keys
    for (char c : text)
      if (const int code = Monitor::typedCode(static_cast<unsigned char>(c)); code >= 0)
        mon.typeChar(static_cast<uint8_t>(code));
  }
  void run(const std::string& row) {
    type(row);
    mon.enter();
  }
  std::string line(int r) const { return rstrip(mon.rowText(r)); }
  std::string head(int r, size_t n) const { return line(r).substr(0, n); }
  std::vector<std::string> rows(int from, int count) const {
    std::vector<std::string> v;
    for (int r = from; r < from + count; ++r) v.push_back(line(r));
    return v;
  }
  void finishListing() {
    for (int i = 0; i < 100000 && mon.listing; ++i) mon.tick();
  }
  void key(EditKey k, int times = 1) {
    for (int i = 0; i < times; ++i) mon.editKey(k, false);
  }
};

TEST_F(MonitorTest, CommandsPrintTheirMessagesAndPlaceTheCursor) {
  const char* const kQ = "?";  // printed after the typed row
  const struct {
    const char* row;
    const char* mark;
    std::vector<const char*> below;  // rows 1, 2, ... after the command
    int cursorRow, cursorCol;
  } cases[] = {
      {"X", kQ, {"."}, 1, 1}, {".Q", kQ, {"."}, 1, 1}, {". ", "", {"."}, 1, 1},
      {".:", kQ, {"."}, 2, 0}, {".,", kQ, {"."}, 2, 0}, {".>", kQ, {"."}, 2, 0},  // then the caller's new line
      {".M", "", {""}, 1, 0}, {".D", "", {""}, 1, 0}, {".J", "", {""}, 1, 0},
      {".A", "", {""}, 1, 0}, {".G", "", {""}, 1, 0},
      {".F C000 C010", "", {""}, 1, 0}, {".F C001 C000 00", "", {""}, 1, 0},
      {".F C000 C000 00", "", {"0000 BYTES FILLED", "."}, 2, 1},
      {".F C000 C010 AA", "", {"0010 BYTES FILLED", "."}, 2, 1},
      {".C C000 C010", "", {""}, 1, 0},
      {".C C000 C100 FFF0", "", {"0010 BYTES COPIED", "."}, 2, 1},  // clipped at $FFFF
      {".C C000 C100 1000", "", {"0100 BYTES COPIED", "."}, 2, 1},
      {".G C123", "", {"."}, 1, 1},
      {".L\"X\",8", "", {"DEVICE NOT PRESENT ERROR", "."}, 2, 1},
      {".L\"X\",10", "", {"DEVICE NOT PRESENT ERROR", "."}, 2, 1},
      {".L\"X\",6", "", {"DEVICE NOT PRESENT ERROR", "."}, 2, 1},
      {".S\"X\",6,C000,C001", "", {"DEVICE NOT PRESENT ERROR", "."}, 2, 1},
      {".L\"X\"", kQ, {"."}, 1, 1}, {".L\"X\",", kQ, {"."}, 1, 1}, {".L\"X,8", kQ, {"."}, 1, 1},
      {".L\"X\",0", kQ, {"."}, 1, 1}, {".L\"X\",8X", kQ, {"."}, 1, 1},
      {".L\"X\",99999999999999999999999999", kQ, {"."}, 1, 1}, {".L\"X\",8,C00000", kQ, {"."}, 1, 1},
      {".L\"X\",8,ZZ", kQ, {"."}, 1, 1}, {".L\"X\",8,1,2,3", kQ, {"."}, 1, 1},
      {".S\"X\",8,C000", kQ, {"."}, 1, 1}, {".S\"X\",8,C010,C000", kQ, {"."}, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    mon.clear();
    int go = -1;
    mon.onGo = [&go](uint16_t a) { go = a; };
    run(c.row);
    EXPECT_EQ(line(0), rstrip(std::string(c.row) + c.mark));
    EXPECT_EQ(rows(1, int(c.below.size())), std::vector<std::string>(c.below.begin(), c.below.end()));
    EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(c.cursorRow, c.cursorCol));
    EXPECT_FALSE(mon.listing);
    EXPECT_EQ(go, std::string(c.row) == ".G C123" ? 0xC123 : -1);
  }
  EXPECT_EQ((std::array<int, 4>{m.ram[0xC000], m.ram[0xC00F], m.ram[0xC010], m.ram[0xFFF0]}),
            (std::array<int, 4>{0xAA, 0xAA, 0x00, 0xAA}));  // $FFF0 copied from $C000
}

TEST_F(MonitorTest, HelpClearsTheScreenAndEndsWithAPrompt) {
  run(".?");
  EXPECT_EQ(line(0), "TILVOX - MONITOR HELP");
  EXPECT_EQ(line(8), "L\"NAME\",8,1111,2222 LOAD (FROM TO)");
  EXPECT_EQ(rows(12, 2), (std::vector<std::string>{"X               EXIT", "."}));
  EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(13, 1));
}

TEST_F(MonitorTest, ListingsStopAtTheirEndOrWhenTheAddressWraps) {
  std::iota(m.ram.begin() + 0xC000, m.ram.begin() + 0xC008, 0x81);
  run(".M C000");
  // The bytes stand unconverted as screen codes: $81-$88 are reverse A-H.
  EXPECT_EQ(line(1), ".:C000 81 82 83 84 85 86 87 88 ABCDEFGH");
  EXPECT_EQ(mon.screen[40 + 31], 0x81);
  EXPECT_EQ(mon.col, 7);
  EXPECT_FALSE(mon.listing);

  std::fill(m.ram.begin() + 0xFFF0, m.ram.end(), 0xEA);
  const struct {
    const char *row, *firstLine, *lastLine;
    int lines;
  } cases[] = {
      {".M C000 C010", ".:C000", ".:C010", 3},  // the line starting at the end is listed
      {".M C000 C00F", ".:C000", ".:C008", 2}, {".M C000 C008", ".:C000", ".:C008", 2},
      {".J C000 C000", ".,C000", ".,C000", 1}, {".J FFC0-", ".,FFC0", ".,FFE0", 2},
      {".D FFF0-", ".>FFF0 EA        NOP", ".>FFFF EA        NOP", 16},
      {".M 0000 0100", ".:0000", ".:0100", 33},  // scrolls the screen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    mon.clear();
    run(c.row);
    finishListing();
    const int last = std::min(c.lines, 24), first = last - c.lines + 1;
    EXPECT_EQ(mon.row, last);
    EXPECT_EQ(head(last, strlen(c.lastLine)), c.lastLine);
    if (first >= 1) {
      EXPECT_EQ(head(first, strlen(c.firstLine)), c.firstLine);
      EXPECT_EQ(line(first + c.lines), "");
    }
  }
}

TEST_F(MonitorTest, AnyKeyStopsARunningListingAndIsIgnored) {
  for (int k = 0; k < 2; ++k) {
    mon.clear();
    run(".M 0000 FFFF");
    mon.tick();
    ASSERT_TRUE(mon.listing);
    const auto before = m.monitorScreen;
    const auto cursor = std::make_pair(mon.row, mon.col);
    k == 0 ? type("A") : key(EditKey::Return);
    EXPECT_FALSE(mon.listing);
    EXPECT_EQ(std::make_pair(mon.row, mon.col), cursor);
    mon.tick();
    EXPECT_EQ(m.monitorScreen, before);
  }
}

TEST_F(MonitorTest, ScreenEditingKeys) {
  key(EditKey::Backspace);  // at 0,0: to column 39 of row 0, nothing deleted
  EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(0, 39));
  key(EditKey::Home);
  type("ABCD");
  key(EditKey::Left, 3);
  key(EditKey::Insert);
  EXPECT_EQ(line(0), "A BCD");
  key(EditKey::Delete, 2);
  EXPECT_EQ(line(0), "ACD");
  key(EditKey::Right);
  key(EditKey::Backspace);
  EXPECT_EQ(line(0), "AD");
  key(EditKey::Left, 2);  // wraps inside the row
  EXPECT_EQ(mon.col, 39);
  key(EditKey::Right);  // past column 39: the next row
  EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(1, 0));
  mon.editKey(EditKey::Home, true);
  EXPECT_EQ(line(0), "");
  type(std::string(kMonitorScreenSize + 1, 'B'));  // typing past the bottom scrolls
  EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(24, 1));
  EXPECT_EQ(line(24), "B");
  EXPECT_EQ(line(23), std::string(40, 'B'));
}

TEST_F(MonitorTest, EditedRowsWriteMemoryAndPromptForTheNextLine) {
  run(".:C000 01 02 03");
  EXPECT_EQ(head(0, 30), ".:C000 01 02 03 00 00 00 00 00");
  EXPECT_EQ(line(1), ".:C008");
  EXPECT_EQ(mon.col, 7);
  EXPECT_EQ(m.ram[0xC002], 3);

  // A listed DEX row run again reads only the byte columns, not "DE".
  m.ram[0xC010] = 0xCA;
  mon.clear();
  run(".D C010");
  key(EditKey::Return);
  EXPECT_EQ(rows(1, 2), (std::vector<std::string>{".>C010 CA        DEX", ".>C011"}));
  EXPECT_EQ(m.ram[0xC011], 0x00);

  // The prompt overwrites the next listed row, whose bytes stay, so
  // Return walks down a listing.
  m.ram[0xC00A] = 0x5A;
  mon.clear();
  run(".M C000 C008");
  finishListing();
  key(EditKey::Up);
  key(EditKey::Return);
  EXPECT_EQ(head(2, 16), ".:C008 00 00 5A ");
  EXPECT_EQ(std::make_pair(mon.row, mon.col), std::make_pair(2, 7));
  key(EditKey::Return);
  EXPECT_EQ(m.ram[0xC00A], 0x5A);
  EXPECT_EQ(head(3, 7), ".:C010");

  mon.clear();
  run(".J C100");  // text row: the codes of columns 7-38 become the bytes
  run("HI");
  EXPECT_EQ(std::make_pair(m.ram[0xC100], m.ram[0xC101]), std::make_pair(uint8_t{8}, uint8_t{9}));
  EXPECT_EQ(line(2), ".,C120");

  mon.clear();
  run(".A C000 LDA #$01");
  run("sta $d020");
  run("XYZ");
  EXPECT_EQ(rows(0, 3), (std::vector<std::string>{".AC000 A9 01     LDA #$01", ".AC002 8D 20 D0  STA $D020",
                                                  ".AC005 XYZ?"}));
  EXPECT_TRUE(std::equal(m.ram.begin() + 0xC000, m.ram.begin() + 0xC005,
                         std::array<uint8_t, 5>{0xA9, 0x01, 0x8D, 0x20, 0xD0}.begin()));
}

TEST_F(MonitorTest, CursorKeysScrollListingsAtTheEdges) {
  run(".M C000");
  key(EditKey::Up, 2);  // to row 0; at row 0 the screen scrolls back a line
  EXPECT_EQ(head(0, 6), ".:BFF8");
  EXPECT_EQ(line(1), ".M C000");
  key(EditKey::Up);
  EXPECT_EQ(head(0, 6), ".:BFF0");
  key(EditKey::Down, 24);  // to row 24; one more reads the bottom row
  EXPECT_EQ(head(3, 6), ".:C000");
  key(EditKey::Down);
  EXPECT_EQ(head(24, 6), ".:C008");  // blank bottom row: goes on at the next address
  key(EditKey::Down);
  EXPECT_EQ(head(24, 6), ".:C010");
  EXPECT_EQ(head(23, 6), ".:C008");

  const uint8_t code[] = {0xA9, 0x00, 0xEA, 0x4C, 0x00, 0xC0};  // LDA #$00 / NOP / JMP $C000
  std::copy(std::begin(code), std::end(code), m.ram.begin() + 0xC000);
  mon.clear();
  run(".D C003");
  key(EditKey::Up, 2);
  EXPECT_EQ(line(0), ".>C002 EA        NOP");
  key(EditKey::Up);
  EXPECT_EQ(line(0), ".>C000 A9 00     LDA #$00");
  key(EditKey::Down, 25);
  EXPECT_EQ(head(24, 6), ".>C006");
}

TEST_F(MonitorTest, LoadsAndSavesOnAnImageAndADirectoryByteForByte) {
  const std::string image = dir.file("disk.d64");
  writeBytes(image, DiskDrive::blankD64("work", "01"));
  const std::vector<unsigned char> peer = makePrg(0x2000, 700, 7);
  std::string out;
  if (haveCc1541()) {
    writeBytes(dir.file("peer.prg"), peer);
    ASSERT_EQ(disktest::run(commandLine({"cc1541", "-q", "-f", "peer", "-w", dir.file("peer.prg"), image}), out), 0) << out;
  }
  ASSERT_TRUE(drives[0].mountD64(image));
  fs::create_directories(dir.path() / "host");
  ASSERT_TRUE(drives[1].mountDirectory(dir.file("host")));
  for (int i = 0; i < 0x300; ++i) m.ram[0xC000 + i] = static_cast<uint8_t>(i * 7 + 3);
  std::vector<unsigned char> saved = {0x00, 0xC0};
  saved.insert(saved.end(), m.ram.begin() + 0xC000, m.ram.begin() + 0xC300);

  for (int device : {8, 9}) {
    SCOPED_TRACE(device);
    mon.clear();
    const std::string dev = std::to_string(device);
    run(".S\"DATA\"," + dev + ",C000,C300");
    EXPECT_EQ(line(1), "$0300 BYTES SAVED FROM $C000 TO $C300");
    std::vector<unsigned char> back;
    ASSERT_TRUE(drives[device - 8].readFile("DATA", back));
    EXPECT_EQ(back, saved);
    std::fill(m.ram.begin() + 0xC000, m.ram.begin() + 0xC300, 0);
    run("L\"DATA\"," + dev);  // typed after the prompt
    EXPECT_EQ(line(3), "$0300 BYTES READ FROM $C000 TO $C300");
    EXPECT_TRUE(std::equal(saved.begin() + 2, saved.end(), m.ram.begin() + 0xC000));
    run("L\"DATA\"," + dev + ",1000,1010");
    EXPECT_EQ(line(5), "$0010 BYTES READ FROM $1000 TO $1010");
    EXPECT_TRUE(std::equal(saved.begin() + 2, saved.begin() + 18, m.ram.begin() + 0x1000));
    EXPECT_EQ(m.ram[0x1010], 0);
    run("L\"NONE\"," + dev);
    EXPECT_EQ(line(7), "ERROR: FILE NOT FOUND");
  }
  EXPECT_EQ(readBytes(dir.file("host/DATA.prg")), saved);
  run("S\"DATA\",9,C000,C001");
  EXPECT_EQ(line(9), "ERROR: FILE ALREADY EXISTS");

  if (haveCc1541()) {
    mon.clear();
    run(".L\"PEER\",8");
    EXPECT_EQ(line(1), "$02BC BYTES READ FROM $2000 TO $22BC");
    EXPECT_TRUE(std::equal(peer.begin() + 2, peer.end(), m.ram.begin() + 0x2000));
    drives[0].unmount();
    EXPECT_EQ(disktest::run(commandLine({"cc1541", "-V", image}), out), 0) << out;  // still a valid disk
  }
  writeBytes(dir.file("host/ONE.prg"), {0x01});
  drives[1].rescanDirectory();
  mon.clear();
  run(".L\"ONE\",9");
  EXPECT_EQ(line(1), "ERROR: CANNOT READ FILE");
}

TEST_F(MonitorTest, HostTransfersFinishThroughTheirCompletions) {
  std::string asked;
  std::vector<uint8_t> answer;
  mon.hostLoad = [&](const std::string& name) {
    asked = name;
    mon.hostLoadDone(name == "GONE" ? nullptr : &answer);
  };
  const struct {
    const char *row, *name;
    std::vector<uint8_t> file;
    const char* result;
  } cases[] = {
      {".L\"one\",6", "ONE", {0x01}, "FILE ERROR"},
      {".L\"TOP\",6", "TOP", {0xFC, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}, "$0004 BYTES READ FROM $FFFC TO $10000"},
      {".L\"AT\",6,0400", "AT", {0x00, 0xC0, 9, 8, 7}, "$0003 BYTES READ FROM $0400 TO $0403"},
      {".L\"CUT\",6,,0401", "CUT", {0x00, 0x04, 9, 8, 7}, "$0001 BYTES READ FROM $0400 TO $0401"},
      {".L\"LOW\",6,,0300", "LOW", {0x00, 0x04, 9, 8, 7}, "$0000 BYTES READ FROM $0400 TO $0400"},
      {".L\"GONE\",6", "GONE", {}, "FILE NOT FOUND ERROR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    mon.clear();
    answer = c.file;
    run(c.row);
    EXPECT_EQ(asked, c.name);
    EXPECT_EQ(rows(1, 3), (std::vector<std::string>{std::string("SEARCHING FOR ") + c.name, c.result, "."}));
    EXPECT_EQ(mon.loadFrom, -1);
  }
  EXPECT_EQ((std::array<int, 3>{m.ram[0xFFFF], m.ram[0x0400], m.ram[0x0401]}), (std::array<int, 3>{4, 9, 8}));

  std::vector<uint8_t> handed;
  mon.hostSave = [&](const std::string& name, const std::vector<uint8_t>& prg) {
    asked = name;
    handed = prg;
    mon.hostSaveDone(true, static_cast<int>(prg.size()) - 2);
  };
  mon.clear();
  run(".S\"@:OUT\",6,FFFC,FFFF");
  EXPECT_EQ(asked, "@:OUT");
  EXPECT_EQ(handed, (std::vector<uint8_t>{0xFC, 0xFF, 1, 2, 3}));
  EXPECT_EQ(rows(1, 2), (std::vector<std::string>{"SAVING @:OUT", "$0003 BYTES SAVED"}));
}

TEST(MonitorInput, TypedCharactersAndClicksAsTheWindowMapsThem) {
  const std::pair<uint32_t, int> chars[] = {{'a', 1}, {'A', 1}, {'z', 26}, {'@', 0}, {'$', 36}, {'\t', -1}};
  for (auto [ch, code] : chars) EXPECT_EQ(Monitor::typedCode(ch), code) << ch;
  const struct {
    float x, y, scale;
    int column, row;  // -1: outside
  } clicks[] = {{0, 0, 2, 0, 0},       {15.9f, 16, 2, 0, 1},  {639.9f, 399.9f, 2, 39, 24}, {-0.5f, 10, 2, -1, -1},
                {10, -0.5f, 2, -1, -1}, {640, 10, 2, -1, -1}, {10, 400, 2, -1, -1},        {10, 10, 0, -1, -1}};
  for (const auto& c : clicks) {
    int column = -1, row = -1;
    EXPECT_EQ(Monitor::cellAt(c.x, c.y, c.scale, column, row), c.column >= 0) << c.x << "," << c.y;
    if (c.column >= 0) {
      EXPECT_EQ(std::make_pair(column, row), std::make_pair(c.column, c.row));
    }
  }
}

}  // namespace
