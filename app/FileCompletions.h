// What the file actions do once the file dialog has delivered a file or a
// path: load bytes into the document with the right undo step, build the
// bytes of a save, word the message the user sees. Plain functions on a
// Machine and an UndoBuffer, free of any window, so the dialogs' completions
// (app/FileActions.cpp) stay thin and every rule here runs headless.
#pragma once

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/UndoBuffer.h"
#include "disk/DiskDrive.h"
#include "platform/FileDialog.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Actions {

// What an action shows with App::message.
struct Message {
  std::string title;
  std::string text;
  bool operator==(const Message&) const = default;
};
using Outcome = std::optional<Message>;  // nullopt = nothing to show

// The filter that ends the list of every open action: every file.
extern const FileIO::Filter allFiles;

constexpr int kMessageBufSize = 128;      // formatted action messages
constexpr int kDropMessageBufSize = 160;  // the dropped PRG's message, name included
constexpr int kAddressSpaceEnd = 0x10000;
constexpr int kBankSize = 16384;
constexpr int kBlocksPerBank = 256;
constexpr int kMatrixBlockSize = 1024;    // video matrix and the 24 bytes after it
constexpr int kColorRamSize = 1024;       // $D800-$DBFF

// The viewer program the executable export starts with, and where its
// colour immediates and its hires/multicolour switch sit (file offsets,
// load address included).
constexpr const char* kViewerAsset = "bmpview.prg";
constexpr size_t kViewerMinSize = 70;
constexpr size_t kViewerBorderOffset = 23;
constexpr size_t kViewerBg0Offset = 28;
constexpr size_t kViewerBg1Offset = 33;
constexpr size_t kViewerBg2Offset = 38;
constexpr size_t kViewerMulticolorOffset = 69;

// Dialog filter lists (each ends with allFiles).
std::vector<FileIO::Filter> projectFilters();
std::vector<FileIO::Filter> prgFilters();
std::vector<FileIO::Filter> koalaFilters();
std::vector<FileIO::Filter> rawFilters();
// One row's filter, or with a negative format "All image formats" followed
// by every row's own filter.
std::vector<FileIO::Filter> imageFormatFilters(int format);
std::vector<FileIO::Filter> spriteFilters();
std::vector<FileIO::Filter> charsetFilters();

// Project file: no undo step. nullopt when it loaded (the caller then runs
// App::afterLoad); otherwise the error, with the document unchanged.
Outcome completeLoadProject(Machine& m, const std::vector<uint8_t>& bytes);

// PRG to its load address, after the undo step "load memory".
Message completeLoadMemory(Machine& m, UndoBuffer& undo, const std::vector<uint8_t>& bytes);

// The report after a memory area was written: the end is exclusive and
// clipped to $10000.
Message saveAreaMessage(int start, int length);

// The row a picture load uses: the given one, or with a negative format
// the row of the path's extension (-1 when there is none).
int imageFormatFor(int format, const std::string& path);

// Loads a picture file by format row (negative: the row of the path's
// extension) after the undo step "load image"; the Koala and RAW menu
// entries pass their rows.
Outcome completeLoadImage(Machine& m, UndoBuffer& undo, int format, const std::string& path,
                          const std::vector<uint8_t>& bytes);

// Sprite files: a PRG goes to its address and makes its first block
// current when it lies in the current bank; any other file is copied raw
// to the current sprite's block.
Message completeLoadSprites(Machine& m, UndoBuffer& undo, int& currentSprite, const std::string& path,
                            const std::vector<uint8_t>& bytes);

// Character sets: a PRG or 64c file goes to its address; any other file
// is copied raw into the current character set (refused while the video
// chip sees the ROM font).
bool charsetLoadRefused(const Machine& m, const std::string& path);
Outcome completeLoadCharset(Machine& m, UndoBuffer& undo, const std::string& path,
                            const std::vector<uint8_t>& bytes);

// Sprite blocks first..last (each taken mod 256) of the current bank.
struct SpriteRange {
  int start = 0;
  int length = 0;  // bytes; 0 or less = nothing to save
};
SpriteRange spriteRange(const Machine& m, int first, int last);

// Memory [start, start + length) cut to end by $10000.
std::vector<uint8_t> memoryBytes(const Machine& m, int start, int length);

// The 320x200 screen as a PNG, rows top to bottom, four channels.
std::vector<uint8_t> encodeScreenPng(const Machine& m, const Palette& pal);
// PNG encoder output callback: appends to the std::vector<uint8_t> given as context.
void pngWrite(void* context, void* data, int size);

// Why the executable export cannot start (viewer missing or too short, a
// text mode); nullopt when it can.
Outcome executableRefusal(const Machine& m, bool viewerRead, const std::vector<uint8_t>& viewer);
// The viewer patched from the registers, then bitmap, screen and colour memory.
std::vector<uint8_t> buildExecutable(const Machine& m, const std::vector<uint8_t>& viewer);

// What a dropped file becomes, decided by its lower-case extension and size;
// the first matching rule wins.
enum class DropAction {
  MountDisk,        // "d64"
  ImportPicture,    // png, jpg, jpeg, bmp, gif, tga, psd
  Project,          // "tpr"
  AssemblerSource,  // asm, a65, src, s
  PictureFormat,    // the extension of a C64 picture format
  Prg,              // "prg", or any other file of at least 3 bytes
  Unknown,
};
constexpr const char* kDiskImageExtension = "d64";
constexpr const char* kProjectExtension = "tpr";
constexpr size_t kDropPrgMinSize = 3;
DropAction dropAction(const std::string& ext, size_t size);

// The drive a dropped D64 mounts on: the first of the drives (devices 8
// upward) with nothing mounted, else the first. An index into `drives`.
int dropDrive(const DiskDrive* drives, int count);

// A dropped picture file loaded by its extension's row (undo "load image").
Outcome completeDropPicture(Machine& m, UndoBuffer& undo, const std::string& name,
                            const std::vector<uint8_t>& bytes);
// A dropped PRG (undo "load memory").
Message completeDropPrg(Machine& m, UndoBuffer& undo, const std::string& name,
                        const std::vector<uint8_t>& bytes);

}  // namespace Actions
