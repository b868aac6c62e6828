// The rules behind the picture import window and the bitmap-to-charset
// dialog, free of any window so that they are tested headless and fuzzed:
// reading and decoding a PC picture file (decoded by convert/PictureFile),
// the import state with its options, the conversion the window runs
// whenever an option changes, storing the result, and the texts and slot
// choice of the charset dialog.
// The windows (app/ImportWin.cpp, app/CharsetConvertWin.cpp) draw around
// these, run the read in the background (app/PictureJob) and change the
// document through App::change.
#pragma once

#include "app/DecodedPicture.h"
#include "convert/CharsetConverter.h"
#include "convert/ColorReducer.h"
#include "convert/ImportColors.h"
#include "convert/PetsciiConverter.h"
#include "convert/PictureFile.h"
#include "core/Machine.h"
#include "core/Palette.h"

#include <cstdint>
#include <string>
#include <vector>

// What a picture becomes (a plain int).
namespace ImportMode {
enum : int {
  Hires = 0,       // 320x200 hires bitmap
  Multicolor = 1,  // 160x200 multicolour bitmap
  Petscii = 2,     // 40x25 text screen
};
}  // namespace ImportMode

constexpr int kImportDetailDefault = 50;  // percent
constexpr int kImportDetailMax = 100;

// One preview of the window: pixels, width and height.
struct ImportPreview {
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
};

// What the picture was last resized for; outW 0 for nothing.
struct ImportResize {
  int outW = 0;
  bool zoomToFit = false;
  bool keepAspect = false;
  bool operator==(const ImportResize&) const = default;
};

// The picture import's state apart from the window's textures and its
// background read: the decoded picture, the options (kept between
// openings), the two engines and the two previews.
struct ImportPicture {
  std::vector<uint32_t> pixels;  // red lowest, alpha highest, rows top to bottom
  int width = 0;
  int height = 0;
  std::string name;
  int mode = ImportMode::Multicolor;
  PetsciiOptions petsciiOptions;
  int detail = kImportDetailDefault;   // percent 0-100
  int colors = ImportColors::Color;
  int dither = DitherMethod::FloydSteinberg;
  int paletteIndex = -1;  // -1: take the application's on the next draw
  int background = -1;    // -1 automatic, else colour 0-15
  bool keepAspect = false;
  bool zoomToFit = true;
  bool dirty = true;        // convert again in the next drawn frame
  bool pickerShown = false; // the file dialog was offered since the window opened
  bool autoOk = false;      // press OK by itself once the result is up to date
  ColorReducer colorReducer;
  PetsciiConverter petsciiConverter;
  ImportPreview sourcePreview;  // the picture resized into the frame
  ImportPreview resultPreview;
  ImportResize resizedFor;      // the picture and options of sourcePreview

  bool hasPicture() const { return !pixels.empty(); }
  // The background the last conversion used (PETSCII or multicolour).
  int usedBackground() const;
};

// Reads the picture file at `path` whole and decodes it: the picture, or
// the reason it cannot be read (the file's system error, a file too large
// to read, what the header refuses, the decoder's own reason). Slow for a
// large file: the window runs it in the background, never in a frame.
DecodedPicture ReadImportPicture(const std::string& path, int64_t maxPixels = kImportMaxPixels);
// The same for the bytes of a file already read.
DecodedPicture DecodeImportPicture(const std::vector<uint8_t>& bytes, int64_t maxPixels = kImportMaxPixels);

// Takes what a read gave: either the picture is in the state under `name`
// (shown in the window, a new conversion due) and the text returned is
// empty, or the text is the error to show ("Couldn't read the image: " and
// the reason) and the state is as it was.
std::string FinishImportPicture(ImportPicture& pic, const std::string& name, DecodedPicture& read);

// The palette a conversion uses: the preset `index`, whose "Custom" is the
// application's custom colours. The application's palette is not changed.
Palette ImportPalette(const Palette& appPalette, int index);

// Resizes the picture into the frame, converts it by the options and fills
// both previews; clears `dirty`. The resize is kept while the picture, the
// output width, "Zoom to fit" and "Keep aspect ratio" stay, so that other
// option changes redo only the steps after it. Does nothing (and returns
// false) without a picture. `m` gives the current character set for
// PETSCII matching.
bool ConvertImportPicture(ImportPicture& pic, const Machine& m, const Palette& appPalette);

// Pictures of up to this many pixels (2048 x 2048) are resized within the
// frame that asks for it, so that their previews never wait: a whole
// conversion with the resize of the slowest shapes of that size (half
// transparent, or four columns wide) takes under 8 ms here, so even a
// machine ten times slower keeps that frame under 100 ms. Larger pictures
// are resized in the background while the window keeps drawing.
constexpr int64_t kImportFrameResizePixels = 2048 * 2048;

// The resize the options ask for.
ImportResize WantedImportResize(const ImportPicture& pic);
// True when the next conversion would resize a picture larger than
// kImportFrameResizePixels: the window then has it resized in the
// background and installs the result before it converts.
bool ImportResizeTooLargeForFrame(const ImportPicture& pic);
// The w x h pixels resized for `r`, as a background job hands them back:
// r.outW x 200 pixels.
DecodedPicture ResizeImportPicture(const uint32_t* pixels, int w, int h, const ImportResize& r);
// Takes a resize made for `r` of the current picture as the one the next
// conversion uses, and true; false (and nothing changes) when it failed,
// has another size, or the options now ask for another resize.
bool InstallImportResize(ImportPicture& pic, const ImportResize& r, DecodedPicture& resized);

// Writes the last conversion into the document (bitmap or text screen).
void StoreImportPicture(const ImportPicture& pic, Machine& m);

// ---- Bitmap-to-charset dialog ----------------------------------------------

constexpr const char* kCharsetConvertLabel = "convert to charset";

// The first charset position 0-7 of the current bank that can take a
// character set, or 0 when none can.
int FirstUsableCharsetSlot(const Machine& m);
// "n: $XXXX-$XXXX" for position `slot`, and with the reason after "  - "
// when the position cannot take a character set.
std::string CharsetSlotPreview(const Machine& m, int slot);
std::string CharsetSlotRow(const Machine& m, int slot);
// The text shown after a successful conversion.
std::string CharsetDoneText(const CharsetConvertResult& r);
// The video-matrix line under the options.
std::string CharsetMatrixText(const Machine& m);
