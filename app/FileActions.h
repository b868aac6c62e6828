// The file actions that menus, editor windows and drag-and-drop start:
// each asks the file dialog for a file, and its completion (run in the
// frame the user confirms) loads or saves through app/FileCompletions.h
// and reports with App::message.
#pragma once

#include "app/FileCompletions.h"

#include <string>

class App;

namespace Actions {

void loadProject(App& app);
void saveProject(App& app);
void loadMemory(App& app);
// Saves memory [start, start + length) as a PRG; the end is cut at $10000.
void saveArea(App& app, int start, int length, const std::string& defaultName);
void loadKoala(App& app);
void loadRaw(App& app);
void saveKoala(App& app);
void saveDoodle(App& app);
// A picture by format row; a negative format picks the row by the chosen
// file's extension.
void loadImageFormat(App& app, int format);

void loadSprites(App& app);
void loadCharset(App& app);
void saveSprites(App& app, int first, int last, bool asPrg);
void saveCharset(App& app, bool asPrg);
void exportPng(App& app);
void saveExecutable(App& app);
// Opens a file dropped on the main window by its extension.
void openDropped(App& app, const std::string& path);

}  // namespace Actions
