// The calculator's arithmetic, keypad and field texts; see Calculator.h.
#include "app/Calculator.h"

#include <cstdio>

namespace {

constexpr uint64_t kLow32 = 0xFFFFFFFFull;

uint64_t u(int64_t v) { return static_cast<uint64_t>(v); }
// Two's complement reading of 64 bits (defined in C++20).
int64_t s(uint64_t v) { return static_cast<int64_t>(v); }

int digitValue(char c, int base) {
  int d;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
  else return -1;
  return d < base ? d : -1;
}

// Unsigned digits of `base` from `p`, saturating at all ones.
uint64_t parseUnsigned(const char* p, int base) {
  uint64_t v = 0;
  for (int d; p && (d = digitValue(*p, base)) >= 0; ++p) {
    const uint64_t digit = static_cast<uint64_t>(d);
    if (v > (UINT64_MAX - digit) / static_cast<uint64_t>(base)) return UINT64_MAX;
    v = v * static_cast<uint64_t>(base) + digit;
  }
  return v;
}

}  // namespace

int64_t CalcApply(int op, int64_t left, int64_t value) {
  switch (op) {
    case kCalcAdd: return s(u(left) + u(value));
    case kCalcSub: return s(u(left) - u(value));
    case kCalcMul: return s(u(left) * u(value));
    case kCalcDiv:
      if (value == 0) return 0;
      // The one quotient that does not fit: wrap-around gives INT64_MIN.
      if (value == -1) return s(0 - u(left));
      return left / value;
    case kCalcOr: return left | value;
    case kCalcAnd: return left & value;
    case kCalcXor: return left ^ value;
    case kCalcShl: return s(u(left) << (value & kCalcShiftMask));
    case kCalcShr: return left >> (value & kCalcShiftMask);  // arithmetic in C++20
    default: return value;
  }
}

void Calculator::digit(int d) {
  if (fresh) {
    value = d;
    fresh = false;
  } else {
    value = s(u(value) * 16 + static_cast<uint64_t>(d));
  }
}

void Calculator::operation(int code) {
  int64_t r = value;
  if (op != kCalcNone) r = CalcApply(op, left, value);
  left = r;
  value = r;
  op = code;
  fresh = true;
}

void Calculator::equals() {
  if (op != kCalcNone) value = CalcApply(op, left, value);
  op = kCalcNone;
  fresh = true;
}

void Calculator::clear() {
  left = 0;
  value = 0;
  op = kCalcNone;
}

void Calculator::complement() { value = s(~u(value) & kLow32); }

void Calculator::negate() { value = s(0 - u(value)); }

void Calculator::memRecall() {
  value = mem;
  fresh = true;
}

void Calculator::memAdd() { mem = s(u(mem) + u(value)); }

std::string CalcDecText(int64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  return buf;
}

std::string CalcHexText(int64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u(v) & kLow32));
  return buf;
}

std::string CalcBinText(int64_t v) {
  uint64_t x = u(v) & kLow32;
  if (x == 0) return "0";
  std::string out;
  for (; x; x >>= 1) out.insert(out.begin(), (x & 1) ? '1' : '0');
  return out;
}

int64_t CalcParseDec(const char* text) {
  if (!text) return 0;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  const uint64_t magnitude = parseUnsigned(text, 10);
  if (negative) return magnitude >= u(INT64_MIN) ? INT64_MIN : -static_cast<int64_t>(magnitude);
  return magnitude > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(magnitude);
}

int64_t CalcParseHex(const char* text) { return s(parseUnsigned(text, 16)); }

int64_t CalcParseBin(const char* text) { return s(parseUnsigned(text, 2)); }
