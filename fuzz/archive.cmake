# The archive directory reader and name look-up, checked against the whole-file reference.
glimmer_fuzzer(fuzz_archive SOURCES archive.cpp DEPS glimmer_archive)
