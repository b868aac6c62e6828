// The "Import PC image" window: a PNG, JPEG, BMP, GIF, TGA or PSD picture
// becomes a hires bitmap, a multicolour bitmap or a PETSCII text screen.
// The state lives in `g_pic` for the whole process because the menu, the
// dropped-file action and the self-test reach it from outside the window;
// the conversion itself is app/ConvertRules. A picture is decoded on a
// worker thread while the window shows "Reading picture..."; "OK" stores
// the result as one undo step "import image".
#pragma once

#include "app/ConvertRules.h"
#include "app/Texture.h"

#include <cstdint>
#include <string>
#include <vector>

class App;

// The import state and the textures of its two previews.
struct ImportPicState : ImportPicture {
  Texture sourceTexture;
  Texture resultTexture;
  // The window was opened for the running read: a failed or cancelled
  // read closes it again.
  bool closeAfterRead = false;
};

extern ImportPicState g_pic;

constexpr const char* kImportUndoLabel = "import image";

// Starts decoding the bytes into g_pic in the background and shows the
// window, which reads "Reading picture..." until the decode ends. A file
// whose header already refuses it (not one of the six formats, over the
// pixel limit) gives only the message "Couldn't read the image: ..." and
// changes nothing.
void openImportPicture(App& app, const std::string& path, const std::vector<uint8_t>& bytes);
// Takes an ended decode: the picture into g_pic, or the message with the
// reason, after which a window opened only for the read closes again. The
// window calls it every frame it is open.
void pollImportPicture(App& app);
// Drops the running decode; a window opened only for it closes again.
void cancelImportRead(App& app);
// Offers the file dialog for a picture.
void pickPicture(App& app);
// Sets the mode and asks for a new conversion, pressing "OK" by itself once
// it is done when autoOk is set. Opens nothing; waits for a picture still
// being decoded, so that the next drawn frame takes it (the self-test's
// steps stay in step with its frames).
void importPictureForTest(int mode, bool autoOk);
void drawImportPicture(App& app);

// What "OK" does: stores the last conversion as one undo step, shows the
// document in the palette it was converted with and closes the window.
// Nothing without a picture.
void acceptImportPicture(App& app);
// Closes the window and drops a running decode; picture, options and
// previews stay.
void closeImportPicture(App& app);
