#pragma once
// Number formats of the loader's log lines, and a line builder that formats nothing unless the log
// accepts the line's level. Internal to the loader.
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/debug_server.h"

namespace trace_text {

// Identifiers: lower-case hexadecimal without leading zeros.
struct Hex {
    uint32_t value;
};
// Float values printed as their integer part, truncated toward zero.
struct Trunc {
    float value;
};
// Fractions with a fixed count of digits behind the point; oneAsInteger prints exactly 1 as "1".
struct Fixed {
    float value;
    int digits;
    bool oneAsInteger = false;
};

// The integer part as the x86 truncating conversion gives it: values that do not fit (and NaN)
// become INT32_MIN instead of undefined behaviour.
inline int32_t truncated(float f) {
    if (f >= -2147483648.0f && f < 2147483648.0f) return static_cast<int32_t>(f);
    return INT32_MIN;
}

inline void append(std::string& out, std::string_view text) { out.append(text); }
inline void append(std::string& out, const char* text) { out.append(text ? text : "(null)"); }
inline void append(std::string& out, const std::string& text) { out.append(text); }
inline void append(std::string& out, int32_t value) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}
inline void append(std::string& out, uint32_t value) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}
inline void append(std::string& out, Hex hex) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, hex.value, 16);
    out.append(buf, r.ptr);
}
inline void append(std::string& out, Trunc t) { append(out, truncated(t.value)); }
inline void append(std::string& out, Fixed f) {
    if (f.oneAsInteger && f.value == 1.0f) {
        out.push_back('1');
        return;
    }
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.*f", f.digits, static_cast<double>(f.value));
    if (n > 0) out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

// Writes prefix + parts at level when the log would keep it; formats nothing otherwise.
class LineWriter {
public:
    explicit LineWriter(DebugServer& log) : log_(log) {}

    bool accepts(int level) const { return log_.accepts(level); }

    template <class... Parts>
    void line(int level, const Parts&... parts) {
        if (!log_.accepts(level)) return;
        line_.clear();
        (append(line_, parts), ...);
        log_.write(line_.c_str(), level);
    }

    DebugServer& log() const { return log_; }

private:
    DebugServer& log_;
    std::string line_;
};

}  // namespace trace_text
