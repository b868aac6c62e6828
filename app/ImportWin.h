// The "Import PC image" window: a PNG, JPEG, BMP, GIF, TGA or PSD picture
// becomes a hires bitmap, a multicolour bitmap or a PETSCII text screen.
// The state lives in `g_pic` for the whole process because the menu, the
// dropped-file action and the self-test reach it from outside the window;
// the conversion itself is app/ConvertRules. A picture file is read and
// decoded in a child process (app/PictureJob) while the window shows
// "Reading picture..."; the frame only starts the read and polls it. A
// picture too large to resize within a frame is resized in a child process
// the same way, while the window shows the previous previews (or
// "Converting..." before the first); the steps after the resize run in the
// frame once it is in. "OK" stores the result as one undo step "import
// image".
#pragma once

#include "app/ConvertRules.h"
#include "app/PictureJob.h"
#include "app/Texture.h"

#include <cstdint>
#include <string>
#include <vector>

class App;

// The import state, the textures of its two previews, the read in
// progress and the resize of a large picture in progress.
struct ImportPicState : ImportPicture {
  Texture sourceTexture;
  Texture resultTexture;
  PictureJob reading;       // the picture being read in the background
  std::string readingName;  // its name, shown while it is read
  // The window was opened for the running read: a failed or cancelled
  // read closes it again.
  bool closeAfterRead = false;
  PictureJob resizing;       // a picture too large for a frame, being resized
  ImportResize resizingFor;  // what it is being resized for

  bool isReading() const { return reading.busy(); }
  bool isConverting() const { return resizing.busy(); }
};

extern ImportPicState g_pic;

constexpr const char* kImportUndoLabel = "import image";

// Starts reading the picture file at `path` (shown as `name`: the file
// dialog gives the full path, a dropped file its base name) into g_pic in
// the background, superseding a read still running, and shows the window,
// which reads "Reading picture..." until the read ends. Nothing of the
// file is read or checked here. A file that cannot be read (missing, not
// one of the six formats, too large) gives only the message "Couldn't read
// the image: ..." when the read ends, and changes nothing.
void openImportPictureFile(App& app, const std::string& name, const std::string& path);
// The same for the bytes of a file already read.
void openImportPicture(App& app, const std::string& name, const std::vector<uint8_t>& bytes);
// Takes an ended read: the picture into g_pic, or the message with the
// reason, after which a window opened only for the read closes again. The
// window calls it every frame it is open.
void pollImportPicture(App& app);
// Stops the running read; a window opened only for it closes again.
void cancelImportRead(App& app);
// Converts g_pic when it asks for it (`dirty`): within the frame, or, for a
// picture too large to resize within one, by starting its resize in the
// background (superseding one for other options); nothing while a picture
// is read. The window calls it every frame it is open. True when both
// previews changed.
bool convertImportPicture(App& app);
// Takes an ended background resize: installed, when the options still ask
// for it, so that the next conversion starts after the resize. A resize
// that failed is done within the frame instead. Called every frame the
// window is open.
void pollImportResize();
// Offers the file dialog for a picture; it hands over only the path.
void pickPicture(App& app);
// Sets the mode and asks for a new conversion, pressing "OK" by itself once
// it is done when autoOk is set. Opens nothing; waits for a picture still
// being read, so that the next drawn frame takes it (the self-test's
// steps stay in step with its frames).
void importPictureForTest(int mode, bool autoOk);
void drawImportPicture(App& app);

// What "OK" does: stores the last conversion as one undo step, shows the
// document in the palette it was converted with and closes the window.
// Nothing without a picture, or while it is read or resized.
void acceptImportPicture(App& app);
// Closes the window and stops a running read or resize; picture, options
// and previews stay.
void closeImportPicture(App& app);
