#include "common/Numeric.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

using namespace tarvex;

TEST(Round, TiesGoToEven) {
    const struct {
        Real in;
        std::int64_t out;
    } rows[] = {{2.5L, 2},   {3.5L, 4},    {-2.5L, -2},  {-3.5L, -4}, {0.5L, 0},
                {1.5L, 2},   {2.4999L, 2}, {2.5001L, 3}, {-0.5L, 0},  {17665.0L, 17665},
                {-4.4L, -4}, {9.4014L, 9}, {1.0637L, 1}};
    for (const auto& r : rows) EXPECT_EQ(Round(r.in), r.out) << static_cast<double>(r.in);
}

TEST(FloorCeil, DirectionsAndInt64Variants) {
    EXPECT_EQ(Floor(2.9L), 2);
    EXPECT_EQ(Floor(-2.1L), -3);
    EXPECT_EQ(Ceil(2.1L), 3);
    EXPECT_EQ(Ceil(-2.9L), -2);
    EXPECT_EQ(Ceil(3686.4L), 3687);
    EXPECT_EQ(CeilInt64(69.0L), 69);
    EXPECT_EQ(CeilInt64(66.67L), 67);
    EXPECT_EQ(CeilInt64(2.5L), 3); // Round gives 2, the argument lies above it
    EXPECT_EQ(CeilInt64(-2.5L), -2);
    EXPECT_EQ(CeilInt64(5e12L + 0.25L), 5000000000001LL);
    EXPECT_EQ(FloorInt64(-0.5L), -1);
    EXPECT_EQ(FloorInt64(5e12L + 0.75L), 5000000000000LL);
}

TEST(CheckedConversions, OutOfRangeAndNonFiniteThrow) {
    const Real inf = std::numeric_limits<Real>::infinity();
    const Real nan = std::numeric_limits<Real>::quiet_NaN();
    EXPECT_THROW(Floor(3e9L), FloatError);
    EXPECT_THROW(Ceil(-3e9L), FloatError);
    EXPECT_THROW(Round(1e19L), FloatError);
    EXPECT_THROW(Round(nan), FloatError);
    EXPECT_THROW(Floor(inf), FloatError);
    EXPECT_THROW(CeilInt64(-inf), FloatError);
    EXPECT_THROW(FloorInt64(1e30L), FloatError);
    EXPECT_THROW(ToDouble(1e4000L), FloatError);
    EXPECT_EQ(Floor(2147483647.5L), 2147483647);
}

TEST(Div, ZeroDivisorsAndOverflowThrow) {
    EXPECT_THROW(Div(1, 0), FloatError);
    EXPECT_THROW(Div(0, 0), FloatError);
    EXPECT_THROW(Div(1e4900L, 1e-4900L), FloatError);
    EXPECT_EQ(Div(7, 2), 3.5L);
}

TEST(Half, TruncatesTowardZero) {
    EXPECT_EQ(Half(-7), -3);
    EXPECT_EQ(Half(7), 3);
    EXPECT_EQ(Half(-1), 0);
}

TEST(Store, WrapsIntoFixedWidthFields) {
    EXPECT_EQ(Store<std::int16_t>(32768), -32768);
    EXPECT_EQ(Store<std::uint16_t>(70000), 70000 - 65536);
    EXPECT_EQ(Store<std::uint32_t>(-1), 0xFFFFFFFFu);
    EXPECT_EQ(Store<std::int8_t>(200), -56);
}

TEST(FloatToStr, ShortestGeneralForm) {
    const struct {
        Real in;
        const char* out;
    } rows[] = {{1.7665L, "1.7665"},
                {-0.04L, "-0.04"},
                {2.0L, "2"},
                {0.0L, "0"},
                {static_cast<double>(0.81), "0.81"},
                {1.0 / 3.0, "0.333333333333333"},
                {1.3675L, "1.3675"},
                {123456789012345.0L, "123456789012345"},
                {1e15L, "1E15"},
                {0.00001L, "0.00001"},
                {0.000001L, "1E-6"},
                {-1234.5L, "-1234.5"},
                {100.0L, "100"},
                {9999.0L, "9999"}};
    for (const auto& r : rows) EXPECT_EQ(FloatToStr(r.in, '.'), r.out);
}

TEST(FloatToStr, UsesTheGivenSeparator) {
    EXPECT_EQ(FloatToStr(1.7665L, ','), "1,7665");
    EXPECT_EQ(FloatToStr(1.5e-6L, ','), "1,5E-6");
}

TEST(TryStrToInt, AcceptsNumbersOnly) {
    const std::pair<const char*, std::int32_t> good[] = {
        {"120", 120}, {"  -4", -4}, {"0x10", 16}, {"$ff", 255}, {"2147483647", 2147483647}};
    std::int32_t v = 42;
    for (const auto& [text, value] : good) {
        EXPECT_TRUE(TryStrToInt(text, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    v = 7;
    for (const char* bad : {"", " ", "abc", "12a", "1.5", "-", "2147483648", "99999999999", "0x"})
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    EXPECT_EQ(v, 7);
}

TEST(TryStrToFloat, AcceptsRealNumbersOnly) {
    const struct {
        const char* in;
        Real out;
    } good[] = {{"4432", 4432.0L}, {" 1.5 ", 1.5L},  {"-2", -2.0L},  {".25", 0.25L},
                {"3.", 3.0L},      {"1E3", 1000.0L}, {"+7e-1", 0.7L}};
    for (const auto& r : good) {
        Real v = 0;
        EXPECT_TRUE(TryStrToFloat(r.in, v, '.')) << r.in;
        EXPECT_EQ(v, r.out) << r.in;
    }
    Real v = 42;
    for (const char* bad :
         {"", " ", "-", ".", "1.2.3", "1e", "1e+", "abc", "12a", "1,5", "1e99999"})
        EXPECT_FALSE(TryStrToFloat(bad, v, '.')) << bad;
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryStrToFloat("1,5", v, ','));
    EXPECT_EQ(v, 1.5L);
    EXPECT_FALSE(TryStrToFloat("1.5", v, ','));
}

TEST(RoundedToStr, RoundsTiesToEvenAtTheGivenScale) {
    EXPECT_EQ(RoundedToStr(1.76654L, 10000, '.'), "1.7665");
    EXPECT_EQ(RoundedToStr(0.45703125L, 10000000, ','), "0,4570312");
    EXPECT_EQ(RoundedToStr(2.0L, 10000, '.'), "2");
    EXPECT_THROW(RoundedToStr(1e300L, 1e300L, '.'), FloatError);
}
