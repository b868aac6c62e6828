#include "convert/FontImport.h"
#include <gtest/gtest.h>
TEST(FontImport, Placeholder) {}
