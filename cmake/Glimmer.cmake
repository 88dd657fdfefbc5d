# Build settings shared by every target, and the helpers that tests and fuzzers use.

add_compile_options(-Wall -Wextra)
if(GLIMMER_WERROR)
  add_compile_options(-Werror)
endif()

if(GLIMMER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(GLIMMER_LIBFUZZER)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(EMSCRIPTEN)
  # The page's libraries, compiled to WebAssembly by scripts/build-web-deps.sh (`make web`).
  set(GLIMMER_WEB_DEPS "" CACHE PATH "The folder scripts/build-web-deps.sh built the page's libraries into")
  set(ENV{PKG_CONFIG_PATH} "${GLIMMER_WEB_DEPS}/lib/pkgconfig")
  # They live outside emscripten's sysroot, where its toolchain would look only.
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
endif()
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# glimmer_test(NAME SOURCES a.cpp b.cpp DEPS lib... [LABELS slow ...])
# One GoogleTest program per subsystem; each TEST becomes one ctest test. Tests run headless:
# SDL uses its offscreen video driver and its dummy audio driver unless a test says otherwise.
function(glimmer_test name)
  cmake_parse_arguments(T "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${name} PRIVATE
    GLIMMER_SOURCE_DIR="${PROJECT_SOURCE_DIR}" GLIMMER_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # One variable per property: test discovery splits a list value into separate words.
  set(props ENVIRONMENT SDL_VIDEODRIVER=offscreen ENVIRONMENT_MODIFICATION SDL_AUDIODRIVER=set:dummy)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${props})
endfunction()

if(EMSCRIPTEN)
  # The browser build: emscripten supplies GL (WebGL through its fixed-function emulation) and
  # GLU, and C++ exceptions are WebAssembly's own.
  add_library(OpenGL::GL INTERFACE IMPORTED)
  add_library(OpenGL::GLU INTERFACE IMPORTED)
  add_compile_options(-fwasm-exceptions)
  add_link_options(-fwasm-exceptions)
  # Debian's emscripten finds the node modules its linker runs (acorn) there.
  set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")
  return()
endif()

# Libraries every GL-facing subsystem shares. libGL (not libOpenGL) so that the compatibility
# profile's immediate mode resolves through the same dispatch under GLX and EGL.
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
