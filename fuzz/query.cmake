# A page's query string read as the command line's words, and every option read from them.
glimmer_fuzzer(fuzz_query SOURCES query.cpp DEPS glimmer_options)
