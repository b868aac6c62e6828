// The "Import PC image" window: a PNG, JPEG, BMP, GIF, TGA or PSD picture
// becomes a hires bitmap, a multicolour bitmap or a PETSCII text screen.
// The state lives in `g_pic` for the whole process because the menu, the
// dropped-file action and the self-test reach it from outside the window;
// the conversion itself is app/ConvertRules. "OK" stores the result as one
// undo step "import image".
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
};

extern ImportPicState g_pic;

constexpr const char* kImportUndoLabel = "import image";

// Decodes the bytes into g_pic and shows the window; on failure only the
// message "Couldn't read the image: ..." and nothing else changes.
void openImportPicture(App& app, const std::string& path, const std::vector<uint8_t>& bytes);
// Offers the file dialog for a picture.
void pickPicture(App& app);
// Sets the mode and asks for a new conversion, pressing "OK" by itself once
// it is done when autoOk is set. Opens nothing.
void importPictureForTest(int mode, bool autoOk);
void drawImportPicture(App& app);

// What "OK" does: stores the last conversion as one undo step, shows the
// document in the palette it was converted with and closes the window.
// Nothing without a picture.
void acceptImportPicture(App& app);
// Closes the window; picture, options and previews stay.
void closeImportPicture(App& app);
