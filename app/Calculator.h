// The number converter and calculator behind the "Calc converter" window:
// its arithmetic, its keypad state machine and the texts of its three
// number fields. Plain functions and data, free of any window, so that the
// window (app/Dialogs.cpp) is a thin leaf and every rule runs headless.
//
// All arithmetic wraps around in 64 bits. It is done on unsigned values,
// where wrapping is defined, and read back as two's complement.
#pragma once

#include <cstdint>
#include <string>

// Pending operation codes; 0 = none.
enum CalcOp {
  kCalcNone = 0,
  kCalcAdd = 1,
  kCalcSub = 2,
  kCalcMul = 3,
  kCalcDiv = 4,
  kCalcOr = 5,
  kCalcAnd = 6,
  kCalcXor = 7,
  kCalcShl = 8,
  kCalcShr = 9,
};

// Shift counts are taken modulo 32.
constexpr int kCalcShiftMask = 31;

// `op` applied to (left, value). Division truncates toward zero; a zero
// divisor gives 0, and the smallest value divided by -1 gives the smallest
// value again, as 64-bit wrap-around does. `>>` copies the sign bit in.
// An unknown code gives `value`.
int64_t CalcApply(int op, int64_t left, int64_t value);

// The calculator's state and its buttons.
struct Calculator {
  int64_t value = 0;  // displayed and edited
  int64_t left = 0;   // left operand of the pending operation
  int op = kCalcNone;
  bool fresh = false;  // the next digit starts a new number
  int64_t mem = 0;

  void digit(int d);         // hex digit 0-15
  void operation(int code);  // 1-9: finish the pending one, then queue this
  void equals();
  void clear();       // value, left and operation; memory kept
  void complement();  // NOT of the low 32 bits, upper half cleared
  void negate();      // two's complement, 64 bits
  void memStore() { mem = value; }
  void memRecall();
  void memAdd();
  void memClear() { mem = 0; }
};

// Texts of the fields: Dec all 64 bits signed; Hex and Bin the low 32 bits
// without leading zeros.
std::string CalcDecText(int64_t v);
std::string CalcHexText(int64_t v);
std::string CalcBinText(int64_t v);

// Field texts back to a value. Reading stops at the first character that
// is not a digit of the base; no digits give 0. Dec takes a sign and
// saturates at the signed limits; Hex and Bin read unsigned 64-bit numbers
// and saturate at all ones.
int64_t CalcParseDec(const char* text);
int64_t CalcParseHex(const char* text);
int64_t CalcParseBin(const char* text);
