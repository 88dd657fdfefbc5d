#include "scene/kimage.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "base/exception.h"
#include "scene/test_support.h"

namespace {

using scenetest::Environment;
using scenetest::Rgb;

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ExceptionType& e) {
        return e.text();
    }
    return "";
}

TEST(KImage, DecodesBaselineAndProgressiveToTopDownRgb) {
    Environment env;
    const auto top = [](int, int y) { return y < 8 ? Rgb{0, 255, 0} : Rgb{0, 0, 0}; };
    for (bool progressive : {false, true}) {
        const std::string name = env.addFile(progressive ? "p.jpg" : "b.jpg",
                                             scenetest::encodeJpeg(32, 16, top, false, progressive));
        KImage image(name.c_str(), -1, -1);
        ASSERT_TRUE(image.loaded());
        EXPECT_EQ(image.width(), 32);
        EXPECT_EQ(image.height(), 16);
        const uint8_t* first = image.pixels();
        const uint8_t* last = image.pixels() + (15 * 32 + 31) * 3;
        EXPECT_GT(first[1], 200) << "the top row comes first";
        EXPECT_LT(first[0], 40);
        EXPECT_LT(last[1], 40);
    }
}

TEST(KImage, GreyscaleBecomesThreeEqualComponents) {
    Environment env;
    const auto ramp = [](int x, int) { return Rgb{uint8_t(x * 8), 0, 0}; };
    const std::string name = env.addFile("grey.jpg", scenetest::encodeJpeg(32, 8, ramp, true));
    KImage image(name.c_str(), -1, -1);
    for (int i = 0; i < 32 * 8; ++i) {
        const uint8_t* p = image.pixels() + i * 3;
        ASSERT_EQ(p[0], p[1]) << "pixel " << i;
        ASSERT_EQ(p[1], p[2]) << "pixel " << i;
    }
    EXPECT_GT(image.pixels()[31 * 3], 200);
}

TEST(KImage, UsageCountSharesOneDecompressorAndLogsEachStep) {
    Environment env;
    const auto solid = [](int, int) { return Rgb{10, 20, 30}; };
    const std::vector<uint8_t> jpeg = scenetest::encodeJpeg(256, 256, solid);
    const std::string a = env.addFile("a.jpg", jpeg), b = env.addFile("b.jpg", jpeg);
    {
        KImage first(a.c_str(), -1, -1);
        EXPECT_EQ(KImage::usageCount(), 1);
        KImage second;
        EXPECT_EQ(second.load(b.c_str(), -1, -1), 2);
        EXPECT_EQ(second.width() * second.height() * 3, 196608);
        EXPECT_EQ(env.count("{KImage::KImage()}: Usage count equals zero - allocating shared data..."), 1);
        EXPECT_TRUE(env.logged("{KImage::KImage()}: Reading " + a + "...Done! (" + std::to_string(jpeg.size()) +
                               " bytes read.)"));
    }
    EXPECT_EQ(KImage::usageCount(), 0);
    EXPECT_EQ(env.count("{KImage::KImage}: Freeing image buffer"), 2);
    EXPECT_EQ(env.count("{KImage::KImage()}: Usage count dropped to zero - freeing shared data...Done."), 1);

    // An image that never loaded says so and does not touch the count.
    env.clearLog();
    { KImage empty; }
    EXPECT_TRUE(env.logged("WARNING: imageBuffer address==0 - not freeing it!"));
    EXPECT_EQ(KImage::usageCount(), 0);
    EXPECT_EQ(env.lines().front(), "{KImage::KImage()}: Allocating resources...");
    EXPECT_EQ(env.lines().back(), "{KImage::~KImage()}: Done.");
}

TEST(KImage, UnreadableFilesFailWithTheReadError) {
    Environment env;
    const auto noise = [](int x, int y) { return Rgb{uint8_t(x * 37 ^ y * 11), uint8_t(x * y), uint8_t(x + y)}; };
    const std::vector<uint8_t> good = scenetest::encodeJpeg(128, 128, noise);
    // Headers intact, picture data cut short.
    std::vector<uint8_t> truncated(good.begin(), good.end() - long(good.size() / 2));
    std::vector<uint8_t> garbage(300, 0x5a);
    // A header that claims a zero height.
    std::vector<uint8_t> zeroSized = good;
    for (size_t i = 0; i + 8 < zeroSized.size(); ++i) {
        if (zeroSized[i] == 0xFF && zeroSized[i + 1] == 0xC0) {
            zeroSized[i + 5] = 0;
            zeroSized[i + 6] = 0;
            break;
        }
    }
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"truncated.jpg", truncated}, {"garbage.jpg", garbage}, {"zero.jpg", zeroSized}, {"empty.jpg", {}}};
    for (const auto& [file, bytes] : cases) {
        const std::string name = env.addFile(file, bytes);
        env.clearLog();
        KImage image;
        EXPECT_EQ(errorOf([&] { image.load(name.c_str(), -1, -1); }),
                  "Error - couldn't read file " + name + "! Aborting...")
            << file;
        EXPECT_FALSE(image.loaded());
        EXPECT_EQ(image.pixels(), nullptr);
        EXPECT_TRUE(env.logged("{KImage::KImage()}: Reading " + name + "...Failed!")) << file;
        EXPECT_EQ(KImage::usageCount(), 0);
    }

    // The decompressor left behind by the failures serves the next image.
    const std::string name = env.addFile("fine.jpg", good);
    KImage fine(name.c_str(), -1, -1);
    EXPECT_EQ(KImage::usageCount(), 1);
}

TEST(KImage, FitsTextureOnlyAtItsDecodedSize) {
    Environment env;
    const auto solid = [](int, int) { return Rgb{1, 2, 3}; };
    const std::string square = env.addFile("sq.jpg", scenetest::encodeJpeg(64, 32, solid));
    const std::string odd = env.addFile("odd.jpg", scenetest::encodeJpeg(48, 30, solid));
    EXPECT_TRUE(KImage(square.c_str(), -1, -1).fitsTexture());
    EXPECT_TRUE(KImage(odd.c_str(), -1, -1).fitsTexture());
    // A recorded size other than the decoded one would make GL read past the pixels.
    KImage bigger(square.c_str(), 128, 128);
    EXPECT_EQ(bigger.width(), 128);
    EXPECT_FALSE(bigger.fitsTexture());
    EXPECT_FALSE(KImage().fitsTexture());
}

// The offset of the frame header (SOF0) marker, whose fields start 5 bytes behind it with the height.
size_t frameHeader(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) return i;
    ADD_FAILURE() << "no SOF0 marker";
    return 0;
}

TEST(KImage, WarningThatLosesNoDataStillLoads) {
    Environment env;
    const auto noise = [](int x, int y) { return Rgb{uint8_t(x * 37 ^ y * 11), uint8_t(x * y), uint8_t(x + y)}; };
    const std::vector<uint8_t> good = scenetest::encodeJpeg(40, 24, noise);
    // Bytes before a marker: the decoder warns "extraneous bytes before marker" and skips them.
    std::vector<uint8_t> padded = good;
    padded.insert(padded.begin() + long(frameHeader(good)), {0x12, 0x34});
    KImage clean(env.addFile("good.jpg", good).c_str(), -1, -1);
    KImage recovered(env.addFile("padded.jpg", padded).c_str(), -1, -1);
    ASSERT_TRUE(recovered.loaded());
    EXPECT_EQ(std::vector<uint8_t>(recovered.pixels(), recovered.pixels() + 40 * 24 * 3),
              std::vector<uint8_t>(clean.pixels(), clean.pixels() + 40 * 24 * 3));
}

// A picture too large for the memory left: the read error, and no "Failed!" line (nothing was
// decoded). The address space is capped for the moment, so the 12 GB request fails for certain.
TEST(KImage, FailedPixelAllocationRaisesTheReadError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports failed allocations itself";
#else
    Environment env;
    std::vector<uint8_t> huge = scenetest::solidJpeg(16, 16, {9, 9, 9});
    const size_t sof = frameHeader(huge);
    for (size_t i : {sof + 5, sof + 7}) huge[i] = 0xFF, huge[i + 1] = 0xDC;  // 65500 x 65500
    const std::string name = env.addFile("huge.jpg", huge);
    const std::string fine = env.addFile("fine.jpg", scenetest::solidJpeg(16, 16, {9, 9, 9}));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit capped = saved;
    capped.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 30);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    KImage image;
    const std::string error = errorOf([&] { image.load(name.c_str(), -1, -1); });
    setrlimit(RLIMIT_AS, &saved);

    EXPECT_EQ(error, "Error - couldn't read file " + name + "! Aborting...");
    EXPECT_FALSE(env.logged("{KImage::KImage()}: Reading " + name + "...Failed!"));
    EXPECT_EQ(image.pixels(), nullptr);
    EXPECT_TRUE(KImage(fine.c_str(), -1, -1).loaded()) << "the reader serves the next image";
#endif
}

}  // namespace
