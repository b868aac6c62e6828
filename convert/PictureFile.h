// Picture files of the six formats the picture import reads (PNG, JPEG,
// BMP, GIF, TGA, PSD): recognising the format by the file's content, the
// checks its header allows before any pixel is decoded, and the decode
// itself with Debian's stb_image, built with only those six loaders. Files
// are untrusted: anything else never reaches the decoder, and what the
// header declares is bounded before the decoder takes memory or time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A decoded picture needs 4 bytes per pixel, and the decoder more while it
// works; pictures above this many pixels are refused before decoding, so
// that a small file declaring a huge size cannot exhaust memory.
constexpr int64_t kImportMaxPixels = 64LL * 1024 * 1024;
constexpr const char* kImportReadError = "Couldn't read the image: ";
constexpr const char* kImportTooLarge = "the picture is larger than 64 megapixels";
constexpr const char* kImportUnsupported = "unsupported format";
// The picture formats the import reads, in the order their signatures are
// tried; TGA, which has none, comes last.
enum class PictureFormat {
  None,  // none of them: never handed to the decoder
  Png,
  Jpeg,
  Bmp,
  Gif,
  Psd,
  Tga,
};

// Which of the six formats the file is, by its first bytes: the PNG
// signature, FF D8 (JPEG), "BM", "GIF87a" or "GIF89a", "8BPS" (PSD), or
// else a plausible TGA header; PictureFormat::None for anything else.
PictureFormat DetectPictureFormat(const std::vector<uint8_t>& bytes);

// What the header alone refuses, before any pixel is decoded: a format the
// import does not read (kImportUnsupported), a JPEG Huffman table the
// decoder would overrun, or a declared size over maxPixels
// (kImportTooLarge). Empty when the file may be decoded.
std::string PictureHeaderProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels = kImportMaxPixels);

// Decodes a PNG, JPEG, BMP, GIF, TGA or PSD file into RGBA pixels. Returns
// the reason when it cannot (empty on success); the outputs change only on
// success. Other formats and pictures of more than maxPixels pixels are
// refused unread (PictureHeaderProblem).
std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels = kImportMaxPixels);
