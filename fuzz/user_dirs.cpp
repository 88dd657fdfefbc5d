// Fuzzes the user-dirs.dirs reader: any text gives either nothing or an absolute folder, and never
// reads outside the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/user_folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string folder = userDirFromConfig(text, "XDG_VIDEOS_DIR", "/home/user");
    if (!folder.empty() && folder[0] != '/') std::abort();
    return 0;
}
