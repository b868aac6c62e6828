# The static library `imgui`: Dear ImGui (docking branch) with its SDL2 and
# OpenGL 3 backends, from the copy that tools/fetch-imgui.sh places in
# .deps/imgui. Its headers are SYSTEM includes and it is compiled without
# the project's warning flags, as third-party code.
set(IMGUI_DIR ${CMAKE_SOURCE_DIR}/.deps/imgui)
if(NOT EXISTS ${IMGUI_DIR}/.stamp)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TILVOX_DEPS_DIR=${CMAKE_SOURCE_DIR}/.deps
    ${CMAKE_SOURCE_DIR}/tools/fetch-imgui.sh RESULT_VARIABLE fetch_result)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "Fetching Dear ImGui failed; run tools/fetch-imgui.sh")
  endif()
endif()

pkg_check_modules(IMGUI_SDL2 REQUIRED IMPORTED_TARGET sdl2)
add_library(imgui STATIC
  ${IMGUI_DIR}/imgui.cpp
  ${IMGUI_DIR}/imgui_draw.cpp
  ${IMGUI_DIR}/imgui_widgets.cpp
  ${IMGUI_DIR}/imgui_tables.cpp
  ${IMGUI_DIR}/imgui_demo.cpp
  ${IMGUI_DIR}/misc/cpp/imgui_stdlib.cpp
  ${IMGUI_DIR}/backends/imgui_impl_sdl2.cpp
  ${IMGUI_DIR}/backends/imgui_impl_opengl3.cpp)
target_include_directories(imgui SYSTEM PUBLIC ${IMGUI_DIR} ${IMGUI_DIR}/backends ${IMGUI_DIR}/misc/cpp)
target_link_libraries(imgui PUBLIC PkgConfig::IMGUI_SDL2 ${CMAKE_DL_LIBS})
