// Picture files of the six formats the picture import reads (PNG, JPEG,
// BMP, GIF, TGA, PSD): recognising the format by the file's content, the
// checks its header allows before any pixel is decoded, and the decode
// itself with Debian's stb_image, built with only those six loaders. Files
// are untrusted: anything else never reaches the decoder, and what the
// header declares is bounded before the decoder takes memory or time where
// a bound admits every file an encoder writes (bench/PictureBench.cpp
// builds the slowest of each format); the decoder's process bounds the
// rest (app/PictureJob).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A decoded picture needs 4 bytes per pixel, and the decoder more while it
// works; pictures above this many pixels are refused before decoding, so
// that a small file declaring a huge size cannot exhaust memory.
constexpr int64_t kImportMaxPixels = 64LL * 1024 * 1024;

// A JPEG decoder works through every scan over the whole picture, however
// little data the scan holds (past the end of its data it reads zeros).
// Encoders write one scan, one per component, or about 10 for a
// progressive picture (a few tools some dozens); a file of more scans is
// refused before decoding. What a file of fewer scans may still cost is
// bounded by the decoder process's own time and memory (app/PictureJob).
constexpr int64_t kJpegMaxScans = 100;
// For each Huffman table a DHT segment defines, even an empty one of 17
// bytes, the decoder rebuilds its lookup tables, some thousand steps: a
// file of nothing but empty tables would keep it busy for many seconds.
// Encoders define 2 to 4 tables, a progressive file a few before each of
// its scans; a file that defines more tables in all than this (ten for
// each of the most scans) is refused before the decoder reads its header.
// Quantisation tables cost the decoder no more than reading their bytes.
constexpr int64_t kJpegMaxHuffmanTables = 10 * kJpegMaxScans;

// The reasons a file is refused, after kImportReadError. Those with
// numbers are printf formats: what is over which bound.
constexpr const char* kImportReadError = "Couldn't read the image: ";
constexpr const char* kImportUnsupported = "unsupported format";
// The declared width and height (their magnitudes: a top-down BMP
// declares a negative height).
constexpr const char* kImportTooLarge = "the picture is larger than 64 megapixels (%lld x %lld)";
constexpr const char* kImportNoPixels = "the picture has no pixels (%lld x %lld)";
constexpr const char* kImportTooManyScans = "too many scans (%lld; at most %lld)";
constexpr const char* kImportTooManyTables = "too many Huffman tables (%lld; at most %lld)";
// The decoder reads a table no segment before the scan defined as memory
// it never filled. The scan's number, the kind of table and its number.
constexpr const char* kImportUndefinedTable = "scan %lld uses an undefined %s table %d";
// A Huffman table listing more than the 256 codes its table can hold.
constexpr const char* kImportOverlongTable = "bad DHT header (%lld codes; at most %lld)";
// A GIF whose data stands for more pixels than its screen holds.
constexpr const char* kImportTooManyPixels = "too much image data (%lld pixels for %lld x %lld)";
// A PNG whose data inflates past what its size needs: the buffer that was
// refused growth and the most the picture may take.
constexpr const char* kImportTooMuchData = "too much image data (%lld bytes; at most %lld for %lld x %lld)";
// The decoder ran out of the memory its process may take.
constexpr const char* kImportOutOfMemory = "not enough memory to decode the picture";

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
// import does not read (kImportUnsupported), a declared size of no pixels
// or over maxPixels, a JPEG Huffman table the decoder would overrun, a
// JPEG of more scans or Huffman tables than the bounds above or whose scan
// uses a table not defined before it, and a GIF whose data stands for
// more pixels than the picture has. The file is walked through, not
// decoded: a JPEG's markers, a GIF's LZW codes. Empty when the file may
// be decoded.
std::string PictureHeaderProblem(const std::vector<uint8_t>& bytes, int64_t maxPixels = kImportMaxPixels);

// Decodes a PNG, JPEG, BMP, GIF, TGA or PSD file into RGBA pixels. Returns
// the reason when it cannot (empty on success); the outputs change only on
// success. What PictureHeaderProblem finds is refused unread; a PNG whose
// data inflates past what the picture needs stops there
// (kImportTooMuchData), and a decoder out of memory says so
// (kImportOutOfMemory).
std::string DecodePicture(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels, int& w, int& h,
                          int64_t maxPixels = kImportMaxPixels);
