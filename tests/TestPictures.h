// Picture files made for the tests, the fuzz seeds and the benchmarks,
// shaped to cost a decoder the most for their size:
// - JPEG: a frame (quantisation table, frame header, one DC and one AC
//   Huffman table) and scan headers with no entropy-coded data after them.
//   A decoder reads zeros once the data ends at the next marker, so every
//   block of a scan decodes the one code of each table: the size of the
//   picture and the tables alone set the work, whatever the file's length.
// - PNG: chunks around image data deflated with the fixed Huffman codes,
//   each byte a literal except runs of a repeated byte.
// - GIF: one image of LZW codes chosen by the caller.
#pragma once

#include "tests/TestBytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testpictures {

using namespace testbytes;

// FF, the marker, the length (itself included) and the payload.
inline Bytes jpegSegment(uint8_t marker, const Bytes& payload) {
  const size_t length = payload.size() + 2;
  return join({{0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)}, payload});
}

// A Huffman table of a single code: `length` zero bits stand for `symbol`.
struct OneCode {
  int length;
  uint8_t symbol;
};

// What the zeros decode to. Quick: DC differences of 0 and an end of block
// at once, a flat grey picture. Slow: the longest code (16 bits, past the
// decoder's lookup table) for a DC difference of 11 bits and, for every
// coefficient of a block, an AC value of one bit.
struct JpegTables {
  OneCode dc, ac;
};
constexpr JpegTables kQuickTables = {{1, 0x00}, {1, 0x00}};
constexpr JpegTables kSlowTables = {{16, 0x0B}, {16, 0x01}};

// SOI, a quantisation table of ones, the frame header (baseline or
// progressive) of w x h with one component per entry of `sampling`
// (horizontal factor x 16 + vertical factor, ids 1, 2, ...), and DC and AC
// table 0.
inline Bytes jpegFrame(bool progressive, int w, int h, const std::vector<uint8_t>& sampling,
                       const JpegTables& tables = kQuickTables) {
  Bytes b = {0xFF, 0xD8};
  Bytes dqt(1 + 64, 1);
  dqt[0] = 0x00;  // table 0 of 8-bit values
  append(b, jpegSegment(0xDB, dqt));
  Bytes sof = {8};
  put16(sof, static_cast<uint32_t>(h)), put16(sof, static_cast<uint32_t>(w));
  sof.push_back(static_cast<uint8_t>(sampling.size()));
  for (size_t i = 0; i < sampling.size(); ++i) sof.insert(sof.end(), {static_cast<uint8_t>(i + 1), sampling[i], uint8_t{0}});
  append(b, jpegSegment(progressive ? 0xC2 : 0xC0, sof));
  for (const auto& [tableClass, code] : {std::pair{0x00, tables.dc}, std::pair{0x10, tables.ac}}) {
    Bytes dht = {static_cast<uint8_t>(tableClass)};
    dht.resize(1 + 16, 0);
    dht[static_cast<size_t>(code.length)] = 1;
    dht.push_back(code.symbol);
    append(b, jpegSegment(0xC4, dht));
  }
  return b;
}

// A scan header over the given component ids with spectral selection ss
// to se and successive approximation ah, al, each component with the
// Huffman tables `tables` (DC table x 16 + AC table); no data follows.
inline Bytes jpegScan(std::initializer_list<int> ids, int ss = 0, int se = 63, int ah = 0, int al = 0,
                      uint8_t tables = 0x00) {
  Bytes sos = {static_cast<uint8_t>(ids.size())};
  for (int id : ids) sos.insert(sos.end(), {static_cast<uint8_t>(id), tables});
  sos.insert(sos.end(), {static_cast<uint8_t>(ss), static_cast<uint8_t>(se), static_cast<uint8_t>(ah << 4 | al)});
  return jpegSegment(0xDA, sos);
}

inline Bytes jpegFile(Bytes frame, const std::vector<Bytes>& scans) {
  for (const Bytes& s : scans) append(frame, s);
  append(frame, {0xFF, 0xD9});
  return frame;
}

// Bits packed from the lowest bit of each byte up, as both LZW and deflate
// pack them.
struct BitWriter {
  Bytes bytes;
  uint32_t held = 0;
  int count = 0;

  void put(uint32_t value, int bits) {
    held |= value << count;
    for (count += bits; count >= 8; count -= 8, held >>= 8) bytes.push_back(static_cast<uint8_t>(held));
  }
  // A Huffman code goes out from its highest bit.
  void putCode(uint32_t code, int bits) { put(reversed(code, bits), bits); }
  static uint32_t reversed(uint32_t code, int bits) {
    uint32_t r = 0;
    for (int i = 0; i < bits; ++i) r = r << 1 | (code >> i & 1);
    return r;
  }
  Bytes finish() {
    if (count > 0) bytes.push_back(static_cast<uint8_t>(held));
    count = 0;
    return std::move(bytes);
  }
};

// A zlib stream of one deflate block: every byte a literal, except that
// 258 repeats of the byte before are one copy from a distance of 1. With
// the fixed Huffman codes a literal takes 8 or 9 bits and a copy 13; with
// the slow codes, a block's own codes (complete, as zlib wants them), a
// literal takes 15 bits, past the decoder's lookup table, and a copy 2,
// the most any deflate stream inflates. Fed as it is made, so that no
// picture of hundreds of megabytes is held beside its file. Before that
// block come `emptyBlocks` blocks of the fixed codes holding nothing (10
// bits each), for each of which a decoder may build the fixed codes anew.
class Deflater {
 public:
  explicit Deflater(bool slowCodes = false, size_t emptyBlocks = 0) {
    out_.bytes = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    for (size_t i = 0; i < emptyBlocks; ++i) {
      out_.put(0, 1);  // not the last block
      out_.put(1, 2);  // fixed codes
      out_.put(0, 7);  // the end of the block, code 256
    }
    out_.put(1, 1);  // the last block
    if (!slowCodes) {
      out_.put(1, 2);
      for (uint32_t v = 0; v < 256; ++v) literals_[v] = v < 144 ? huffman(0x30 + v, 8) : huffman(0x190 + v - 144, 9);
      copy_ = huffman(0xC5, 8), distance_ = huffman(0, 5), end_ = huffman(0, 7);
      return;
    }
    // Literals of 15 bits; the copy of 258 bytes (symbol 285) of 1, the end
    // of block (256) of 2 and symbols 257 to 261 of 3 to 7 bits fill the
    // rest of the code. One distance code of 1 bit.
    int lengths[287] = {};
    for (int v = 0; v < 256; ++v) lengths[v] = 15;
    for (int k = 0; k <= 5; ++k) lengths[256 + k] = 2 + k;
    lengths[285] = 1;
    lengths[286] = 1;  // the distance code
    out_.put(2, 2);
    out_.put(286 - 257, 5), out_.put(0, 5), out_.put(19 - 4, 4);
    // The code-length code: lengths 0 to 6 in 3 bits, 7 and 15 in 4.
    const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const auto lengthBits = [](int l) { return l <= 6 ? 3 : l == 7 || l == 15 ? 4 : 0; };
    for (int sym : order) out_.put(static_cast<uint32_t>(lengthBits(sym)), 3);
    for (int l : lengths) l <= 6 ? out_.putCode(static_cast<uint32_t>(l), 3) : out_.putCode(l == 7 ? 14 : 15, 4);
    for (uint32_t v = 0; v < 256; ++v) literals_[v] = huffman(32512 + v, 15);
    copy_ = huffman(0, 1), distance_ = huffman(0, 1), end_ = huffman(2, 2);
  }
  void feed(const uint8_t* p, size_t n) {
    for (const uint8_t* end = p + n; p < end; ++p) {
      a_ = (a_ + *p) % 65521, b_ = (b_ + a_) % 65521;
      if (started_ && *p == last_) {
        if (++run_ == kLongestCopy) {
          put(copy_);
          put(distance_);
          run_ = 0;
        }
        continue;
      }
      flushRun();
      put(literals_[*p]);
      last_ = *p, started_ = true;
    }
  }
  void feed(const Bytes& b) { feed(b.data(), b.size()); }
  Bytes finish() {
    flushRun();
    put(end_);
    Bytes z = out_.finish();
    put32(z, b_ << 16 | a_);
    return z;
  }

 private:
  struct Code {
    uint32_t bitsOut;  // the code from its highest bit, as it is packed
    int bits;
  };
  static Code huffman(uint32_t code, int bits) { return {BitWriter::reversed(code, bits), bits}; }
  static constexpr int kLongestCopy = 258;
  void put(const Code& c) { out_.put(c.bitsOut, c.bits); }
  void flushRun() {
    for (; run_ > 0; --run_) put(literals_[last_]);
  }
  Code literals_[256], copy_, distance_, end_;
  BitWriter out_;
  uint32_t a_ = 1, b_ = 0;
  uint8_t last_ = 0;
  bool started_ = false;
  int run_ = 0;
};

// The length, the type, the data and the CRC-32 of type and data.
inline void pngChunk(Bytes& png, const char* type, const Bytes& data) {
  put32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  append(png, data);
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = start; i < png.size(); ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  put32(png, ~crc);
}

// Signature, header chunk, the zlib stream in chunks of up to 16 MiB (as
// writers split it), end chunk. Colour 0 grey, 2 RGB, 3 palette (a grey
// ramp of 256 entries is added), 4 grey and alpha, 6 RGBA.
inline Bytes pngFile(int w, int h, int depth, int colour, bool interlaced, const Bytes& zlib) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  put32(header, static_cast<uint32_t>(w)), put32(header, static_cast<uint32_t>(h));
  for (int v : {depth, colour, 0, 0, interlaced ? 1 : 0}) header.push_back(static_cast<uint8_t>(v));
  pngChunk(png, "IHDR", header);
  if (colour == 3) {
    Bytes palette;
    for (int i = 0; i < 256; ++i) palette.insert(palette.end(), 3, static_cast<uint8_t>(i));
    pngChunk(png, "PLTE", palette);
  }
  constexpr size_t kChunk = size_t{1} << 24;
  for (size_t i = 0; i < zlib.size(); i += kChunk) {
    const auto from = zlib.begin() + static_cast<std::ptrdiff_t>(i);
    pngChunk(png, "IDAT", Bytes(from, from + static_cast<std::ptrdiff_t>(std::min(kChunk, zlib.size() - i))));
  }
  pngChunk(png, "IEND", {});
  return png;
}

// The seven passes of an interlaced PNG: the first column and row of each
// and the steps between them.
struct Adam7Pass {
  int x0, y0, dx, dy;
};
constexpr Adam7Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// The bytes of the rows of an interlaced picture of whole-byte pixels,
// each row with its filter byte.
inline size_t adam7Bytes(int w, int h, int pixelBytes) {
  size_t n = 0;
  for (const Adam7Pass& p : kAdam7) {
    const int pw = (w - p.x0 + p.dx - 1) / p.dx, ph = (h - p.y0 + p.dy - 1) / p.dy;
    if (pw > 0 && ph > 0) n += static_cast<size_t>(ph) * (1 + static_cast<size_t>(pw) * pixelBytes);
  }
  return n;
}

// LZW codes of the 2-bit minimum code size, as a GIF decoder takes them:
// after the first code behind a clear code, each adds a table entry (the
// previous string plus one pixel) and may widen the codes. `pixels`
// counts what the codes stand for.
struct LzwWriter {
  static constexpr int kMinSize = 2, kClear = 1 << kMinSize, kEnd = kClear + 1, kMaxCode = 4095;
  BitWriter bits;
  int size = kMinSize + 1, next = kClear + 2, previous = -1;
  std::vector<int64_t> length = std::vector<int64_t>(8192, 1);  // pixels of each code's string
  int64_t pixels = 0;

  void clear() {
    bits.put(kClear, size);
    size = kMinSize + 1, next = kClear + 2, previous = -1;
  }
  void code(int c) {
    bits.put(static_cast<uint32_t>(c), size);
    if (previous >= 0) {
      length[static_cast<size_t>(next)] = length[static_cast<size_t>(previous)] + 1;
      if ((++next & ((1 << size) - 1)) == 0 && next <= kMaxCode) ++size;
    }
    pixels += length[static_cast<size_t>(c)];
    previous = c;
  }
  // The GIF: a screen of w x h with 4 colours, `extensions` as they are,
  // one image over the whole screen holding the codes, the trailer.
  Bytes gif(int w, int h, const Bytes& extensions = {}) {
    bits.put(kEnd, size);
    const Bytes data = bits.finish();
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    const auto le16 = [&g](int v) { g.push_back(static_cast<uint8_t>(v)), g.push_back(static_cast<uint8_t>(v >> 8)); };
    le16(w), le16(h);
    for (int v : {0x81, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255}) g.push_back(static_cast<uint8_t>(v));
    append(g, extensions);
    g.push_back(0x2C);
    le16(0), le16(0), le16(w), le16(h);
    g.push_back(0), g.push_back(kMinSize);
    for (size_t i = 0; i < data.size(); i += 255) {
      const size_t n = std::min<size_t>(255, data.size() - i);
      g.push_back(static_cast<uint8_t>(n));
      g.insert(g.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
               data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    g.push_back(0), g.push_back(0x3B);
    return g;
  }
};

}  // namespace testpictures
