// The editing state on one document and the operations that change it from
// the screen editor: mouse tools (text cursor, brush dots and strokes,
// rubber-band lines, circles, ellipses and boxes, flood fill, colour pick,
// cell selection), typing with insert and delete, the one-cell and block
// clipboards with the movable paste preview, block transforms and clearing
// the screen. All drawing goes through the editor's PixelOperator in the
// pixel grid of the current graphics mode; every change first takes its
// step in the UndoBuffer. The shapes and the flood-fill search come from
// Shapes, the block operations from CellBlock; the Editor decides when and
// where they apply. The application holds one Editor; the screen window,
// menus and tool palette call it.
#pragma once

#include "core/CellBlock.h"
#include "core/Machine.h"
#include "core/MemoryLayout.h"
#include "core/PixelOps.h"
#include "core/Shapes.h"
#include "core/UndoBuffer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Tools of the tool palette (a plain int in Editor::tool).
enum EditorTool : int {
  kToolText = 1,
  kToolDot = 2,
  kToolDraw = 3,
  kToolLine = 4,
  kToolCircle = 5,
  kToolBox = 6,
  kToolFill = 7,
  kToolMove = 8,  // panning, handled by the screen window alone
  kToolSelect = 9,
};

// Keys of text editing; the monitor console takes the same values. Named
// EditKey::Up and so on; the short names stay inside their own namespace so
// that None, Delete, ... never clash with other globals.
namespace edit_keys {
enum EditKey : int {
  None = 0,
  Insert = 1,
  Delete = 2,
  Backspace = 3,
  Up = 4,
  Down = 5,
  Left = 6,
  Right = 7,
  Return = 8,
  Home = 9,
};
}  // namespace edit_keys
using edit_keys::EditKey;

// Choices of the Clear dialog, in its order; any other value clears to
// the background.
enum ClearMode : int {
  kClearBackground = 0,
  kClearZero = 1,
  kClearFF = 2,
  kClearValue = 3,
};

// Mouse buttons as the screen window passes them: 0 draws, 2 picks a
// colour, any other value erases or cancels.
constexpr int kButtonDraw = 0;
constexpr int kButtonPick = 2;


class Editor {
public:
  // A rectangle of character cells in row order, left to right.
  using Block = CellBlock;

  struct CharClip {
    std::array<uint8_t, kBitmapCellBytes> bitmap{};
    uint8_t code = kSpaceCode;
    uint8_t color = 0;
  };

  Machine& machine;
  UndoBuffer& undo;
  PixelOperator pix;
  int tool = kToolText;
  int brush = 1;
  int cursorX = 0;
  int cursorY = 6;
  bool insertMode = false;
  bool undoPending = true;   // the next typed change first takes an undo step
  bool dragging = false;     // a drawing, shape or selection drag is under way
  bool erasing = false;      // the current drag clears pixels
  bool fillShapes = false;
  bool shapeModifier = false;  // Shift: box becomes square, circle ellipse
  bool selActive = false;
  int selX0 = 0;  // anchor cell of the selection
  int selY0 = 0;
  int selX1 = 0;  // moving corner cell
  int selY1 = 0;
  Block clipBlock;
  bool pasting = false;
  int pasteX = 0;  // top-left cell of the paste preview, may lie off screen
  int pasteY = 0;
  bool picking = false;  // the pressed button picks colours; drags do nothing
  int lastX = -1;        // previous freehand point in mode pixels; -1 = none
  int lastY = -1;
  int startX = 0;  // display pixel where a shape drag began
  int startY = 0;
  // The image under a rubber-band shape or paste preview, saved at its start.
  std::vector<uint8_t> savedBitmap;  // 8000 bytes, empty in text modes
  std::vector<uint8_t> savedScreen;  // 1000 video-matrix bytes
  std::vector<uint8_t> savedColor;   // 1000 colour-memory bytes
  CharClip charClip;

  Editor(Machine& machine, UndoBuffer& undo);

  // Mouse input in display pixels (values outside 320x200 are clamped or
  // ignored); buttons as kButtonDraw / kButtonPick / other.
  void mouseDown(int x, int y, int button);
  void mouseMove(int x, int y);
  void mouseUp(int x, int y, int button);
  void pickColor(int x, int y);
  bool takePixelWarning();

  void selectAll();
  void selRect(int& left, int& top, int& right, int& bottom) const;
  // The four colours of the cell under (x, y), -1 where the mode has none.
  void cellColors(int x, int y, int out[4]) const;
  void setCellColor(int slot, int x, int y, int colour);

  // Ends a paste preview or rubber-band shape (restoring the image it
  // covered) and any drag in progress. Every operation here that changes the
  // document calls it first; the user interface calls it before any other
  // change of the document (undo, redo, loads, register changes), because
  // the saved image belongs to the memory layout of the moment it was taken.
  void cancelPreview();

  // Typing and keys.
  void typeChar(uint8_t code);
  void editKey(int key, bool shift);

  // One-cell clipboard at the text cursor.
  void copyChar();
  void pasteChar();

  // Block operations on the selection.
  void copyBlock();
  void cutBlock();
  void clearBlock();
  void invertBlock();
  void flipBlockX();
  void flipBlockY();
  bool startPaste();
  void cancelPaste();

  std::string clearDescription() const;
  void clearScreen(int mode, int value);

private:
  // Where the saved image was taken, so it is never written elsewhere.
  uint32_t savedScreenAddr_ = 0;
  uint32_t savedBitmapAddr_ = 0;
  // UndoBuffer::changeCount just after the step of the current drag or
  // paste, and after the last step taken by typing (at first, the count at
  // construction); a difference means the history changed behind the
  // editor's back.
  int dragStamp_ = 0;
  int textStamp_ = 0;

  void modePixel(int x, int y, int& px, int& py) const;
  void takeToolUndo();
  void takeTypingUndoIfNeeded();
  ShapePen pen();
  void drawShape(int x0, int y0, int x1, int y1);
  void floodFill(int x, int y);

  void saveImage();
  void restoreImage();
  void dropSavedImage();
  bool savedImageValid() const;
  void dropPaste();

  bool beginBlockChange(const char* label, int& l, int& t, int& r, int& b);
  void deleteAtCursor();
  void clampCursor();
};
