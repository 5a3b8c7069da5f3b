// Where the aircraft are and who hears them: the CPR encoder against published frames and a
// decoder written from the standard, the station's geometry, the reach of a receiver, and
// the sky heard with ranges and a shadow.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cpr_decode.h"
#include "tools/sim/feed_line.h"
#include "tools/sim/frame_builder.h"
#include "tools/sim/simulation.h"

namespace quorvex::sim {
namespace {

using test::DecodeGlobal;
using test::DecodeLocal;

// The published pair 8D40621D58C382D690C8AC2863A7 (even) and 8D40621D58C386435CC412692AD6
// (odd), 38000 ft; each position is where its frame decodes to (the odd one was sent a
// moment later, a little further on).
TEST(CprEncoderTest, PublishedFramesComeOutBitForBit) {
    struct Row {
        double latitude, longitude;
        bool odd;
        CprFields fields;
        const char* frame;
    };
    const Row rows[] = {
        {52.2572021484375, 3.91937255859375, false, {93000, 51372}, "8D40621D58C382D690C8AC2863A7"},
        {52.26578017412606,
         3.9389125279017856,
         true,
         {74158, 50194},
         "8D40621D58C386435CC412692AD6"},
        // Rounded to five decimals the even position still gives its frame.
        {52.25720, 3.91937, false, {93000, 51372}, "8D40621D58C382D690C8AC2863A7"},
    };
    SimRandom random(1);
    for (const Row& row : rows) {
        EXPECT_EQ(EncodeAirbornePosition(row.latitude, row.longitude, row.odd), row.fields)
            << row.frame;
        Aircraft a;
        a.address = 0x40621D;
        a.altitude = 38000;
        a.latitude = row.latitude;
        a.longitude = row.longitude;
        a.oddPosition = row.odd;
        EXPECT_EQ(FrameHex(BuildFrame(FrameKind::Position, a, random)), row.frame);
    }
}

// NL against the standard's table of transition latitudes.
TEST(CprEncoderTest, LongitudeZonesFollowTheTable) {
    const std::pair<double, int> rows[] = {
        {0, 59},     {10.47, 59},   {10.48, 58}, {-10.48, 58}, {51.89, 37},
        {51.90, 36}, {52.2572, 36}, {53.09, 36}, {53.10, 35},  {86.53, 3},
        {86.54, 2},  {87.0, 2},     {87.01, 1},  {-89.9, 1},
    };
    for (const auto& [latitude, zones] : rows)
        EXPECT_EQ(LongitudeZones(latitude), zones) << latitude;
}

// Encoded and decoded again, globally from a pair and locally near a reference some 150 NM
// away: back to within the 17-bit resolution, in every quarter of the globe and at zone
// edges.
TEST(CprEncoderTest, WhatIsEncodedDecodesToTheSamePlace) {
    const Position places[] = {
        {52.0, 5.0},     {52.2572, 3.91937}, {-33.9461, 18.6017}, {40.6413, -73.7781},
        {-22.8, -43.25}, {0.001, 179.999},   {10.4705, -0.0001},  {71.3, 25.0},
        {6.0, 6.0},      {-6.0, -170.0},     {59.999, 0.5},       {86.6, 120.0},
    };
    for (const Position& p : places) {
        SCOPED_TRACE(testing::Message() << p.latitude << "," << p.longitude);
        const CprFields even = EncodeAirbornePosition(p.latitude, p.longitude, false);
        const CprFields odd = EncodeAirbornePosition(p.latitude, p.longitude, true);
        const auto global = DecodeGlobal(even, odd);
        ASSERT_TRUE(global.has_value());
        EXPECT_NEAR(global->latitude, p.latitude, 0.0001);
        EXPECT_NEAR(global->longitude, p.longitude, 0.0001 / std::cos(p.latitude / 57.3));
        const Position reference{p.latitude + 1.5, p.longitude - 1.5};
        for (const bool isOdd : {false, true}) {
            const Position local = DecodeLocal(isOdd ? odd : even, isOdd, reference);
            EXPECT_NEAR(local.latitude, p.latitude, 0.0001) << isOdd;
            EXPECT_NEAR(local.longitude, p.longitude, 0.0001 / std::cos(p.latitude / 57.3))
                << isOdd;
        }
    }
}

// Ranges and bearings worked out apart (vectors on the unit sphere, 6371 km, 1852 m).
TEST(StationTest, RangeBearingAndSector) {
    struct Row {
        Station station;
        Position point;
        double range, bearing;
        int sector;
    };
    const Row rows[] = {
        {{52, 5}, {53, 5}, 60.0405, 0, 0},
        {{52, 5}, {51, 5}, 60.0405, 180, 18},
        {{52, 5}, {52, 6}, 36.9643, 89.6060, 8},
        {{0, 0}, {0, 1}, 60.0405, 90, 9},
        {{0, 0}, {1, 1}, 84.9079, 44.9956, 4},
        {{52, 5}, {50.5, 3.2}, 112.6282, 217.6155, 21},
        {{-33.9, 18.6}, {-34.5, 20.1}, 82.7400, 116.2299, 11},
        {{52, 5}, {52.5, 4.99999}, 30.0202, 359.99930, 35},
    };
    for (const Row& row : rows) {
        const RangeBearing rb = FromStation(row.station, row.point.latitude, row.point.longitude);
        EXPECT_NEAR(rb.range, row.range, 0.0005) << row.point.latitude;
        EXPECT_NEAR(rb.bearing, row.bearing, 0.0005) << row.point.latitude;
        EXPECT_EQ(SectorOf(rb.bearing), row.sector) << row.point.latitude;
        const Position back = PointFrom(row.station, row.range, row.bearing);
        EXPECT_NEAR(back.latitude, row.point.latitude, 1e-5);
        EXPECT_NEAR(back.longitude, row.point.longitude, 1e-5);
    }
    const std::pair<double, int> sectors[] = {{0, 0},     {9.999, 0}, {10, 1},  {359.99, 35},
                                              {360.0, 0}, {-0.5, 35}, {245, 24}};
    for (const auto& [bearing, sector] : sectors) EXPECT_EQ(SectorOf(bearing), sector) << bearing;
}

TEST(StationTest, ReachFallsWithRangeAndAShadowHearsNothing) {
    const Reach far{100, {{240, 300, 60}, {350, 10, 0}}};
    struct Row {
        double range, bearing, factor;
    };
    const Row rows[] = {
        {0, 90, 1},           {75, 90, 1},    {81.25, 90, 0.84375}, {87.5, 90, 0.5},
        {93.75, 90, 0.15625}, {100, 90, 0},   {400, 90, 0},         {61, 250, 0},
        {60, 250, 1},         {61, 239.9, 1}, {61, 300, 0},         {61, 300.1, 1},
        {1, 355, 0},          {1, 5, 0},      {1, 10.1, 1},         {87.5, 180, 0.5},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(far.Factor({row.range, row.bearing}), row.factor, 1e-12)
            << row.range << " NM at " << row.bearing;
    }
    const Reach unlimited{0, {{0, 360, 50}}};
    EXPECT_EQ(unlimited.Factor({5000, 123}), 0);  // 0-360: all around
    EXPECT_EQ(unlimited.Factor({50, 123}), 1);
}

// Aircraft all around the station out to the edge of the sky; hours on, none has strayed
// beyond it nor out of its altitudes, and the outbound ones have turned back.
TEST(StationTest, AircraftFlyAroundTheStationAndStayInTheSky) {
    SkySettings settings;
    settings.aircraft = 400;
    settings.station = {-20, 170};
    std::vector<Aircraft> sky = MakeSky(settings);
    std::array<int, kSectorCount> sectors{};
    int beyond200 = 0;
    for (Aircraft& a : sky) {
        const RangeBearing start = FromStation(settings.station, a.latitude, a.longitude);
        ++sectors[SectorOf(start.bearing)];
        beyond200 += start.range > 200;
        const double north = a.northKnots;
        double farthest = 0;
        for (int minute = 0; minute < 150; ++minute) {
            Fly(a, 60, settings.station);
            farthest =
                std::max(farthest, FromStation(settings.station, a.latitude, a.longitude).range);
            ASSERT_GE(a.altitude, 2000);
            ASSERT_LE(a.altitude, 40000);
        }
        EXPECT_LT(farthest, 260);
        EXPECT_NE(a.northKnots, north);  // 2.5 hours at 250 kt or more cross the sky
    }
    EXPECT_GT(*std::min_element(sectors.begin(), sectors.end()), 3);
    EXPECT_GT(beyond200, 400 * 0.25);  // a third of the area
}

// The longitude field of a feed line of type 3.
double FeedLongitude(const std::string& line) {
    std::size_t at = 0;
    for (int field = 0; field < 15; ++field) at = line.find(',', at) + 1;
    return std::stod(line.substr(at, line.find(',', at) - at));
}

// Over the antimeridian the longitudes written stay from -180 (not included) to 180, the
// feed's rounded to its five decimals too.
TEST(StationTest, LongitudesStayWithinRangeAcrossTheAntimeridian) {
    const struct {
        double longitude;
        const char* written;
    } rows[] = {
        {-180.00015, "179.99985"},  {180.00015, "-179.99985"}, {-179.999996, "180.00000"},
        {-180.0, "180.00000"},      {180.0, "180.00000"},      {539.5, "179.50000"},
        {-179.99994, "-179.99994"}, {5.123456, "5.12346"},
    };
    for (const auto& row : rows) {
        Aircraft a;
        a.longitude = row.longitude;
        const std::string line = FeedLine(3, a, 0);
        EXPECT_NE(line.find(std::string(",") + row.written + ","), std::string::npos)
            << row.longitude << ": " << line;
    }
    EXPECT_EQ(PointFrom({0, 180}, 0, 0).longitude, 180.0);
    EXPECT_NEAR(PointFrom({0, 179.9}, 60, 90).longitude, -179.1, 0.001);

    SkySettings settings;
    settings.aircraft = 200;
    settings.station = {-17, 179.8};
    std::vector<Aircraft> sky = MakeSky(settings);
    int east = 0, west = 0;
    for (Aircraft& a : sky) {
        for (int step = 0; step < 360; ++step) {
            Fly(a, 10, settings.station);
            ASSERT_GT(a.longitude, -180.0);
            ASSERT_LE(a.longitude, 180.0);
            const double written = FeedLongitude(FeedLine(3, a, 0));
            ASSERT_GT(written, -180.0);
            ASSERT_LE(written, 180.0);
            // Still where it was: the range from the station is the sky's.
            ASSERT_LT(FromStation(settings.station, a.latitude, a.longitude).range, 300);
        }
        (a.longitude > 0 ? east : west) += 1;
    }
    EXPECT_GT(east, 20);
    EXPECT_GT(west, 20);
}

// Receiver 1 hears at any range, receiver 2 out to 150 NM and not in 240-300 beyond 60 NM;
// both hear everything else as well as each other. Position frames by range and sector.
TEST(StationTest, TheSkyIsHeardLessFarOutAndNotAtAllInTheShadow) {
    SimSettings settings;
    settings.sky.seed = 5;
    settings.sky.aircraft = 300;
    settings.sky.hear[0] = settings.sky.hear[1] = 1;
    settings.sky.distantShare = 0;
    settings.corruptShare = 0;
    settings.reach[1] = {150, {{240, 300, 60}}};
    Simulation simulation(settings);
    struct Band {
        double from, to;
        std::int64_t heard[2];
    };
    Band bands[] = {{0, 105, {}}, {105, 120, {}}, {120, 140, {}}, {140, 150, {}}, {150, 300, {}}};
    std::int64_t shadowed[2] = {};
    simulation.Advance(30, [&](Source source, Unit&& unit) {
        if (source == Source::Feed || unit.sector < 0) return;
        const int r = static_cast<int>(source);
        if (unit.sector >= 24 && unit.sector < 30 && unit.range > 60) {
            ++shadowed[r];
            return;
        }
        for (Band& band : bands) band.heard[r] += unit.range >= band.from && unit.range < band.to;
    });
    EXPECT_GT(shadowed[0], 500);
    EXPECT_EQ(shadowed[1], 0);
    const auto ratio = [](const Band& b) {
        EXPECT_GT(b.heard[0], 500) << b.from;
        return static_cast<double>(b.heard[1]) / static_cast<double>(b.heard[0]);
    };
    EXPECT_NEAR(ratio(bands[0]), 1.0, 0.1);
    EXPECT_GT(ratio(bands[1]), 0.8);  // the curve from 1 at 112.5 NM: 0.99 at 120 NM
    EXPECT_GT(ratio(bands[2]), 0.35);
    EXPECT_LT(ratio(bands[2]), 0.8);
    EXPECT_LT(ratio(bands[3]), 0.15);
    EXPECT_EQ(bands[4].heard[1], 0);
}

}  // namespace
}  // namespace quorvex::sim
