// The calculator: its arithmetic against 128-bit arithmetic cut to 64
// bits (the wrap-around it promises), its keypad sequences, and the texts
// and readings of its three number fields.
#include "app/Calculator.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using i128 = __int128;

// The wrap-around result: the exact value, cut to its low 64 bits.
int64_t wrap(i128 exact) { return static_cast<int64_t>(static_cast<uint64_t>(static_cast<unsigned __int128>(exact))); }

// A plain reference of every operation in 128 bits.
int64_t reference(int op, int64_t l, int64_t v) {
  const int n = static_cast<int>(v & 31);
  switch (op) {
    case kCalcAdd: return wrap(i128(l) + v);
    case kCalcSub: return wrap(i128(l) - v);
    case kCalcMul: return wrap(i128(l) * v);
    case kCalcDiv: return v == 0 ? 0 : wrap(i128(l) / v);  // truncates toward zero
    case kCalcOr: return l | v;
    case kCalcAnd: return l & v;
    case kCalcXor: return l ^ v;
    case kCalcShl: return wrap(i128(l) * (i128(1) << n));
    case kCalcShr: {  // floor division by 2^n
      const i128 d = i128(1) << n;
      i128 q = i128(l) / d;
      if (i128(l) % d != 0 && l < 0) --q;
      return wrap(q);
    }
    default: return v;
  }
}

TEST(Calculator, EveryOperationWrapsAroundLike128BitArithmeticCut) {
  std::vector<int64_t> values = {0, 1, -1, 2, -2, 7, 9, 31, 32, 33, 63, 64, INT64_MAX, INT64_MIN,
                                 INT64_MAX - 1, INT64_MIN + 1, 0x7FFFFFFF, 0x80000000LL, -0x80000000LL};
  uint64_t seed = 0x9E3779B97F4A7C15ull;  // fixed, so every run checks the same numbers
  for (int i = 0; i < 200; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    values.push_back(static_cast<int64_t>(seed));
  }
  for (int op = kCalcAdd; op <= kCalcShr; ++op)
    for (int64_t l : values)
      for (int64_t v : values) ASSERT_EQ(CalcApply(op, l, v), reference(op, l, v)) << op << " " << l << " " << v;
}

// The cases where the reference itself makes a choice.
TEST(Calculator, EdgeCasesOfDivisionAndShifts) {
  const std::array<int64_t, 4> cases[] = {  // operation, left, value, result
      {kCalcDiv, 7, 0, 0},                   // a zero divisor gives 0
      {kCalcDiv, INT64_MIN, -1, INT64_MIN},  // does not fit: wraps, and does not trap
      {kCalcDiv, -7, 2, -3},                 // toward zero
      {kCalcShl, 1, 33, 2},                  // counts are taken modulo 32
      {kCalcShl, -1, 4, -16}, {kCalcShr, -16, 2, -4}, {kCalcShr, -1, 31, -1},  // the sign bit is copied in
      {kCalcShr, 256, 36, 16}, {kCalcNone, 5, 9, 9},
  };
  for (const auto& [op, left, value, want] : cases) EXPECT_EQ(CalcApply(int(op), left, value), want) << op << " " << left;
}

// Presses buttons: "0"-"F" (but "C" clears; "hexC" is the digit), the
// operations, "=", "NOT", "+/-" and the memory keys.
void press(Calculator& c, const std::vector<std::string>& keys) {
  const std::pair<const char*, int> ops[] = {{"+", kCalcAdd}, {"-", kCalcSub}, {"*", kCalcMul}, {"/", kCalcDiv},
                                             {"OR", kCalcOr}, {"AND", kCalcAnd}, {"XOR", kCalcXor},
                                             {"<<", kCalcShl}, {">>", kCalcShr}};
  const std::pair<const char*, void (Calculator::*)()> others[] = {
      {"=", &Calculator::equals},     {"C", &Calculator::clear},        {"NOT", &Calculator::complement},
      {"+/-", &Calculator::negate},   {"MS", &Calculator::memStore},    {"MR", &Calculator::memRecall},
      {"M+", &Calculator::memAdd},    {"MC", &Calculator::memClear}};
  for (const std::string& k : keys) {
    bool done = false;
    for (auto [name, op] : ops) done = done || (k == name && (c.operation(op), true));
    for (auto [name, fn] : others) done = done || (k == name && ((c.*fn)(), true));
    if (!done) c.digit(std::stoi(k == "hexC" ? "C" : k, nullptr, 16));
  }
}

TEST(Calculator, KeypadSequences) {
  const struct {
    std::vector<std::string> keys;
    int64_t value, mem;
  } cases[] = {
      {{"1", "2"}, 0x12, 0} /* hexadecimal entry */, {{"7", "/", "0", "="}, 0, 0}, {{"7", "-", "9", "="}, -2, 0},
      {{"1", "<<", "2", "1", "="}, 2, 0},       // hex 21 = 33, modulo 32 = 1
      {{"2", "+", "3", "*", "4", "="}, 20, 0},  // chains left to right
      {{"5", "=", "3"}, 3, 0},                  // a digit after "=" starts anew
      {{"5", "+", "=", "="}, 10, 0},            // the shown value is the right operand
      {{"hexC", "A"}, 0xCA, 0}, {{"9", "MS", "C"}, 0, 9} /* C keeps the memory */,
      {{"9", "MS", "C", "MR", "4"}, 4, 9},  // MR then a digit starts anew
      {{"9", "MS", "M+", "M+"}, 9, 27}, {{"9", "MS", "MC"}, 9, 0}, {{"1", "+/-"}, -1, 0},
      {{"1", "+/-", "NOT"}, 0, 0}, {{"1", "+/-", "+/-"}, 1, 0}, {{"5", "NOT"}, 0xFFFFFFFA, 0} /* upper half cleared */,
      {{"F", "0", "OR", "F", "="}, 0xFF, 0}, {{"F", "F", "AND", "3", "C", "="}, 0, 0} /* C drops the operation */,
  };
  for (const auto& c : cases) {
    Calculator calc;
    press(calc, c.keys);
    EXPECT_EQ(std::make_pair(calc.value, calc.mem), std::make_pair(c.value, c.mem)) << ::testing::PrintToString(c.keys);
  }
}

TEST(Calculator, NumberFieldsShowAndRead) {
  const struct {
    int64_t v;
    const char *dec, *hex, *bin;
  } shown[] = {
      {0, "0", "0", "0"}, {-1, "-1", "FFFFFFFF", "11111111111111111111111111111111"},
      {4294967296LL, "4294967296", "0", "0"},  // Hex and Bin show the low 32 bits
      {0x1A5, "421", "1A5", "110100101"}, {INT64_MIN, "-9223372036854775808", "0", "0"},
  };
  for (const auto& c : shown)
    EXPECT_EQ((std::array<std::string, 3>{CalcDecText(c.v), CalcHexText(c.v), CalcBinText(c.v)}),
              (std::array<std::string, 3>{c.dec, c.hex, c.bin}));

  const std::string ones(64, '1');
  const struct {
    int64_t (*parse)(const char*);
    const char* text;
    int64_t want;
  } read[] = {
      {CalcParseDec, "4294967296", 4294967296LL}, {CalcParseDec, "-42", -42}, {CalcParseDec, "+7", 7},
      {CalcParseDec, "", 0}, {CalcParseDec, "-", 0}, {CalcParseDec, "12-3", 12} /* stops at another character */,
      {CalcParseDec, "9223372036854775807", INT64_MAX}, {CalcParseDec, "9223372036854775808", INT64_MAX} /* saturates */,
      {CalcParseDec, "-9223372036854775808", INT64_MIN}, {CalcParseDec, "-99999999999999999999", INT64_MIN},
      {CalcParseHex, "FF", 255}, {CalcParseHex, "123456789", 0x123456789LL} /* more than eight digits: upper half */,
      {CalcParseHex, "FFFFFFFFFFFFFFFF", -1}, {CalcParseHex, "1FFFFFFFFFFFFFFFF", -1} /* saturates at all ones */,
      {CalcParseHex, "", 0}, {CalcParseBin, "101", 5}, {CalcParseBin, "102", 2}, {CalcParseBin, ones.c_str(), -1},
  };
  for (const auto& c : read) EXPECT_EQ(c.parse(c.text), c.want) << c.text;
}

}  // namespace
