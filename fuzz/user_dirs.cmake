# The user-dirs.dirs reader that finds the videos folder.
glimmer_fuzzer(fuzz_user_dirs SOURCES user_dirs.cpp DEPS glimmer_platform)
