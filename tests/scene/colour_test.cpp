#include "scene/colour.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Colour, ChannelsRoundHalfToEvenAndStoreShifted) {
    Colour c(127.5f, 128.5f, 2.4f);
    EXPECT_EQ(c.getRed(), 128.0f);
    EXPECT_EQ(c.getGreen(), 128.0f);
    EXPECT_EQ(c.getBlue(), 2.0f);
    // Red sits 16 bits up, green 8, blue unshifted.
    EXPECT_EQ(c.stored()[0], 128.0f * 65536.0f);
    EXPECT_EQ(c.stored()[1], 128.0f * 256.0f);
    EXPECT_EQ(c.stored()[2], 2.0f);

    const Colour copy = Colour::fromStored(c.stored());
    EXPECT_EQ(copy.getRed(), 128.0f);
    EXPECT_EQ(Colour().getRed(), 0.0f);
    EXPECT_EQ(Colour(255.0f, 255.0f, 255.0f).getRed(), 255.0f);
}

TEST(Colour, ScaleAddAndClampedAdd) {
    Colour c(100.0f, 51.0f, 3.0f);
    const Colour result = c.scale(0.5f);
    // 25.5 and 1.5 round to the even neighbours.
    EXPECT_EQ(c.getRed(), 50.0f);
    EXPECT_EQ(c.getGreen(), 26.0f);
    EXPECT_EQ(c.getBlue(), 2.0f);
    EXPECT_EQ(result.getGreen(), 26.0f);

    const Colour a(200.0f, 10.0f, 0.0f), b(100.0f, 10.0f, 5.0f);
    const Colour sum = a.add(b);
    EXPECT_EQ(sum.getRed(), 300.0f) << "plain add does not clamp";
    EXPECT_EQ(a.getRed(), 200.0f) << "operands stay unchanged";

    Colour clamped = a;
    clamped.addClamp(b);
    EXPECT_EQ(clamped.getRed(), 255.0f);
    EXPECT_EQ(clamped.getGreen(), 20.0f);
    EXPECT_EQ(clamped.getBlue(), 5.0f);
}

TEST(Colour, DamagedValuesStayFiniteAndBounded) {
    const Colour c(std::nanf(""), 1e30f, -1e30f);
    EXPECT_EQ(c.getRed(), 0.0f);
    EXPECT_TRUE(std::isfinite(c.getGreen()));
    EXPECT_TRUE(std::isfinite(c.getBlue()));
    EXPECT_LT(c.getBlue(), 0.0f);
}

}  // namespace
