# The font import's libFuzzer harness, built only with clang (libFuzzer is
# clang's). Run it with a seed corpus, for example:
#   build-fuzz/tests/font_fuzz tests/fuzz/corpus/font build-fuzz/assets/fonts
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND TARGET tilvox_convert)
  add_executable(font_fuzz ${CMAKE_CURRENT_LIST_DIR}/font_fuzz.cpp)
  target_compile_options(font_fuzz PRIVATE ${TILVOX_WARNINGS} -fsanitize=fuzzer)
  target_link_options(font_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(font_fuzz PRIVATE tilvox_convert)
  add_dependencies(font_fuzz tilvox_assets)
endif()
