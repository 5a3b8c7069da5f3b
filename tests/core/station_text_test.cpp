// The station text ("LAT,LON") and the range and bearing from the station.

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "core/positions/geo.h"
#include "core/positions/station_text.h"

namespace quorvex {
namespace {

TEST(StationTextTest, AcceptsDecimalDegreesInRangeOnly) {
    const struct {
        std::string_view text;
        std::optional<LatLon> want;
    } cases[] = {
        {"52.3,-4.5", LatLon{52.3, -4.5}},
        {" -33.9461 , 151.1772 ", LatLon{-33.9461, 151.1772}},
        {"+90,-180", LatLon{90, -180}},
        {"-90,180", LatLon{-90, 180}},
        {"0,0", LatLon{0, 0}},
        {"5e1,1.5E0", LatLon{50, 1.5}},
        {"90.0001,0", std::nullopt},
        {"0,180.0001", std::nullopt},
        {"52.3", std::nullopt},
        {"52.3,", std::nullopt},
        {",4.5", std::nullopt},
        {"52.3,4.5,7", std::nullopt},
        {"52.3;4.5", std::nullopt},
        {"52.3N,4.5E", std::nullopt},
        {"nan,0", std::nullopt},
        {"0,inf", std::nullopt},
        {"0x10,0", std::nullopt},
        {"1e999,0", std::nullopt},
        {"--1,0", std::nullopt},
        {"1 2,3", std::nullopt},
        {"", std::nullopt},
        {"0,0000000000000000000000000000000000000000000000000000000000000000", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseStation(c.text), c.want) << c.text;
}

TEST(GeoTest, RangeAndBearingOnTheSphere) {
    // Expected values from the haversine and initial-bearing formulas evaluated apart from
    // this code (radius 6371 km, 1852 m to the mile).
    const struct {
        LatLon from, to;
        double rangeNm, bearing;
    } cases[] = {
        {{51.47, -0.4543}, {40.6413, -73.7781}, 2991.366802, 287.943188},
        {{52.3, 4.76}, {52.2572021484375, 3.91937255859375}, 30.986246, 265.575739},
        {{-33.9461, 151.1772}, {-37.669, 144.841}, 380.828376, 232.253429},
        {{0, 179.5}, {0, -179.5}, 60.040457, 90},
        {{89, 0}, {89, 180}, 120.080914, 0},
        {{0, 0}, {-1, 0}, 60.040457, 180},
        {{0, 0}, {0, -1}, 60.040457, 270},
        {{10, 10}, {10, 10}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.to.lat << "," << c.to.lon);
        EXPECT_NEAR(RangeNm(c.from, c.to), c.rangeNm, 1e-5);
        EXPECT_NEAR(BearingDeg(c.from, c.to), c.bearing, 1e-5);
    }
}

}  // namespace
}  // namespace quorvex
