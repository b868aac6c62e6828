// Reading a CFF table as FreeType does and following one glyph's
// charstring program with its subroutines; see CffCharstrings.h. The rules
// below are FreeType's charstring interpreter's (psaux), so that the walk
// and the interpreter take the same path through the same bytes.
#include "convert/CffCharstrings.h"

#include <array>
#include <map>

namespace {

constexpr int kMaxOperands = 48;    // operand stack of a charstring and of a DICT
constexpr int kMaxSubrDepth = 16;   // subroutine nesting FreeType allows
constexpr int kMaxStems = 96;       // stem hints a hint mask can address
constexpr size_t kMaxFontDicts = 256;
constexpr uint32_t kNoRegistry = 0xFFFF;  // ROS registry meaning "not CID-keyed"
constexpr int64_t kReal = INT64_MIN;      // a real-number DICT operand

// DICT operators read here; two-byte operators are 1200 + the second byte.
enum DictOp : int {
  kCharStrings = 17,
  kPrivate = 18,
  kSubrs = 19,
  kCharstringType = 1206,
  kRos = 1230,
  kFdArray = 1236,
  kFdSelect = 1237,
};

// Type 2 charstring operators the walk tells apart.
enum CharstringOp : int {
  kHStem = 1,
  kVStem = 3,
  kVMoveTo = 4,
  kRLineTo = 5,
  kHLineTo = 6,
  kVLineTo = 7,
  kRRCurveTo = 8,
  kCallSubr = 10,
  kReturn = 11,
  kEscape = 12,
  kEndChar = 14,
  kHStemHm = 18,
  kHintMask = 19,
  kCntrMask = 20,
  kRMoveTo = 21,
  kHMoveTo = 22,
  kVStemHm = 23,
  kRCurveLine = 24,
  kRLineCurve = 25,
  kVVCurveTo = 26,
  kHHCurveTo = 27,
  kShortInt = 28,
  kCallGSubr = 29,
  kVHCurveTo = 30,
  kHVCurveTo = 31,
  kFixed = 255,
};

using Dict = std::map<int, std::vector<int64_t>>;
enum class Key { Absent, Ok, Bad };

uint32_t bigEndian(const std::vector<uint8_t>& t, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | t[at + i];
  return v;
}

int subrBias(size_t count) { return count < 1240 ? 107 : count < 33900 ? 1131 : 32768; }

// The operands of every operator of a DICT; a later occurrence replaces an
// earlier one, as FreeType's parser overwrites its fields.
bool readDict(const std::vector<uint8_t>& t, size_t begin, size_t end, Dict& out) {
  std::vector<int64_t> args;
  size_t p = begin;
  while (p < end) {
    const uint8_t b = t[p++];
    if (b <= 21) {
      int op = b;
      if (b == kEscape) {
        if (p >= end) return false;
        op = 1200 + t[p++];
      }
      out[op] = std::move(args);
      args.clear();
      continue;
    }
    int64_t v = 0;
    if (b == 28 && end - p >= 2) {
      v = static_cast<int16_t>(bigEndian(t, p, 2));
      p += 2;
    } else if (b == 29 && end - p >= 4) {
      v = static_cast<int32_t>(bigEndian(t, p, 4));
      p += 4;
    } else if (b == 30) {  // nibbles up to the end nibble
      for (uint8_t n = 0; (n >> 4) != 0xF && (n & 0xF) != 0xF;) {
        if (p >= end) return false;
        n = t[p++];
      }
      v = kReal;
    } else if (b >= 32 && b <= 246) {
      v = b - 139;
    } else if (b >= 247 && b <= 254 && p < end) {
      v = b <= 250 ? (b - 247) * 256 + t[p] + 108 : -(b - 251) * 256 - t[p] - 108;
      ++p;
    } else {
      return false;  // reserved bytes, or a number cut short
    }
    if (args.size() == kMaxOperands) return false;
    args.push_back(v);
  }
  return true;
}

// An operator with exactly `count` whole-number operands.
Key get(const Dict& d, int op, size_t count, int64_t* values) {
  const auto it = d.find(op);
  if (it == d.end()) return Key::Absent;
  if (it->second.size() != count) return Key::Bad;
  for (size_t i = 0; i < count; ++i) {
    if (it->second[i] == kReal) return Key::Bad;
    values[i] = it->second[i];
  }
  return Key::Ok;
}

}  // namespace

// One run of a glyph's charstring: the operand stack (values matter only
// as subroutine numbers), the stem count that sets the length of each hint
// mask, and whether the interpreter has fixed its hint mask yet (after
// which it ignores further stems and hint masks with stem arguments).
class CharstringWalk {
public:
  CharstringWalk(const CffCharstrings& font, const CffCharstrings::Index& locals, int budget)
      : t_(font.table_), globals_(font.globals_), locals_(locals), budget_(budget) {}

  int run(CffCharstrings::Span glyph) { return call(glyph, 0) == Exit::End ? work_ : -1; }

private:
  enum class Exit { Return, End, Fail };
  // Unsure: a line or curve came before any moveto or hint mask. FreeType
  // fixes the mask there unless the line has zero length, which depends on
  // coordinates this walk does not track.
  enum class Mask { Open, Fixed, Unsure };

  bool charge(int64_t units) {
    work_ += units;
    return work_ <= budget_;
  }
  // Building a hint map sorts the active stems into it.
  int64_t hintMapWork() const { return 1 + stems_ * stems_ / 16; }
  bool push(int64_t v, bool whole) {
    if (count_ == kMaxOperands) return false;  // FreeType stops on overflow
    values_[count_] = v;
    whole_[count_++] = whole;
    return true;
  }
  bool addStems() {
    stems_ += count_ / 2;  // an odd count carries the width first
    return stems_ <= kMaxStems;
  }
  void drawn() {
    if (mask_ == Mask::Open) mask_ = Mask::Unsure;
  }

  Exit call(CffCharstrings::Span s, int depth) {
    uint32_t p = s.begin;
    for (;;) {
      if (!charge(1)) return Exit::Fail;
      // The end of a subroutine returns; the end of the glyph ends it.
      const int op = p < s.end ? int{t_[p++]} : depth > 0 ? int{kReturn} : int{kEndChar};
      if (op >= 32 || op == kShortInt) {
        const uint32_t extra = op == kShortInt ? 2 : op == kFixed ? 4 : op >= 247 ? 1 : 0;
        if (s.end - p < extra) return Exit::Fail;
        int64_t v = op - 139;
        if (op == kShortInt) v = static_cast<int16_t>(t_[p] << 8 | t_[p + 1]);
        else if (op >= 247 && op <= 250) v = (op - 247) * 256 + t_[p] + 108;
        else if (op >= 251 && op <= 254) v = -(op - 251) * 256 - t_[p] - 108;
        p += extra;
        if (!push(v, op != kFixed)) return Exit::Fail;
        continue;
      }
      switch (op) {
        case kHStem:
        case kVStem:
        case kHStemHm:
        case kVStemHm:
          if (mask_ == Mask::Fixed) break;  // ignored once the mask is fixed
          if (mask_ == Mask::Unsure && count_ >= 2) return Exit::Fail;
          if (!addStems() || !charge(count_)) return Exit::Fail;
          break;
        case kHintMask:
        case kCntrMask: {
          if (count_ > 1 && mask_ == Mask::Fixed) break;  // skipped, mask bytes and all
          if (count_ > 1 && mask_ == Mask::Unsure) return Exit::Fail;
          if (!addStems()) return Exit::Fail;  // arguments are implied vertical stems
          const uint32_t bytes = static_cast<uint32_t>(stems_ + 7) / 8;
          if (s.end - p < bytes || !charge(bytes + hintMapWork())) return Exit::Fail;
          p += bytes;
          if (op == kHintMask) mask_ = Mask::Fixed;
          break;
        }
        case kVMoveTo:
        case kRMoveTo:
        case kHMoveTo:
          mask_ = Mask::Fixed;  // the first moveto builds the hint map
          if (!charge(hintMapWork())) return Exit::Fail;
          break;
        case kRLineTo:
        case kHLineTo:
        case kVLineTo:
        case kRRCurveTo:
        case kRCurveLine:
        case kRLineCurve:
        case kVVCurveTo:
        case kHHCurveTo:
        case kVHCurveTo:
        case kHVCurveTo:
          drawn();
          if (!charge(count_)) return Exit::Fail;
          break;
        case kCallSubr:
        case kCallGSubr: {
          // Only a number written in the program names the subroutine.
          if (count_ == 0 || !whole_[count_ - 1] || depth >= kMaxSubrDepth) return Exit::Fail;
          const CffCharstrings::Index& subrs = op == kCallSubr ? locals_ : globals_;
          const int64_t n = values_[--count_] + subrBias(subrs.size());
          if (n < 0 || n >= static_cast<int64_t>(subrs.size())) return Exit::Fail;
          const Exit e = call(subrs[static_cast<size_t>(n)], depth + 1);
          if (e != Exit::Return) return e;
          continue;  // the stack carries over
        }
        case kReturn:
          return depth > 0 ? Exit::Return : Exit::Fail;
        case kEndChar:
          // Arguments beyond the width make it seac: an accented glyph
          // assembled from two others, not followed here.
          return count_ > 1 ? Exit::Fail : Exit::End;
        case kEscape: {
          if (p >= s.end) return Exit::Fail;
          const int op2 = t_[p++];
          if (op2 >= 34 && op2 <= 37) {  // the flex curves
            drawn();
            if (!charge(count_)) return Exit::Fail;
          } else if (!(op2 == 0 || op2 == 8 || op2 == 13 || op2 == 19 || op2 == 25 || op2 == 31 || op2 == 32 ||
                       op2 >= 38)) {
            return Exit::Fail;  // arithmetic, storage and Type 1 operators
          }
          break;
        }
        default:
          break;  // reserved operators only clear the stack
      }
      count_ = 0;
    }
  }

  const std::vector<uint8_t>& t_;
  const CffCharstrings::Index& globals_;
  const CffCharstrings::Index& locals_;
  const int64_t budget_;
  int64_t work_ = 0;
  std::array<int64_t, kMaxOperands> values_{};
  std::array<bool, kMaxOperands> whole_{};
  int count_ = 0;
  int stems_ = 0;
  Mask mask_ = Mask::Open;
};

bool CffCharstrings::readIndex(size_t at, Index& out, size_t* next) const {
  const std::vector<uint8_t>& t = table_;
  out.clear();
  if (at > t.size() || t.size() - at < 2) return false;
  const size_t count = bigEndian(t, at, 2);
  if (count == 0) {
    if (next) *next = at + 2;
    return true;
  }
  if (t.size() - at < 3) return false;
  const int offSize = t[at + 2];
  const size_t offsets = at + 3;
  if (offSize < 1 || offSize > 4 || (t.size() - offsets) / offSize < count + 1) return false;
  const size_t data = offsets + (count + 1) * offSize - 1;  // offsets count from 1
  // Offsets start at 1 and never go back: then FreeType's clamping of
  // disordered offsets and this reading agree on every element.
  uint64_t prev = bigEndian(t, offsets, offSize);
  if (prev != 1) return false;
  out.reserve(count);
  for (size_t i = 1; i <= count; ++i) {
    const uint64_t cur = bigEndian(t, offsets + i * offSize, offSize);
    if (cur < prev || data + cur > t.size()) return false;
    out.push_back({static_cast<uint32_t>(data + prev), static_cast<uint32_t>(data + cur)});
    prev = cur;
  }
  if (next) *next = static_cast<size_t>(data + prev);
  return true;
}

bool CffCharstrings::load(std::vector<uint8_t> table) {
  table_ = std::move(table);
  charstrings_.clear();
  globals_.clear();
  locals_.clear();
  cid_ = false;
  fdSelectFormat_ = 0;
  fdSelect_ = {};
  const std::vector<uint8_t>& t = table_;
  auto fail = [this] {
    table_.clear();
    charstrings_.clear();
    return false;
  };
  if (t.size() > UINT32_MAX || t.size() < 4 || t[0] != 1 || t[2] < 4 || t[3] > 4) return fail();

  // Header, then the Name, Top DICT, String and Global Subr indexes.
  Index names, tops, strings;
  size_t at = t[2];
  if (!readIndex(at, names, &at) || !readIndex(at, tops, &at) || !readIndex(at, strings, &at) ||
      !readIndex(at, globals_, &at) || names.size() != 1 || tops.empty())
    return fail();
  Dict top;
  if (!readDict(t, tops[0].begin, tops[0].end, top)) return fail();

  int64_t v[3] = {};
  const Key type = get(top, kCharstringType, 1, v);
  if (type == Key::Bad || (type == Key::Ok && v[0] != 2)) return fail();
  if (get(top, kCharStrings, 1, v) != Key::Ok || v[0] <= 0 || !readIndex(static_cast<size_t>(v[0]), charstrings_))
    return fail();

  // The local subroutines of a font dictionary's Private DICT: none without
  // one (or with a zero size or offset, which FreeType takes for none).
  auto readPrivate = [this, &t](const Dict& d, Index& subrs) {
    int64_t p[2] = {};
    const Key k = get(d, kPrivate, 2, p);
    if (k == Key::Absent || (k == Key::Ok && (p[0] == 0 || p[1] == 0))) return true;
    if (k == Key::Bad || p[0] < 0 || p[1] < 0 || p[0] > static_cast<int64_t>(t.size()) - p[1]) return false;
    Dict priv;
    int64_t s = 0;
    if (!readDict(t, static_cast<size_t>(p[1]), static_cast<size_t>(p[1] + p[0]), priv)) return false;
    const Key sk = get(priv, kSubrs, 1, &s);
    if (sk == Key::Absent || (sk == Key::Ok && s == 0)) return true;
    return sk == Key::Ok && s > 0 && readIndex(static_cast<size_t>(p[1] + s), subrs);
  };

  const Key ros = get(top, kRos, 3, v);
  if (ros == Key::Bad) return fail();
  cid_ = ros == Key::Ok && static_cast<uint32_t>(v[0]) != kNoRegistry;
  if (!cid_) {
    locals_.resize(1);
    return readPrivate(top, locals_[0]) || fail();
  }

  // CID-keyed: a font dictionary per group of glyphs, chosen by FDSelect.
  Index fontDicts;
  int64_t fdArray = 0, fdSelect = 0;
  if (get(top, kFdArray, 1, &fdArray) != Key::Ok || get(top, kFdSelect, 1, &fdSelect) != Key::Ok || fdArray <= 0 ||
      fdSelect <= 0 || !readIndex(static_cast<size_t>(fdArray), fontDicts) || fontDicts.empty() ||
      fontDicts.size() > kMaxFontDicts)
    return fail();
  locals_.resize(fontDicts.size());
  for (size_t i = 0; i < fontDicts.size(); ++i) {
    Dict fd;
    if (!readDict(t, fontDicts[i].begin, fontDicts[i].end, fd) || !readPrivate(fd, locals_[i])) return fail();
  }
  const size_t sel = static_cast<size_t>(fdSelect);
  if (sel >= t.size()) return fail();
  fdSelectFormat_ = t[sel];
  size_t begin = sel + 1, size = 0;
  if (fdSelectFormat_ == 0) {
    size = charstrings_.size();
  } else if (fdSelectFormat_ == 3) {
    if (t.size() - begin < 2) return fail();
    const size_t ranges = bigEndian(t, begin, 2);
    if (ranges == 0) return fail();
    begin += 2;
    size = ranges * 3 + 2;
    // Range starts must not go back: FreeType remembers the last range it
    // found and would otherwise answer by the order of its look-ups.
    if (t.size() - begin < size) return fail();
    for (size_t r = 0, first = 0; r <= ranges; ++r) {
      const size_t next = bigEndian(t, begin + r * 3, 2);
      if (next < first) return fail();
      first = next;
    }
  } else {
    return fail();
  }
  if (begin > t.size() || t.size() - begin < size) return fail();
  fdSelect_ = {static_cast<uint32_t>(begin), static_cast<uint32_t>(begin + size)};
  return true;
}

int CffCharstrings::fontDictOf(unsigned glyph) const {
  if (!cid_) return 0;
  const std::vector<uint8_t>& t = table_;
  if (fdSelectFormat_ == 0) return t[fdSelect_.begin + glyph];
  // Ranges (first glyph, font dictionary) closed by a sentinel; a glyph
  // before the first range or past the last gets dictionary 0.
  size_t p = fdSelect_.begin;
  unsigned first = bigEndian(t, p, 2);
  p += 2;
  while (p < fdSelect_.end && glyph >= first) {
    const int fd = t[p];
    const unsigned limit = bigEndian(t, p + 1, 2);
    p += 3;
    if (glyph < limit) return fd;
    first = limit;
  }
  return 0;
}

int CffCharstrings::work(unsigned glyph, int budget) const {
  if (glyph >= charstrings_.size()) return -1;
  const size_t fd = static_cast<size_t>(fontDictOf(glyph));
  if (fd >= locals_.size()) return -1;
  return CharstringWalk(*this, locals_[fd], budget).run(charstrings_[glyph]);
}
