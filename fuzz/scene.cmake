# A KScene built from arbitrary 3DS bytes, textures served from a small archive; no GL context,
# so texture uploads go nowhere.
pkg_check_modules(FUZZ_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
glimmer_fuzzer(fuzz_scene SOURCES scene.cpp ${PROJECT_SOURCE_DIR}/tools/support_archive/archive_writer.cpp
  DEPS glimmer_scene PkgConfig::FUZZ_TURBOJPEG)
