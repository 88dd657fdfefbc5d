// Fuzz target: a K3DSContainer built from arbitrary bytes. The log listens (a sink that drops
// the lines), so every trace line is formatted from the input as well.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/debug_server.h"
#include "loader3ds/k3ds_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static DebugServer log(0, 0);
    static const bool listening = (log.setSink([](std::string_view) {}), true);
    (void)listening;
    K3DSContainer container("fuzz.3ds", data, size, log);
    return 0;
}
