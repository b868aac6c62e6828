// Whether the self-test mode is on. Kept apart from the engine so that the
// application object can ask (it writes no settings in this mode) without
// linking the script.
#include "autotest/AutoTest.h"

#include <cstdlib>
#include <cstring>

namespace AutoTest {

bool g_init = false;
bool g_on = false;

bool enabled() {
  if (!g_init) {
    const char* v = std::getenv("TILVOX_AUTOTEST");
    g_on = v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
    g_init = true;
  }
  return g_on;
}

bool ownsInput() { return enabled(); }

}  // namespace AutoTest
