// The monitor console: screen editing, the command rows, listings that run
// one line per frame, scrolling through listings with the cursor keys, and
// loading and saving PRG data through the drives or the host callbacks.
#include "cpu/Monitor.h"

#include "core/FileFormats.h"
#include "core/TextInput.h"
#include "cpu/AsmText.h"
#include "disk/DiskDrive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kLastCol = kMonitorCols - 1;
constexpr int kLastRow = kMonitorRows - 1;
constexpr int kAddrDigits = 4;
constexpr int kByteDigits = 2;
constexpr int kCommandColumn = 1;  // the command letter follows the "."
constexpr int kArgsColumn = 2;
// Byte fields of an edited row end where its listing line puts other
// text: the characters of a memory line, the instruction of a
// disassembly line. Reading past them would take letters such as the
// "DE" of DEX for bytes.
constexpr int kMemBytesEnd = kLineDataColumn + kMemLineBytes * 3;  // column 31
constexpr int kDisBytesEnd = kLineDataColumn + 10;                 // column 17
constexpr int kMaxDevice = 255;

const char kBanner[] = "TILVOX MONITOR - ? FOR HELP\n.";
const char kHelp[] =
    "TILVOX - MONITOR HELP\n\n"
    "A1111 CMD ADR   ASSEMBLE\n"
    "C1111 2222 3333 COPY START END TO\n"
    "F1111 2222 33   FILL START END VALUE\n"
    "M1111 2222      DUMP MEMORY FROM (TO)\n"
    "J1111 2222      DUMP AS TEXT FROM (TO)\n"
    "D1111 2222      DISASSEMBLE FROM (TO)\n"
    "L\"NAME\",8,1111,2222 LOAD (FROM TO)\n"
    "S\"NAME\",8,1111,2222 SAVE FROM TO\n"
    "  DEVICE 6 = PC FILE, 8-11 = DISKS\n"
    "G1111           EXECUTE FROM\n"
    "X               EXIT\n"
    ".";
const char kNotPresent[] = "\nDEVICE NOT PRESENT ERROR\n.";

std::string format(const char* fmt, int a, int b = 0, int c = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// A field of 1 to 4 hex digits and nothing else; -1 otherwise.
int hexField(const std::string& field) {
  if (field.empty() || field.size() > kAddrDigits) return -1;
  int v = 0;
  for (char c : field) {
    int d = hexDigitValue(c);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// A device number: decimal digits only, read with a bound so that a long
// digit string can neither overflow nor pass as a small number.
int deviceField(const std::string& field) {
  if (field.empty()) return -1;
  int v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    if (v > kMaxDevice) return -1;
  }
  return v;
}

}  // namespace

Monitor::Monitor(Machine& m, CPU6502& c) : machine(&m), cpu(&c), screen(m.monitorScreen.data()) {
  clear();
  print(kBanner);
}

void Monitor::clear() {
  std::memset(screen, kMonitorBlank, kMonitorScreenSize);
  col = 0;
  row = 0;
}

// ---- Screen editing ---------------------------------------------------------

void Monitor::scrollUp() {
  std::memmove(screen, screen + kMonitorCols, kMonitorCols * kLastRow);
  blankRow(kLastRow);
}

void Monitor::scrollDown() {
  std::memmove(screen + kMonitorCols, screen, kMonitorCols * kLastRow);
  blankRow(0);
}

void Monitor::blankRow(int r) { std::memset(screen + r * kMonitorCols, kMonitorBlank, kMonitorCols); }

void Monitor::pushRow() {
  for (int c = kLastCol; c > col; --c) cell(c, row) = cell(c - 1, row);
  cell(col, row) = kMonitorBlank;
}

void Monitor::backRow() {
  for (int c = col; c < kLastCol; ++c) cell(c, row) = cell(c + 1, row);
  cell(kLastCol, row) = kMonitorBlank;
}

void Monitor::newLine() {
  col = 0;
  if (row < kLastRow)
    ++row;
  else
    scrollUp();
}

void Monitor::advance() {
  if (++col <= kLastCol) return;
  newLine();
}

void Monitor::typeChar(uint8_t code) {
  if (listing) {
    listing = false;
    return;
  }
  cell(col, row) = code;
  advance();
}

void Monitor::editKey(EditKey key, bool shift) {
  if (listing) {
    listing = false;
    return;
  }
  switch (key) {
    case EditKey::Insert: pushRow(); break;
    case EditKey::Delete: backRow(); break;
    case EditKey::Backspace:
      if (col == 0) {
        col = kLastCol;
        if (row > 0) --row;
      } else {
        --col;
        backRow();
      }
      break;
    case EditKey::Up:
      if (row > 0)
        --row;
      else
        smartUp();
      break;
    case EditKey::Down:
      if (row < kLastRow)
        ++row;
      else
        smartDown();
      break;
    case EditKey::Left: col = col > 0 ? col - 1 : kLastCol; break;
    case EditKey::Right: advance(); break;
    case EditKey::Return: enter(); break;
    case EditKey::Home:
      if (shift) clear();
      col = 0;
      row = 0;
      break;
    default: break;
  }
}

void Monitor::enter() {
  if (!executeRow()) newLine();
}

// ---- Printing ----------------------------------------------------------------

// A printed new line only moves the cursor, as the C64's screen editor
// does: text after what is printed stays, so a prompt printed over the next
// listed row keeps that row's bytes and Return walks down a listing.
void Monitor::putChar(char c) {
  if (c == '\n') {
    newLine();
    return;
  }
  uint8_t code = static_cast<uint8_t>(c);
  if (c >= 'A' && c <= 'Z') code = static_cast<uint8_t>(c - 'A' + 1);
  else if (c >= 'a' && c <= 'z') code = static_cast<uint8_t>(c - 'a' + 1);
  else if (c == '@') code = 0;
  cell(col, row) = code;
  advance();
}

void Monitor::print(const std::string& text) {
  for (char c : text) putChar(c);
}

std::string Monitor::rowText(int r) const {
  std::string text(kMonitorCols, '~');
  if (r < 0 || r > kLastRow) return text;
  for (int c = 0; c < kMonitorCols; ++c) {
    const int v = screen[r * kMonitorCols + c] & 0x7F;
    if (v == 0) text[c] = '@';
    else if (v <= 26) text[c] = static_cast<char>('A' + v - 1);
    else if (v >= 32 && v <= 63) text[c] = static_cast<char>(v);
  }
  return text;
}

void Monitor::fail() { print("?\n."); }

void Monitor::changed() {
  if (onChanged) onChanged();
}

// A row that would leave memory as it is records nothing: no undo step, no
// change notice.
bool Monitor::store(int address, const std::vector<uint8_t>& bytes) {
  auto& ram = machine->ram;
  const auto at = [address](size_t i) { return (static_cast<size_t>(address) + i) & 0xFFFF; };
  size_t i = 0;
  while (i < bytes.size() && ram[at(i)] == bytes[i]) ++i;
  if (i == bytes.size()) return false;
  const auto write = [&] {
    for (size_t k = 0; k < bytes.size(); ++k) ram[at(k)] = bytes[k];
  };
  if (onWrite)
    onWrite(address, static_cast<int>(bytes.size()), write);
  else
    write();
  changed();
  return true;
}

// ---- Listings ----------------------------------------------------------------

void Monitor::writeLine(int kind) {
  blankRow(row);
  col = 0;
  const auto& ram = machine->ram;
  switch (kind) {
    case kLineDisassembly: {
      uint16_t a = static_cast<uint16_t>(addr);
      print(".>" + cpu->disassemble(a));
      addr = a;
      break;
    }
    case kLineMemory: {
      print(format(".:%04X ", addr));
      for (int i = 0; i < kMemLineBytes; ++i) print(format("%02X ", ram[(addr + i) & 0xFFFF]));
      for (int i = 0; i < kMemLineBytes; ++i) cell(kMemBytesEnd + i, row) = ram[(addr + i) & 0xFFFF];
      addr = (addr + kMemLineBytes) & 0xFFFF;
      break;
    }
    case kLineText: {
      print(format(".,%04X ", addr));
      for (int i = 0; i < kTextLineBytes; ++i) cell(kLineDataColumn + i, row) = ram[(addr + i) & 0xFFFF];
      addr = (addr + kTextLineBytes) & 0xFFFF;
      break;
    }
    default: return;
  }
  col = kLineDataColumn;
  lastKind = kind;
}

void Monitor::listLine(int kind) {
  newLine();
  writeLine(kind);
}

void Monitor::disLine() { listLine(kLineDisassembly); }
void Monitor::memLine() { listLine(kLineMemory); }
void Monitor::asciiLine() { listLine(kLineText); }

// A listing includes every line that starts at or below its end address,
// the line starting exactly there too; it stops early when the address
// wraps past $FFFF.
bool Monitor::startListing(int kind, const std::string& text) {
  size_t pos = kArgsColumn;
  const int start = getHex(kAddrDigits, text, pos);
  if (start < 0) return false;
  int end = -1;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos < text.size() && text[pos] == '-')
    end = 0xFFFF;
  else
    end = getHex(kAddrDigits, text, pos);
  addr = start;
  topAddr = start;
  endAddr = end;
  listLine(kind);
  listing = end >= 0 && addr >= start && addr <= end;
  return true;
}

void Monitor::tick() {
  if (!listing) return;
  const int before = addr;
  listLine(lastKind);
  if (addr < before || addr > endAddr) listing = false;
}

int Monitor::rowAddress(int r, int kind) const {
  const std::string text = rowText(r);
  const bool marked = (kind == kLineMemory && text.compare(0, 2, ".:") == 0) ||
                      (kind == kLineText && text.compare(0, 2, ".,") == 0) ||
                      (kind == kLineDisassembly && (text.compare(0, 2, ".A") == 0 || text.compare(0, 2, ".>") == 0));
  if (!marked) return -1;
  size_t pos = kArgsColumn;
  return getHex(kAddrDigits, text, pos);
}

void Monitor::smartUp() {
  listing = false;
  endAddr = -1;
  scrollDown();
  if (lastKind == kLineNone) return;
  const int top = rowAddress(1, lastKind);  // the old top row, moved down
  if (top >= 0) topAddr = top;
  int previous = 0;
  switch (lastKind) {
    case kLineMemory: previous = topAddr - kMemLineBytes; break;
    case kLineText: previous = topAddr - kTextLineBytes; break;
    default: previous = cpu->backStep(static_cast<uint16_t>(topAddr)); break;
  }
  previous &= 0xFFFF;
  // Printing at the top must not move where a listing goes on downward.
  const int next = addr;
  addr = previous;
  row = 0;
  writeLine(lastKind);
  addr = next;
  topAddr = previous;
}

void Monitor::smartDown() {
  listing = false;
  endAddr = -1;
  if (lastKind == kLineNone) {
    scrollUp();
    return;
  }
  const int bottom = rowAddress(kLastRow, lastKind);
  if (bottom >= 0) {
    switch (lastKind) {
      case kLineMemory: addr = bottom + kMemLineBytes; break;
      case kLineText: addr = bottom + kTextLineBytes; break;
      default:
        addr = bottom + CPU6502::instrLength(CPU6502::ops[machine->ram[bottom]].mode);
        break;
    }
    addr &= 0xFFFF;
  }
  listLine(lastKind);
}

// ---- Commands ----------------------------------------------------------------

int Monitor::getHex(int maxDigits, const std::string& text, size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  int value = -1;
  for (int n = 0; n < maxDigits && pos < text.size(); ++n, ++pos) {
    const int d = hexDigitValue(text[pos]);
    if (d < 0) break;
    value = (value < 0 ? 0 : value * 16) + d;
  }
  return value;
}

bool Monitor::executeRow() {
  listing = false;
  const std::string text = rowText(row);
  if (text[0] != '.') {
    fail();
    return true;
  }
  const char command = text[kCommandColumn];
  switch (command) {
    case ' ': print("\n."); return true;
    case ',':
    case ':':
    case '>': return editRow(command, text);
    case '?':
      clear();
      print(kHelp);
      return true;
    case 'A': return assembleRow(text);
    case 'C':
    case 'F': return copyOrFill(command, text);
    case 'D': return startListing(kLineDisassembly, text);
    case 'M': return startListing(kLineMemory, text);
    case 'J': return startListing(kLineText, text);
    case 'G': {
      size_t pos = kArgsColumn;
      const int a = getHex(kAddrDigits, text, pos);
      if (a < 0) return false;
      if (onGo) onGo(static_cast<uint16_t>(a));
      print("\n.");
      return true;
    }
    case 'L': loadCmd(text); return true;
    case 'S': saveCmd(text); return true;
    case 'X':
      if (onExit) onExit();
      return false;
    default: fail(); return true;
  }
}

// ".," ".:" and ".>" rows write what they show back to memory, print the
// row again as a listing line and prompt for the line after it.
bool Monitor::editRow(char command, const std::string& text) {
  size_t pos = kArgsColumn;
  const int start = getHex(kAddrDigits, text, pos);
  if (start < 0) {
    fail();
    return false;
  }
  std::vector<uint8_t> bytes;
  int kind = kLineText;
  const char* prompt = "\n.,%04X ";
  if (command == ',') {
    for (int i = 0; i < kTextLineBytes; ++i) bytes.push_back(cell(kLineDataColumn + i, row));
  } else {
    const bool memory = command == ':';
    kind = memory ? kLineMemory : kLineDisassembly;
    prompt = memory ? "\n.:%04X " : "\n.>%04X ";
    const std::string bytesPart = text.substr(0, memory ? kMemBytesEnd : kDisBytesEnd);
    const size_t maxBytes = memory ? kMemLineBytes : kMaxInstrLength;
    while (bytes.size() < maxBytes) {
      const int b = getHex(kByteDigits, bytesPart, pos);
      if (b < 0) break;
      bytes.push_back(static_cast<uint8_t>(b));
    }
    if (bytes.empty()) {
      print("\n.");
      return true;
    }
  }
  store(start, bytes);
  addr = start;
  writeLine(kind);
  print(format(prompt, addr));
  return true;
}

bool Monitor::assembleRow(const std::string& text) {
  size_t pos = kArgsColumn;
  const int at = getHex(kAddrDigits, text, pos);
  if (at < 0) return false;
  uint8_t code[kMaxInstrLength];
  const int length = CPU6502::encode(static_cast<uint16_t>(at), text.substr(pos), code);
  if (length == 0) {
    fail();
    return true;
  }
  store(at, std::vector<uint8_t>(code, code + length));
  uint16_t next = static_cast<uint16_t>(at);
  const std::string line = cpu->disassemble(next);
  blankRow(row);
  col = 0;
  print(".A" + line);
  print(format("\n.A%04X ", next));
  col = kLineDataColumn;
  lastKind = kLineDisassembly;
  addr = next;
  return true;
}

bool Monitor::copyOrFill(char command, const std::string& text) {
  size_t pos = kArgsColumn;
  const int start = getHex(kAddrDigits, text, pos);
  const int end = getHex(kAddrDigits, text, pos);
  const int third = getHex(command == 'C' ? kAddrDigits : kByteDigits, text, pos);
  if (start < 0 || end < 0 || third < 0 || start > end) return false;
  const auto& ram = machine->ram;
  int count = end - start;
  if (command == 'F') {
    store(start, std::vector<uint8_t>(static_cast<size_t>(count), static_cast<uint8_t>(third)));
    print(format("\n%04X BYTES FILLED\n.", count));
  } else {
    // Clipped at $FFFF: the count shown is what was really copied. The
    // source is read whole before anything is written, so overlapping
    // ranges copy correctly.
    count = std::min(count, kRamSize - third);
    store(third, std::vector<uint8_t>(ram.begin() + start, ram.begin() + start + count));
    print(format("\n%04X BYTES COPIED\n.", count));
  }
  return true;
}

// ---- Loading and saving --------------------------------------------------------

bool Monitor::parseFileCmd(const std::string& text, FileCmd& cmd) {
  size_t pos = kArgsColumn;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size() || text[pos] != '"') return false;
  const size_t close = text.find('"', pos + 1);
  if (close == std::string::npos) return false;
  cmd.name = text.substr(pos + 1, close - pos - 1);
  pos = close + 1;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size() || text[pos] != ',') return false;
  std::vector<std::string> fields;
  const std::string rest = text.substr(pos + 1);
  size_t from = 0;
  while (true) {
    const size_t comma = rest.find(',', from);
    fields.push_back(trimmed(rest.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (fields.size() > 3) return false;
  cmd.device = deviceField(fields[0]);
  if (cmd.device < 1) return false;
  cmd.from = cmd.to = -1;
  int* targets[] = {&cmd.from, &cmd.to};
  for (size_t i = 1; i < fields.size(); ++i) {
    if (fields[i].empty()) continue;
    *targets[i - 1] = hexField(fields[i]);
    if (*targets[i - 1] < 0) return false;
  }
  return true;
}

DiskDrive* Monitor::drive(int device) {
  if (!getDrive) return nullptr;
  DiskDrive* d = getDrive(device);
  return d && d->mode != DriveMode::None ? d : nullptr;
}

void Monitor::driveError(const DiskDrive& d) { print("\nERROR: " + toUpperAscii(d.error) + "\n."); }

void Monitor::loadCmd(const std::string& text) {
  FileCmd cmd;
  if (!parseFileCmd(text, cmd)) {
    fail();
    return;
  }
  if (cmd.device == kHostDevice) {
    if (!hostLoad) {
      print(kNotPresent);
      return;
    }
    loadFrom = cmd.from;
    loadTo = cmd.to;
    print("\nSEARCHING FOR " + cmd.name);
    hostLoad(cmd.name);
    return;
  }
  DiskDrive* d = drive(cmd.device);
  if (!d) {
    print(kNotPresent);
    return;
  }
  std::vector<unsigned char> bytes;
  if (d->readFile(cmd.name, bytes))
    finishLoad(bytes, cmd.from, cmd.to);
  else
    driveError(*d);
}

void Monitor::saveCmd(const std::string& text) {
  FileCmd cmd;
  if (!parseFileCmd(text, cmd) || cmd.from < 0 || cmd.to <= cmd.from) {
    fail();
    return;
  }
  const std::vector<uint8_t> prg = FileFormats::savePrg(*machine, cmd.from, cmd.to - cmd.from);
  if (cmd.device == kHostDevice) {
    if (!hostSave) {
      print(kNotPresent);
      return;
    }
    print("\nSAVING " + cmd.name);
    hostSave(cmd.name, prg);
    return;
  }
  DiskDrive* d = drive(cmd.device);
  if (!d) {
    print(kNotPresent);
    return;
  }
  if (d->writeFile(cmd.name, prg))
    print(format("\n$%04X BYTES SAVED FROM $%04X TO $%04X\n.", cmd.to - cmd.from, cmd.from, cmd.to));
  else
    driveError(*d);
}

void Monitor::finishLoad(const std::vector<uint8_t>& prg, int from, int to) {
  if (prg.size() < 2) {
    print("\nFILE ERROR\n.");
    return;
  }
  const long long dataLength = static_cast<long long>(prg.size()) - 2;
  const long long start = from >= 0 ? from : prg[0] | (prg[1] << 8);
  long long count = dataLength;
  if (to >= 0 && dataLength > to - start) count = to - start;
  count = std::max(count, 0LL);
  count = std::min(count, kRamSize - start);
  store(static_cast<int>(start), std::vector<uint8_t>(prg.begin() + 2, prg.begin() + 2 + count));
  print(format("\n$%04X BYTES READ FROM $%04X TO $%04X\n.", static_cast<int>(count), static_cast<int>(start),
               static_cast<int>(start + count)));
}

void Monitor::hostLoadDone(const std::vector<uint8_t>* prg) {
  if (prg)
    finishLoad(*prg, loadFrom, loadTo);
  else
    print("\nFILE NOT FOUND ERROR\n.");
  loadFrom = loadTo = -1;
}

void Monitor::hostSaveDone(bool ok, int count) {
  print(ok ? format("\n$%04X BYTES SAVED\n.", count) : std::string("\nFILE ERROR\n."));
}

// ---- Input from the window -------------------------------------------------------

int Monitor::typedCode(uint32_t codepoint) {
  if (codepoint >= 'a' && codepoint <= 'z') return static_cast<int>(codepoint - 'a' + 1);
  if (codepoint >= 'A' && codepoint <= 'Z') return static_cast<int>(codepoint - 'A' + 1);
  return CharToScreenCode(codepoint);
}

bool Monitor::cellAt(float x, float y, float scale, int& column, int& r) {
  if (!(scale > 0)) return false;
  // Floor, not truncation: a point just left of or above the image lies in
  // the margin, not in column or row 0.
  const float c = std::floor(x / scale / 8);
  const float rr = std::floor(y / scale / 8);
  if (c < 0 || c > kLastCol || rr < 0 || rr > kLastRow) return false;
  column = static_cast<int>(c);
  r = static_cast<int>(rr);
  return true;
}
