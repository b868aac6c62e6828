// The window-free half of the file actions: loads with their undo steps,
// the bytes of the saves and exports, the dropped-file rules and the
// messages, all worded here once.
#include "app/FileCompletions.h"

#include "core/FileFormats.h"
#include "core/Vic.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>

namespace Actions {

const FileIO::Filter allFiles{"All files", {}};

namespace {

constexpr const char* kLoadFailed = "Couldn't load the file!";
constexpr const char* kCharsetIsRom = "The current charset is ROM. Select a RAM charset bank first.";
constexpr int kPngChannels = 4;

// Dropped files of these types go to the PC picture import.
const char* const kImportImageExtensions[] = {"png", "jpg", "jpeg", "bmp", "gif", "tga", "psd"};
const char* const kSourceExtensions[] = {"asm", "a65", "src", "s"};

template <size_t N>
bool isOneOf(const std::string& ext, const char* const (&list)[N]) {
  return std::find(std::begin(list), std::end(list), ext) != std::end(list);
}

std::vector<FileIO::Filter> withAllFiles(std::vector<FileIO::Filter> list) {
  list.push_back(allFiles);
  return list;
}

// "$%04X bytes read from $%04X to $%04X" (end exclusive), the PRG report.
std::string bytesRead(int count, int address) {
  char buf[kMessageBufSize];
  std::snprintf(buf, sizeof buf, "$%04X bytes read from $%04X to $%04X", count, address, address + count);
  return buf;
}

// A PRG needs its two-byte load address; shorter files load nothing.
bool tooShortForPrg(const std::vector<uint8_t>& bytes) {
  return bytes.size() < static_cast<size_t>(FileFormats::kPrgAddressSize);
}

// Character sets in PRG form carry their own address.
bool isCharsetPrg(const std::string& path) {
  const std::string ext = FileIO::extension(path);
  return ext == "prg" || ext == "64c";
}

int wrapBlock(int block) { return ((block % kBlocksPerBank) + kBlocksPerBank) % kBlocksPerBank; }

}  // namespace

std::vector<FileIO::Filter> projectFilters() { return withAllFiles({{"Tilvox project (*.tpr)", {"tpr"}}}); }
std::vector<FileIO::Filter> prgFilters() { return withAllFiles({{"PRG-Files (*.prg)", {"prg"}}}); }
std::vector<FileIO::Filter> koalaFilters() { return withAllFiles({{"Koala image (*.koa)", {"koa"}}}); }
std::vector<FileIO::Filter> rawFilters() { return withAllFiles({{"RAW image (*.raw)", {"raw"}}}); }

std::vector<FileIO::Filter> imageFormatFilters(int format) {
  std::vector<FileIO::Filter> list;
  if (format >= 0) {
    list.push_back({FileFormats::name(format), FileFormats::extensions(format)});
    return withAllFiles(std::move(list));
  }
  FileIO::Filter every{"All image formats", {}};
  for (int i = 0; i < FileFormats::count(); ++i)
    for (const std::string& e : FileFormats::extensions(i)) every.exts.push_back(e);
  list.push_back(std::move(every));
  for (int i = 0; i < FileFormats::count(); ++i)
    list.push_back({FileFormats::name(i), FileFormats::extensions(i)});
  return withAllFiles(std::move(list));
}

std::vector<FileIO::Filter> spriteFilters() {
  return withAllFiles({{"Sprite files (*.prg;*.bin;*.spr;*.raw)", {"prg", "bin", "spr", "raw"}}});
}

std::vector<FileIO::Filter> charsetFilters() {
  return withAllFiles({{"Charsets (*.prg;*.bin;*.chr;*.64c;*.raw)", {"prg", "bin", "chr", "64c", "raw"}}});
}

Outcome completeLoadProject(Machine& m, const std::vector<uint8_t>& bytes) {
  std::string error;
  if (m.loadProject(bytes, error)) return std::nullopt;
  return Message{"Error", error};
}

Message completeLoadMemory(Machine& m, UndoBuffer& undo, const std::vector<uint8_t>& bytes) {
  undo.TakeUndo(UndoKind::All, "load memory");
  if (tooShortForPrg(bytes)) return {"Error", kLoadFailed};
  int address = 0;
  const int n = FileFormats::loadPrg(m, bytes, address);
  return {"Success!", bytesRead(n, address)};
}

Message saveAreaMessage(int start, int length) {
  int end = start + length;
  int count = length;
  if (end > kAddressSpaceEnd) {
    end = kAddressSpaceEnd;
    count = kAddressSpaceEnd - start;
  }
  char buf[kMessageBufSize];
  std::snprintf(buf, sizeof buf, "$%04X bytes saved from $%04X to $%04X", count, start, end);
  return {"Success!", buf};
}

int imageFormatFor(int format, const std::string& path) {
  return format >= 0 ? format : FileFormats::findByExtension(FileIO::extension(path));
}

Outcome completeLoadImage(Machine& m, UndoBuffer& undo, int format, const std::string& path,
                          const std::vector<uint8_t>& bytes) {
  format = imageFormatFor(format, path);
  if (format < 0) return Message{"Error", "Couldn't determine file format!"};
  undo.TakeUndo(UndoKind::All, "load image");
  if (!FileFormats::load(m, format, bytes)) return Message{"Error", kLoadFailed};
  return std::nullopt;
}

Message completeLoadSprites(Machine& m, UndoBuffer& undo, int& currentSprite, const std::string& path,
                            const std::vector<uint8_t>& bytes) {
  char buf[kMessageBufSize];
  if (FileIO::extension(path) == "prg") {
    undo.TakeUndo(UndoKind::All, "load sprites");
    if (tooShortForPrg(bytes)) return {"Error", kLoadFailed};
    int a = 0;
    const int n = FileFormats::loadPrg(m, bytes, a);
    const int base = m.bank * kBankSize;
    if (a < base || a > base + kBankSize - 1) {
      std::snprintf(buf, sizeof buf, "%s\n(outside the current VIC bank)", bytesRead(n, a).c_str());
      return {"Load sprites", buf};
    }
    const int first = (a - base) / kSpriteBlockSize;
    // The last byte's block; an empty file "ends" one byte before its start,
    // which at the bank's first byte truncates toward zero to block 0.
    const int last = ((a + n - 1 - base) / kSpriteBlockSize) & 0xFF;
    currentSprite = first;
    std::snprintf(buf, sizeof buf, "%s\n(sprite $%02X - $%02X)", bytesRead(n, a).c_str(), first, last);
    return {"Load sprites", buf};
  }
  const int target = (m.bank * kBlocksPerBank + wrapBlock(currentSprite)) * kSpriteBlockSize;
  const int room = std::max(0, kAddressSpaceEnd - target);
  const int n = static_cast<int>(std::min<size_t>(bytes.size(), static_cast<size_t>(room)));
  undo.TakeUndoRange(target, n, "load sprites");
  std::copy_n(bytes.begin(), n, m.ram.begin() + target);
  const int blocks = (n + kSpriteBlockSize - 1) / kSpriteBlockSize;
  const bool single = n >= 1 && n <= kSpriteBlockSize;
  std::snprintf(buf, sizeof buf, "%d sprite%s loaded to $%04X (sprite $%02X)", blocks, single ? "" : "s", target,
                currentSprite);
  return {"Load sprites", buf};
}

bool charsetLoadRefused(const Machine& m, const std::string& path) {
  return !isCharsetPrg(path) && m.charsetIsRom();
}

Outcome completeLoadCharset(Machine& m, UndoBuffer& undo, const std::string& path,
                            const std::vector<uint8_t>& bytes) {
  if (isCharsetPrg(path)) {
    undo.TakeUndo(UndoKind::All, "load charset");
    if (tooShortForPrg(bytes)) return Message{"Error", kLoadFailed};
    int a = 0;
    const int n = FileFormats::loadPrg(m, bytes, a);
    return Message{"Load charset", bytesRead(n, a)};
  }
  if (charsetLoadRefused(m, path)) return Message{"Load charset", kCharsetIsRom};
  undo.TakeUndo(UndoKind::Charset, "load charset");
  const size_t n = std::min<size_t>(bytes.size(), kCharsetSize);
  std::copy_n(bytes.begin(), n, m.ram.begin() + m.charsetAddr());
  return std::nullopt;
}

SpriteRange spriteRange(const Machine& m, int first, int last) {
  const int count = wrapBlock(last) - wrapBlock(first) + 1;
  return {(m.bank * kBlocksPerBank + wrapBlock(first)) * kSpriteBlockSize, count * kSpriteBlockSize};
}

std::vector<uint8_t> memoryBytes(const Machine& m, int start, int length) {
  start = std::clamp(start, 0, kAddressSpaceEnd);
  length = std::clamp(length, 0, kAddressSpaceEnd - start);
  return std::vector<uint8_t>(m.ram.begin() + start, m.ram.begin() + start + length);
}

void pngWrite(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> encodeScreenPng(const Machine& m, const Palette& pal) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kDisplayWidth) * kDisplayHeight, 0);
  Vic::renderScreen(m, pal, pixels.data(), kDisplayWidth);
  // Pixel words hold red in the low byte; spell the bytes out so the file
  // does not depend on the host's byte order.
  std::vector<uint8_t> rgba(pixels.size() * kPngChannels);
  for (size_t i = 0; i < pixels.size(); ++i)
    for (int c = 0; c < kPngChannels; ++c) rgba[i * kPngChannels + c] = static_cast<uint8_t>(pixels[i] >> (8 * c));
  std::vector<uint8_t> png;
  stbi_write_png_to_func(pngWrite, &png, kDisplayWidth, kDisplayHeight, kPngChannels, rgba.data(),
                         kDisplayWidth * kPngChannels);
  return png;
}

Outcome executableRefusal(const Machine& m, bool viewerRead, const std::vector<uint8_t>& viewer) {
  if (!viewerRead || viewer.size() < kViewerMinSize)
    return Message{"Error", "Tilvox is missing the file \"bmpview.prg\".\nOperation could not be completed."};
  if (!m.isBitmap()) return Message{"Sorry", "Text modes can not yet be saved as executables."};
  return std::nullopt;
}

std::vector<uint8_t> buildExecutable(const Machine& m, const std::vector<uint8_t>& viewer) {
  std::vector<uint8_t> out = viewer;
  if (out.size() >= kViewerMinSize) {
    out[kViewerBorderOffset] = m.vicRegs[kRegBorder];
    out[kViewerBg0Offset] = m.vicRegs[kRegBg0];
    out[kViewerBg1Offset] = m.vicRegs[kRegBg1];
    out[kViewerBg2Offset] = m.vicRegs[kRegBg2];
    if (!m.isMulticolor()) out[kViewerMulticolorOffset] = 0;
  }
  auto append = [&](uint32_t address, int length) {
    const auto from = m.ram.begin() + std::min<uint32_t>(address, kRamSize);
    out.insert(out.end(), from, from + std::min<int>(length, static_cast<int>(m.ram.end() - from)));
  };
  append(m.bitmapAddr(), kBitmapSlotSize);
  append(m.screenAddr(), kMatrixBlockSize);
  append(kColorRam, kColorRamSize);
  return out;
}

DropAction dropAction(const std::string& ext, size_t size) {
  if (ext == kDiskImageExtension) return DropAction::MountDisk;
  if (isOneOf(ext, kImportImageExtensions)) return DropAction::ImportPicture;
  if (ext == kProjectExtension) return DropAction::Project;
  if (isOneOf(ext, kSourceExtensions)) return DropAction::AssemblerSource;
  if (FileFormats::findByExtension(ext) >= 0) return DropAction::PictureFormat;
  if (ext == "prg" || size >= kDropPrgMinSize) return DropAction::Prg;
  return DropAction::Unknown;
}

int dropDrive(const DiskDrive* drives, int count) {
  for (int i = 0; i < count; ++i)
    if (drives[i].mode == DriveMode::None) return i;
  return 0;
}

Outcome completeDropPicture(Machine& m, UndoBuffer& undo, const std::string& name,
                            const std::vector<uint8_t>& bytes) {
  undo.TakeUndo(UndoKind::All, "load image");
  if (!FileFormats::load(m, FileFormats::findByExtension(FileIO::extension(name)), bytes))
    return Message{"Error", "Couldn't load " + name};
  return std::nullopt;
}

Message completeDropPrg(Machine& m, UndoBuffer& undo, const std::string& name, const std::vector<uint8_t>& bytes) {
  undo.TakeUndo(UndoKind::All, "load memory");
  if (tooShortForPrg(bytes)) return {"Error", kLoadFailed};
  int address = 0;
  const int n = FileFormats::loadPrg(m, bytes, address);
  char buf[kDropMessageBufSize];
  std::snprintf(buf, sizeof buf, "%s:\n%s", name.c_str(), bytesRead(n, address).c_str());
  return {"Success!", buf};
}

}  // namespace Actions
