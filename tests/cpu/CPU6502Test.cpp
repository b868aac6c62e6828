#include "cpu/CPU6502.h"
#include <gtest/gtest.h>
TEST(CPU6502, Smoke) { Machine m; CPU6502 c(m); EXPECT_EQ(c.flagString(), "00100100"); }
