// The parts of the host layer that ask SDL: the executable's directory for
// the asset search, and handing links to the desktop.
#include "platform/Platform.h"

#include <SDL.h>

#include <filesystem>

#ifndef TILVOX_BUILD_ASSET_DIR
#define TILVOX_BUILD_ASSET_DIR ""
#endif

namespace Platform {

void init(const char* /*argv0*/) {
  std::string base;
  if (char* p = SDL_GetBasePath()) {
    base = p;
    SDL_free(p);
  }
  g_assetDir = chooseAssetDir(base, TILVOX_BUILD_ASSET_DIR);
  g_configDir = chooseConfigDir();
  std::error_code ec;
  std::filesystem::create_directories(g_configDir, ec);
}

void openUrl(const std::string& url) { SDL_OpenURL(url.c_str()); }

}  // namespace Platform
