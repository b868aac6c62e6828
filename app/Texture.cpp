// OpenGL texture wrapper. Live textures are tracked so that all of them can
// be freed while the OpenGL context still exists: the application object
// and the views' function-local canvases outlive the context at exit.
#include "app/Texture.h"

#include "platform/Platform.h"

#include <GL/gl.h>
#include <stb_image.h>

#include <algorithm>

namespace {

// Never destroyed: textures owned by globals and function-local statics
// unregister during exit in any order.
std::vector<Texture*>& liveTextures() {
  static auto* live = new std::vector<Texture*>;
  return *live;
}

// Set once the context is gone: later updates must not touch OpenGL.
bool g_released = false;

}  // namespace

Texture::Texture() { liveTextures().push_back(this); }

Texture::~Texture() {
  auto& live = liveTextures();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (id != 0 && !g_released) {
    GLuint name = id;
    glDeleteTextures(1, &name);
  }
}

void Texture::releaseAll() {
  for (Texture* t : liveTextures()) {
    if (t->id != 0) {
      GLuint name = t->id;
      glDeleteTextures(1, &name);
      t->id = 0;
      t->width = 0;
      t->height = 0;
    }
  }
  g_released = true;
}

void Texture::update(const uint32_t* pixels, int w, int h) {
  if (g_released || w <= 0 || h <= 0) return;
  if (id == 0) {
    GLuint name = 0;
    glGenTextures(1, &name);
    id = name;
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  } else {
    glBindTexture(GL_TEXTURE_2D, id);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (w == width && h == height) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    width = w;
    height = h;
  }
}

bool Texture::loadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!Platform::readFile(path, bytes) || bytes.empty()) return false;
  int w = 0, h = 0, n = 0;
  stbi_uc* data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 4);
  if (!data) return false;
  update(reinterpret_cast<const uint32_t*>(data), w, h);
  stbi_image_free(data);
  return true;
}

bool SizeCanvas(PixelCanvas& canvas, int w, int h) {
  if (canvas.width == w && canvas.height == h) return false;
  canvas.pixels.assign(static_cast<size_t>(w) * h, 0xFF000000u);
  canvas.width = w;
  canvas.height = h;
  return true;
}
