// Picture files of the six formats the picture import reads (PNG, JPEG,
// BMP, GIF, TGA, PSD): recognising the format by the file's content, the
// checks its header allows before any pixel is decoded, and the decode
// itself with Debian's stb_image, built with only those six loaders. Files
// are untrusted: anything else never reaches the decoder, and what the
// header declares is bounded before the decoder takes memory or time: no
// file it accepts takes more than about 3 seconds to decode
// (bench/PictureBench.cpp builds the slowest of each format).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A decoded picture needs 4 bytes per pixel, and the decoder more while it
// works; pictures above this many pixels are refused before decoding, so
// that a small file declaring a huge size cannot exhaust memory.
constexpr int64_t kImportMaxPixels = 64LL * 1024 * 1024;

// A JPEG decoder works through every scan over the whole picture, however
// little data the scan holds: past the end of its data it reads zeros,
// which the file's own Huffman tables may turn into a value for every
// coefficient, so each 8 x 8 block of a scan may cost up to a microsecond.
// Encoders write one scan, one per component, or about 10 for a
// progressive picture (a few tools some dozens); a file of more scans is
// refused, and so is one whose scans decode more blocks in all than a
// one-scan picture at the pixel limit in 4:2:2 (2 luma and 2 chroma
// blocks per 16 x 8 pixels). That admits such pictures in 4:2:0 and 4:2:2
// up to the limit, in 4:4:4 up to 44 megapixels, and progressive 4:2:0
// ones, whose 10 scans decode 125,000 blocks a megapixel, up to 16.
constexpr int64_t kJpegMaxScans = 100;
constexpr int64_t kJpegMaxScanBlocks = kImportMaxPixels / 32;
// A PNG costs the decoder up to some 20 nanoseconds for every byte of its
// samples (inflating codes of 15 bits each, filtering, cutting 16-bit
// samples to 8); a picture whose samples take more bytes than this (1.5 a
// pixel at the pixel limit) is refused: so 8-bit grey and palette
// pictures are read up to the limit, 8-bit RGB up to 32 megapixels, RGBA
// up to 24 and 16-bit RGBA up to 12.
constexpr int64_t kPngMaxSampleBytes = kImportMaxPixels * 3 / 2;

constexpr const char* kImportReadError = "Couldn't read the image: ";
constexpr const char* kImportTooLarge = "the picture is larger than 64 megapixels";
constexpr const char* kImportUnsupported = "unsupported format";
constexpr const char* kImportTooManyScans = "too many scans";
// A PNG of more sample bytes than kPngMaxSampleBytes, or whose data inflates
// past what its size needs; a GIF whose data stands for more pixels than
// its screen holds; a JPEG whose one scan holds more blocks than
// kJpegMaxScanBlocks.
constexpr const char* kImportTooMuchData = "too much image data";
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
// decoder would overrun, a declared size over maxPixels
// (kImportTooLarge), and work past the bounds above (kImportTooManyScans,
// kImportTooMuchData). The file is walked through, not decoded: a JPEG's
// markers, a GIF's LZW codes. Empty when the file may be decoded.
std::string PictureHeaderProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels = kImportMaxPixels);

// Decodes a PNG, JPEG, BMP, GIF, TGA or PSD file into RGBA pixels. Returns
// the reason when it cannot (empty on success); the outputs change only on
// success. Other formats and pictures of more than maxPixels pixels are
// refused unread (PictureHeaderProblem); a PNG whose data inflates past
// what the picture needs stops there (kImportTooMuchData).
std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels = kImportMaxPixels);
