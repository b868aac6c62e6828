// The picture-format table, picture loading, and the PRG, Koala and Doodle
// files read and written from the document.
#include "core/FileFormats.h"

#include "core/Ascii.h"

#include <algorithm>
#include <cstring>

namespace FileFormats {

namespace {

constexpr Chunk kEnd{End, 0, 0};

static_assert(kKoalaFileSize == kPrgAddressSize + kBitmapSize + 2 * kScreenCells + 1);
static_assert(kDoodleFileSize == kPrgAddressSize + kDoodleScreenBlock + kBitmapSize);

}  // namespace

// Chunk offsets count from the first byte after the load address.
// clang-format off
const std::array<Format, kFormatCount> formats = {{
    {"Koala Image", "koa;rpm;gig", "Multicolor bitmap\nKoala painter\n160x200 pixels\nAlso loads Run Paint and Gigapaint images", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8000, 1000}, {ColorRam, 9000, 1000}, {Background, 10000, 1}, kEnd, kEnd, kEnd}}},
    {"Hires-Bitmap", "hir;hbm;gih;fgs;mon;gcd;ish", "High resolution bitmap\n320x200 pixels\n2 colors", kModeHires, kKindChunk, 0, {{{Bitmap, 0, 8000}, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"Interpaint image", "iph;art", "High resolution bitmap\n320x200 pixels\nCan also load Art Studio images", kModeHires, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8000, 1000}, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"RAW 8 bit", "raw", "High resolution bitmap\n320x200 pixels\nOne pixel per 8 bits", kModeHires, kKindRaw, 8, {{kEnd, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"RAW 4 bit", "raw", "High resolution bitmap\n320x200 pixels\nOne pixel per 4 bits", kModeHires, kKindRaw, 4, {{kEnd, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"RAW 2 bit", "raw", "High resolution bitmap\n320x200 pixels\nOne pixel per 2 bits", kModeHires, kKindRaw, 2, {{kEnd, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"RAW 1 bit", "raw", "High resolution bitmap\n320x200 pixels\nOne pixel per bit", kModeHires, kKindRaw, 1, {{kEnd, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"Hi-Eddi", "hed", "High resolution bitmap\n320x200 pixels", kModeHires, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8192, 1000}, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"Doodle", "dd", "High resolution bitmap\n320x200 pixels", kModeHires, kKindChunk, 0, {{{Bitmap, 1024, 8000}, {Screen, 0, 1000}, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"Multicolor", "mbm", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, kEnd, kEnd, kEnd, kEnd, kEnd, kEnd}}},
    {"Paint Magick", "pmg", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 114, 8000}, {Screen, 8306, 1000}, {ColorFill, 8117, 1}, {Background, 8114, 1}, {Border, 8118, 1}, kEnd, kEnd}}},
    {"Picasso 64", "p64", "Low resolution bitmap\n160x200 pixels\nBG color not verified to work", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 2048, 8000}, {Screen, 1024, 1000}, {ColorRam, 0, 1000}, {Background, 2047, 1}, kEnd, kEnd, kEnd}}},
    {"Rainbow Painter", "rp", "Low resolution bitmap\n160x200 pixels\nBG color not verified to work", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 1024, 8000}, {Screen, 0, 1000}, {ColorRam, 9216, 1000}, {Background, 9215, 1}, kEnd, kEnd, kEnd}}},
    {"Advanced Art Studio", "ocp", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8000, 1000}, {ColorRam, 9016, 1000}, {Background, 9001, 1}, kEnd, kEnd, kEnd}}},
    {"Saracen Paint", "sar", "Low resolution bitmap\n160x200 pixels\nPossible load error !!!", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 1024, 8000}, {Screen, 0, 1000}, {ColorRam, 9216, 1000}, {Background, 1008, 1}, kEnd, kEnd, kEnd}}},
    {"Blazing Paddles", "pi", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8192, 1000}, {ColorRam, 9216, 1000}, {Background, 8064, 1}, kEnd, kEnd, kEnd}}},
    {"Micro Illustrator", "mil", "Low resolution bitmap\n160x200 pixels\nUncompressed format", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 2020, 8000}, {Screen, 20, 1000}, {ColorRam, 1020, 1000}, kEnd, kEnd, kEnd, kEnd}}},
    {"CDU-Paint", "cdu", "Low resolution bitmap\n160x200 pixels\nNot tested!!!", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 273, 8000}, {Screen, 8273, 1000}, {ColorRam, 9273, 1000}, {Background, 10273, 1}, kEnd, kEnd, kEnd}}},
    {"Artist 64", "a64", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8192, 1000}, {ColorRam, 9216, 1000}, {Background, 10239, 1}, kEnd, kEnd, kEnd}}},
    {"Vidcom 64", "vid;dol", "Low resolution bitmap\n160x200 pixels\nAlso loads Dolphin Ed images", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 2048, 8000}, {Screen, 1024, 1000}, {ColorRam, 0, 1000}, {Background, 2024, 1}, kEnd, kEnd, kEnd}}},
    {"Image System", "ism", "Low resolution bitmap\n160x200 pixels\nMulticolor", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 1024, 8000}, {Screen, 9216, 1000}, {ColorRam, 0, 1000}, {Background, 9215, 1}, kEnd, kEnd, kEnd}}},
    // Face Painter files are 10004 bytes: bitmap, screen, colour, then the
    // border and background bytes at $6710 and $6711.
    {"Face Printer", "fpt", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8000, 1000}, {ColorRam, 9000, 1000}, {Background, 10001, 1}, kEnd, kEnd, kEnd}}},
    {"Drazpaint", "drp", "Low resolution bitmap\n160x200 pixels\nUncompressed format", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 2048, 8000}, {Screen, 1024, 1000}, {ColorRam, 0, 1000}, {Background, 10048, 1}, kEnd, kEnd, kEnd}}},
    {"Cheese", "che", "Low resolution bitmap\n160x200 pixels", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 16896, 1000}, {ColorRam, 18432, 1000}, kEnd, kEnd, kEnd, kEnd}}},
    // Interpaint multicolour files are 10003 bytes, their background the
    // last byte at $6710; a byte after it, where a file has one, wins.
    {"Create with garfield", "cwg;ipt", "Low resolution bitmap\n160x200 pixels\nAlso loads Interpaint Multicolour images", kModeMultiBitmap, kKindChunk, 0, {{{Bitmap, 0, 8000}, {Screen, 8000, 1000}, {ColorRam, 9000, 1000}, {Background, 10000, 1}, {Background, 10001, 1}, kEnd, kEnd}}},
    {"Hires Laze", "hil", "High resolution bitmap\n320x200 pixels\nInterlaced\nNot tested!!!", kModeHires, kKindChunk, 0, {{{BitmapBank0, 0, 8000}, {ScreenBank0, 8000, 1000}, {BitmapBank1, 16384, 8000}, {ScreenBank1, 24576, 1000}, kEnd, kEnd, kEnd}}},
    {"Hires Interlace", "hlf", "High resolution bitmap\n320x200 pixels\nInterlaced\nNot tested!!!", kModeHires, kKindChunk, 0, {{{BitmapBank0, 0, 8000}, {ScreenBank0, 8000, 1000}, {BitmapBank1, 16384, 8000}, {ScreenBank1, 9216, 1000}, kEnd, kEnd, kEnd}}},
    {"Drazlace", "drl", "320/160x200 pixels\nInterlaced\nUncompressed format\nNot tested!!!", kModeMultiBitmap, kKindChunk, 0, {{{BitmapBank0, 2048, 8000}, {ScreenBank0, 1024, 1000}, {BitmapBank1, 10240, 8000}, {ColorRam, 0, 1000}, {Background, 10048, 1}, kEnd, kEnd}}},
    {"Truepaint", "mci", "320x200 pixels (?)\nInterlaced\nMulticolor\nNot tested!!!", kModeMultiBitmap, kKindChunk, 0, {{{BitmapBank0, 1024, 8000}, {ScreenBank0, 0, 1000}, {BitmapBank1, 9216, 8000}, {ScreenBank1, 17408, 1000}, {ColorRam, 18432, 1000}, {Background, 1000, 1}, kEnd}}},
}};
// clang-format on

namespace {

bool validIndex(int index) { return index >= 0 && index < kFormatCount; }

// Packed files that some programs write beside the plain layout their row
// describes begin, after the load address, with the packer's signature.
// Their bytes would land as noise, so such files are refused.
struct PackedSignature {
  int row;
  const char* text;
};
constexpr int kRowDrazlace = 27;
constexpr PackedSignature kPackedSignatures[] = {{kRowDrazlace, "DRAZLACE! 1.0"}};

bool isPacked(int index, const std::vector<uint8_t>& data) {
  for (const PackedSignature& p : kPackedSignatures) {
    const size_t n = std::strlen(p.text);
    if (p.row == index && data.size() >= kPrgAddressSize + n &&
        std::equal(p.text, p.text + n, data.begin() + kPrgAddressSize))
      return true;
  }
  return false;
}


// Copies up to `count` bytes to `addr`, never past the end of the 64 KB image.
void copyClipped(Machine& m, uint32_t addr, const uint8_t* src, int count) {
  if (addr >= static_cast<uint32_t>(kRamSize) || count <= 0) return;
  const int n = std::min(count, kRamSize - static_cast<int>(addr));
  std::copy_n(src, n, m.ram.begin() + addr);
}

// Packed pixels, first pixel of a byte in its top bits, rows of 320 pixels
// top to bottom; any non-zero pixel sets its bitmap bit.
void loadRaw(Machine& m, int bits, const std::vector<uint8_t>& data) {
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1u;
  const uint32_t base = m.bitmapAddr();
  for (int y = 0; y < kRawHeight; ++y) {
    for (int x = 0; x < kRawWidth; ++x) {
      const int i = y * kRawWidth + x;
      const size_t byteIndex = static_cast<size_t>(i / perByte);
      if (byteIndex >= data.size()) return;
      const uint32_t addr = base + (y / 8) * kRawWidth + (x / 8) * 8 + (y % 8);
      if (addr >= static_cast<uint32_t>(kRamSize)) return;
      const int shift = (perByte - 1 - i % perByte) * bits;
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      if ((data[byteIndex] >> shift) & mask)
        m.ram[addr] |= bit;
      else
        m.ram[addr] &= static_cast<uint8_t>(~bit);
    }
  }
}

void loadChunks(Machine& m, const Format& f, const std::vector<uint8_t>& data) {
  const int avail = static_cast<int>(data.size()) - kPrgAddressSize;
  const uint8_t d018 = m.vicRegs[kRegMemPtr];
  const uint32_t bitmapHalf = (d018 & 8) ? uint32_t{kBitmapSlotSize} : 0u;
  const uint32_t screenSlot = (d018 >> 4) * 1024u;
  constexpr uint32_t kBank1 = 0x4000;
  for (const Chunk& c : f.chunks) {
    if (c.type == End) break;
    if (c.offset < 0 || c.offset >= avail || c.type < 0 || c.type > kChunkTypeMax) continue;
    const uint8_t* src = data.data() + kPrgAddressSize + c.offset;
    const int count = std::min(c.length, avail - c.offset);
    switch (c.type) {
      case Bitmap: copyClipped(m, m.bitmapAddr(), src, count); break;
      case Screen: copyClipped(m, m.screenAddr(), src, count); break;
      case ColorRam: copyClipped(m, kColorRam, src, std::min(count, kColorRamLoadMax)); break;
      case ColorFill: std::fill_n(m.ram.begin() + kColorRam, kScreenCells, src[0]); break;
      case Background: m.vicRegs[kRegBg0] = src[0]; break;
      case Border: m.vicRegs[kRegBorder] = src[0]; break;
      case BitmapBank0: copyClipped(m, bitmapHalf, src, count); break;
      case ScreenBank0: copyClipped(m, screenSlot, src, count); break;
      case BitmapBank1: copyClipped(m, bitmapHalf + kBank1, src, count); break;
      case ScreenBank1: copyClipped(m, screenSlot + kBank1, src, count); break;
      default: break;
    }
  }
}

void putAddress(std::vector<uint8_t>& out, uint16_t address) {
  out.push_back(static_cast<uint8_t>(address & 0xFF));
  out.push_back(static_cast<uint8_t>(address >> 8));
}

void appendRam(std::vector<uint8_t>& out, const Machine& m, uint32_t addr, int count) {
  out.insert(out.end(), m.ram.begin() + addr, m.ram.begin() + addr + count);
}

}  // namespace

int count() { return kFormatCount; }

std::string name(int index) { return validIndex(index) ? formats[index].name : ""; }

std::string information(int index) { return validIndex(index) ? formats[index].information : ""; }

std::vector<std::string> extensions(int index) {
  std::vector<std::string> out;
  if (!validIndex(index)) return out;
  std::string piece;
  for (const char* p = formats[index].extensions;; ++p) {
    if (*p == ';' || *p == '\0') {
      if (!piece.empty()) out.push_back(piece);
      piece.clear();
      if (*p == '\0') break;
    } else {
      piece += *p;
    }
  }
  return out;
}

int findByExtension(const std::string& ext) {
  const std::string lower = toLowerAscii(ext);
  for (int i = 0; i < kFormatCount; ++i) {
    const std::vector<std::string> list = extensions(i);
    if (std::find(list.begin(), list.end(), lower) != list.end()) return i;
  }
  return -1;
}

bool load(Machine& m, int index, const std::vector<uint8_t>& data) {
  if (!validIndex(index) || data.empty() || isPacked(index, data)) return false;
  const Format& f = formats[index];
  // The mode comes first: in the bitmap modes it moves the bitmap to the
  // upper half of the bank, and every target below is derived afterwards.
  m.setGfxMode(f.gfxMode);
  if (f.kind == kKindRaw) {
    loadRaw(m, f.rawBits, data);
    return true;
  }
  if (data.size() < static_cast<size_t>(kPrgAddressSize) + 1) return false;
  loadChunks(m, f, data);
  return true;
}

int loadPrg(Machine& m, const std::vector<uint8_t>& data, int& loadAddress) {
  if (data.size() < static_cast<size_t>(kPrgAddressSize)) return 0;
  const int address = data[0] | (data[1] << 8);
  loadAddress = address;
  const size_t room = static_cast<size_t>(kRamSize - address);
  const int n = static_cast<int>(std::min(data.size() - kPrgAddressSize, room));
  std::copy_n(data.begin() + kPrgAddressSize, n, m.ram.begin() + address);
  return n;
}

std::vector<uint8_t> savePrg(const Machine& m, int start, int length) {
  start = std::clamp(start, 0, kRamSize - 1);
  length = std::clamp(length, 0, kRamSize - start);
  std::vector<uint8_t> out;
  out.reserve(kPrgAddressSize + length);
  putAddress(out, static_cast<uint16_t>(start));
  appendRam(out, m, static_cast<uint32_t>(start), length);
  return out;
}

std::vector<uint8_t> saveKoala(const Machine& m) {
  std::vector<uint8_t> out;
  out.reserve(kKoalaFileSize);
  putAddress(out, kKoalaLoadAddress);
  appendRam(out, m, m.bitmapAddr(), kBitmapSize);
  appendRam(out, m, m.screenAddr(), kScreenCells);
  appendRam(out, m, kColorRam, kScreenCells);
  out.push_back(m.vicRegs[kRegBg0]);
  return out;
}

std::vector<uint8_t> saveDoodle(const Machine& m) {
  std::vector<uint8_t> out;
  out.reserve(kDoodleFileSize);
  putAddress(out, kDoodleLoadAddress);
  // The whole 1 KB block of the video matrix, as Doodle keeps it, so the
  // bitmap follows at $2000 of the file's load range.
  appendRam(out, m, m.screenAddr(), kDoodleScreenBlock);
  appendRam(out, m, m.bitmapAddr(), kBitmapSize);
  return out;
}

}  // namespace FileFormats
