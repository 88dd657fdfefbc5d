# The 3DS loader from arbitrary bytes; seeds are small valid files.
glimmer_fuzzer(fuzz_loader3ds SOURCES loader3ds.cpp DEPS glimmer_loader3ds)
