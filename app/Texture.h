// An OpenGL texture of 32-bit RGBA pixels (red in the lowest byte), owned by
// the object that holds it. Every picture the program shows (rendered C64
// screens, sprites, character sets, icons) goes through one of these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Texture {
public:
  unsigned int id = 0;  // OpenGL texture name, 0 = not created
  int width = 0;        // size of the last full upload
  int height = 0;

  Texture();
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Creates the texture on first use; replaces the image in place when the
  // size is unchanged, else uploads a new image of the new size.
  void update(const uint32_t* pixels, int w, int h);
  void update(const std::vector<uint32_t>& pixels, int w, int h) { update(pixels.data(), w, h); }
  // Decodes a picture file as RGBA and uploads it; false when undecodable.
  bool loadFile(const std::string& path);

  // Deletes the OpenGL names of every live texture while the context is
  // still current; called once before the context is destroyed, so that the
  // textures' later destructors make no OpenGL call without a context.
  static void releaseAll();
};

// The pixels a view renders into and the texture that shows them. Users
// resize `pixels` and set the size themselves, render, then update the
// texture.
struct PixelCanvas {
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
  Texture texture;
};

// Makes the canvas w x h, filled with opaque black, when it has another
// size; true when it changed.
bool SizeCanvas(PixelCanvas& canvas, int w, int h);
