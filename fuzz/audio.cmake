# Arbitrary bytes as the soundtrack, decoded without a device.
glimmer_fuzzer(fuzz_audio SOURCES audio.cpp DEPS glimmer_audio)
