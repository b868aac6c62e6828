// The file actions' dialogs and completions. Each action only fills in
// the file dialog and returns; the completion captures the App and runs
// in the frame the user confirms. Save producers read the document when
// the path is confirmed, except the raw sprite and character-set saves,
// which copy memory when the dialog opens.
#include "app/FileActions.h"

#include "app/App.h"
#include "app/CpuWindows.h"
#include "app/ImportWin.h"
#include "core/FileFormats.h"
#include "disk/DriveMounts.h"
#include "platform/FileDialog.h"
#include "platform/Platform.h"

namespace Actions {

namespace {

void show(App& app, const Outcome& outcome) {
  if (outcome) app.message(outcome->title, outcome->text);
}

void show(App& app, const Message& message) { app.message(message.title, message.text); }

// A picture that loaded replaces what a block selection pointed at.
void showPictureLoad(App& app, const Outcome& outcome) {
  if (!outcome) app.editor.selActive = false;
  show(app, outcome);
}

// A project replaces the whole document and its history; no undo step.
void finishProjectLoad(App& app, const std::vector<uint8_t>& bytes) {
  app.change(UndoStep::none(), [&app, &bytes] {
    const Outcome failed = completeLoadProject(app.machine, bytes);
    if (failed)
      show(app, failed);
    else
      app.afterLoad();
  });
}

// Opens a picture by a fixed row (Koala, RAW) or by the row given.
void openImage(App& app, const std::string& title, const std::vector<FileIO::Filter>& filters, int format) {
  FileIO::open(title, filters, [&app, format](const std::string& path, std::vector<uint8_t>& bytes) {
    // A file of no known format is refused before anything changes.
    const auto load = [&] { showPictureLoad(app, completeLoadImage(app.machine, app.undo, format, path, bytes)); };
    if (imageFormatFor(format, path) >= 0)
      app.change(UndoStep::byEngine(), load);
    else
      load();
  });
}

}  // namespace

void loadProject(App& app) {
  FileIO::open("Load project", projectFilters(),
               [&app](const std::string&, std::vector<uint8_t>& bytes) { finishProjectLoad(app, bytes); });
}

void saveProject(App& app) {
  FileIO::saveWith(
      "Save project", "project.tpr", [&app](const std::string&) { return app.machine.saveProject(); }, nullptr);
}

void loadMemory(App& app) {
  FileIO::open("Load memory", prgFilters(), [&app](const std::string&, std::vector<uint8_t>& bytes) {
    app.change(UndoStep::byEngine(), [&] { show(app, completeLoadMemory(app.machine, app.undo, bytes)); });
  });
}

void saveArea(App& app, int start, int length, const std::string& defaultName) {
  FileIO::saveWith(
      "Save memory area", defaultName,
      [&app, start, length](const std::string&) { return FileFormats::savePrg(app.machine, start, length); },
      [&app, start, length](const std::string&) { show(app, saveAreaMessage(start, length)); });
}

void loadKoala(App& app) { openImage(app, "Load Koala image", koalaFilters(), FileFormats::findByExtension("koa")); }

void loadRaw(App& app) { openImage(app, "Load RAW image", rawFilters(), FileFormats::findByExtension("raw")); }

void saveKoala(App& app) {
  FileIO::saveWith(
      "Save Koala image", "image.koa", [&app](const std::string&) { return FileFormats::saveKoala(app.machine); },
      nullptr);
}

void saveDoodle(App& app) {
  FileIO::saveWith(
      "Save Doodle image", "image.dd", [&app](const std::string&) { return FileFormats::saveDoodle(app.machine); },
      nullptr);
}

void loadImageFormat(App& app, int format) {
  openImage(app, "Load C64 image", imageFormatFilters(format), format);
}

void loadSprites(App& app) {
  FileIO::open("Load sprites", spriteFilters(), [&app](const std::string& path, std::vector<uint8_t>& bytes) {
    app.change(UndoStep::byEngine(),
               [&] { show(app, completeLoadSprites(app.machine, app.undo, app.currentSprite, path, bytes)); });
  });
}

void loadCharset(App& app) {
  FileIO::open("Load charset", charsetFilters(), [&app](const std::string& path, std::vector<uint8_t>& bytes) {
    // A load into the ROM character set is refused before anything changes.
    const auto load = [&] { show(app, completeLoadCharset(app.machine, app.undo, path, bytes)); };
    if (!charsetLoadRefused(app.machine, path))
      app.change(UndoStep::byEngine(), load);
    else
      load();
  });
}

void saveSprites(App& app, int first, int last, bool asPrg) {
  const SpriteRange range = spriteRange(app.machine, first, last);
  if (range.length <= 0) return;
  if (asPrg)
    saveArea(app, range.start, range.length, "sprites.prg");
  else
    FileIO::save("Save sprites", "sprites.bin", memoryBytes(app.machine, range.start, range.length), nullptr);
}

void saveCharset(App& app, bool asPrg) {
  const int start = static_cast<int>(app.machine.charsetAddr());
  if (asPrg)
    saveArea(app, start, kCharsetSize, "charset.prg");
  else
    FileIO::save("Save charset", "charset.bin", memoryBytes(app.machine, start, kCharsetSize), nullptr);
}

void exportPng(App& app) {
  FileIO::saveWith(
      "Export PNG", "screen.png",
      [&app](const std::string&) { return encodeScreenPng(app.machine, app.palette); }, nullptr);
}

void saveExecutable(App& app) {
  std::vector<uint8_t> viewer;
  const bool read = Platform::readFile(Platform::assetDir() + "/" + kViewerAsset, viewer);
  if (const Outcome refused = executableRefusal(app.machine, read, viewer)) {
    show(app, refused);
    return;
  }
  FileIO::saveWith(
      "Save executable", "picture.prg",
      [&app, viewer = std::move(viewer)](const std::string&) { return buildExecutable(app.machine, viewer); },
      nullptr);
}

void openDropped(App& app, const std::string& path) {
  const std::string ext = FileIO::extension(path);
  const std::string name = FileIO::baseName(path);
  // A disk image is mounted from its path and a PC picture read from it in
  // the background; neither is read here.
  const DropAction byExtension = dropAction(ext, 0);
  if (byExtension == DropAction::MountDisk) {
    const int index = dropDrive(app.drives, kDriveCount);
    DiskDrive& drive = app.drives[index];
    if (mountImageOn(app.drives, kDriveCount, index, path))
      app.showMountDisk = true;
    else
      app.message("Error", "Could not mount D64-file: " + drive.error);
    return;
  }
  if (byExtension == DropAction::ImportPicture) {
    openImportPictureFile(app, name, path);
    return;
  }
  std::vector<uint8_t> bytes;
  if (!Platform::readFile(path, bytes)) {
    app.message("Error", "Couldn't open " + name);
    return;
  }
  switch (dropAction(ext, bytes.size())) {
    case DropAction::MountDisk:
    case DropAction::ImportPicture:
      break;  // started above, by the path
    case DropAction::Project:
      finishProjectLoad(app, bytes);
      break;
    case DropAction::AssemblerSource:
      if (const std::string error = sourceSizeError(bytes.size()); !error.empty()) {
        app.message("Error", error);
        break;
      }
      app.assemblerSource.assign(bytes.begin(), bytes.end());
      app.showAssembler = true;
      break;
    case DropAction::PictureFormat:
      app.change(UndoStep::byEngine(),
                 [&] { showPictureLoad(app, completeDropPicture(app.machine, app.undo, name, bytes)); });
      break;
    case DropAction::Prg:
      app.change(UndoStep::byEngine(), [&] { show(app, completeDropPrg(app.machine, app.undo, name, bytes)); });
      break;
    case DropAction::Unknown:
      app.message("Error", "Don't know what to do with " + name);
      break;
  }
}

}  // namespace Actions
