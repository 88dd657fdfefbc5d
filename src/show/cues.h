#pragma once
// Every cue time of the show, in ticks of the demo clock (14 ms). The show builds its CueLists from
// these tables and the content generator writes the soundtrack from them, so picture and music stay
// in step by construction. Each table is ascending and closed by the end marker -1.
#include <cstddef>
#include <cstdint>

namespace cues {

inline constexpr std::int32_t kEndMarker = -1;

inline constexpr std::int32_t scene0Main[] = {1704, 1883, 2091, 2279, 2405, 2642, 2687, 2850, 3036, 3219, -1};
inline constexpr std::int32_t scene0Zoom[] = {2405, 3036, -1};
inline constexpr std::int32_t scene1[] = {3235, 3570, 3952, 4352, 4761, 5089, 5510, 5882, 6282, -1};
inline constexpr std::int32_t scene2Main[] = {6320, 6515, 6710, 6903, 7090, 7281, 7470, 7661, 7852, -1};
inline constexpr std::int32_t scene2Fade[] = {7700, -1};
inline constexpr std::int32_t scene3[] = {7825, 8043, 8238, 8427, 8616, 8806, 9002, 9135, -1};
inline constexpr std::int32_t scene4Main[] = {9150, 9495, 10046, 10912, -1};
inline constexpr std::int32_t scene4Fade[] = {10640, -1};
inline constexpr std::int32_t title[] = {10912, 11620, 12755, -1};
inline constexpr std::int32_t end[] = {13100, -1};
inline constexpr std::int32_t lineFieldRamp[] = {1650, -1};
inline constexpr std::int32_t jitter[] = {
    1530, 1883, 2091, 2279, 2405, 2642, 2687, 4923, 5695, 5755,
    6639, 7004, 7459, 7470, 7990, 8531, 8751, 9495, 10046, 10278, -1};
inline constexpr std::int32_t tintFlash[] = {5918, 8962, 10515, -1};
inline constexpr std::int32_t glowFade[] = {11100, -1};

inline constexpr std::int32_t lightBar[] = {
    3243, 3273, 3306, 3334, 3565, 3592, 3615, 3655, 3692, 3731,
    3990, 4032, 4069, 4101, 4128, 4378, 4411, 4449, 4482, 4513,
    4765, 4797, 4826, 4859, 5096, 5119, 5143, 5184, 5214, 5253,
    5526, 5556, 5588, 5622, 5656, 5900, 5932, 5970, 6004, 7822,
    7846, 7871, 7897, 8141, 8163, 8188, 8222, 8260, 8567, 8604,
    8641, 8677, 8956, 8988, 9022, 9055, 9328, 9361, 9397, 9434,
    9667, 9690, 9715, 9752, 9786, 9826, 10093, 10130, 10163, 10196,
    10469, 10503, 10541, 10574, -1};

// Lights up one sprite after another, in groups of three.
inline constexpr std::int32_t glowSprite[] = {
    185, 239, 278,       559, 609, 650,       954, 994, 1040,      1328, 1376, 1430,
    1718, 1760, 1804,    2102, 2147, 2193,    2477, 2522, 2568,    2862, 2905, 2951,
    3240, 3284, 3328,    3612, 3662, 3714,    3995, 4046, 4094,    4382, 4429, 4474,
    4767, 4811, 4854,    5144, 5190, 5235,    5525, 5571, 5616,    5905, 5949, 5997,
    6283, 6332, 6382,    6673, 6718, 6764,    7051, 7095, 7143,    7431, 7472, 7519,
    7816, 7857, 7902,    8191, 8235, 8281,    8570, 8617, 8663,    8951, 8999, 9046,
    9330, 9380, 9422,    9720, 9764, 9811,    10096, 10141, 10188, 10479, 10526, 10573,
    10856, 10902, 10951, 11231, 11281, 11334, 11611, 11659, 11710, 12005, 12050, 12096, -1};

// Number of cues in a table, without the end marker.
template <std::size_t N>
constexpr std::size_t count(const std::int32_t (&)[N]) { return N - 1; }

// The show's last tick: the end cue.
inline constexpr std::int32_t kShowEnd = end[0];

}  // namespace cues
