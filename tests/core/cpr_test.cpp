// Compact position decoding: NL at its edges, published frames and CPR values (global and
// local, airborne and surface), and frames of the tests' own encoder where nothing is
// published (southern and western hemispheres, poles, 180 degrees, zone edges).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string_view>

#include "core/positions/cpr.h"
#include "core/positions/position_message.h"
#include "support/hex_bytes.h"
#include "tests/core/cpr_test_frames.h"
#include "tools/sim/cpr_encoder.h"

namespace quorvex {
namespace {

CprFrame CprOf(std::string_view hex) {
    const auto message = ReadPositionMessage(test::Bytes(hex));
    EXPECT_TRUE(message.has_value()) << hex;
    return message ? message->cpr : CprFrame{};
}

double LonDifference(double a, double b) {
    return std::abs(std::remainder(a - b, 360.0));
}

void ExpectNear(LatLon got, LatLon want, double tolerance) {
    EXPECT_NEAR(got.lat, want.lat, tolerance);
    EXPECT_LE(LonDifference(got.lon, want.lon), tolerance) << got.lon << " vs " << want.lon;
}

TEST(CprNlTest, FallsByOneJustPastEachTransitionLatitude) {
    for (int nl = 59; nl >= 2; --nl) {
        const double edge = test::NlTransition(nl);
        SCOPED_TRACE(edge);
        EXPECT_EQ(CprNl(edge - 1e-9), nl);
        EXPECT_EQ(CprNl(edge + 1e-9), nl - 1);
        EXPECT_EQ(CprNl(-edge - 1e-9), nl - 1);
    }
    EXPECT_EQ(CprNl(0.0), 59);
    EXPECT_EQ(CprNl(87.0), 2);
    EXPECT_EQ(CprNl(90.0), 1);
    for (double lat = -89.95; lat < 90; lat += 0.1) {
        ASSERT_EQ(CprNl(lat), test::ClosedFormNl(lat)) << lat;
    }
}

TEST(CprPairTest, PublishedAirbornePairs) {
    // The 1090 MHz riddle guide's worked pair, pyModeS's pair, readsb's raw values.
    const CprFrame guideEven = CprOf("8D40621D58C382D690C8AC2863A7");
    const CprFrame guideOdd = CprOf("8D40621D58C386435CC412692AD6");
    const CprFrame pyEven = CprOf("8D40058B58C901375147EFD09357");
    const CprFrame pyOdd = CprOf("8D40058B58C904A87F402D3B8C59");
    const struct {
        CprFrame even, odd;
        bool oddIsNewer;
        LatLon want;
        double tolerance;
    } cases[] = {
        {guideEven, guideOdd, false, {52.2572021484375, 3.91937255859375}, 1e-9},
        {pyEven, pyOdd, true, {49.81755, 6.08442}, 1e-3},
        {pyEven, pyOdd, false, {49.82410, 6.06785}, 1e-3},
        {{false, 80536, 9432}, {true, 61720, 9192}, false, {51.686646, 0.700156}, 1e-6},
        {{false, 80536, 9432}, {true, 61720, 9192}, true, {51.686763, 0.701294}, 1e-6},
        {{false, 80534, 9413}, {true, 61714, 9144}, false, {51.686554, 0.698745}, 1e-6},
        {{false, 80534, 9413}, {true, 61714, 9144}, true, {51.686484, 0.697632}, 1e-6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.want.lat << "," << c.want.lon);
        const CprPairResult result = DecodeAirbornePair(c.even, c.odd, c.oddIsNewer);
        ASSERT_EQ(result.outcome, CprPairOutcome::Decoded);
        ExpectNear(result.position, c.want, c.tolerance);
    }
}

TEST(CprPairTest, OwnEncoderRoundTripsEverywhere) {
    const LatLon places[] = {
        {-33.9461, 151.1772},  // south, east
        {40.6413, -73.7781},   // north, west
        {-34.8222, -58.5358},  // south, west
        {0.0001, -0.0001},     // at the equator and prime meridian
        {51.5, 179.9999},      // east of 180
        {51.5, -179.9999},     // west of 180
        {86.99, 12.3},         // NL 2
        {87.5, -120.0},        // NL 1
        {-89.9, 45.0},         // near the south pole
        {10.470, 5.0},         // just below the first zone edge
        {10.4710, 5.0},        // just above it
    };
    for (const LatLon& place : places) {
        SCOPED_TRACE(testing::Message() << place.lat << "," << place.lon);
        const CprFrame even = test::EncodeCpr(place, false);
        const CprFrame odd = test::EncodeCpr(place, true);
        for (const bool oddIsNewer : {false, true}) {
            const CprPairResult result = DecodeAirbornePair(even, odd, oddIsNewer);
            ASSERT_EQ(result.outcome, CprPairOutcome::Decoded);
            // Within half a CPR step: at most 360 / 2^18 degrees.
            ExpectNear(result.position, place, 1.4e-3);
            EXPECT_GE(result.position.lon, -180.0);
            EXPECT_LT(result.position.lon, 180.0);
        }
    }
}

TEST(CprPairTest, PairAcrossAZoneEdgeIsAMismatchAndOverTheTopBadData) {
    // pyModeS: even latitude 66.38 (NL 23) against odd 66.36 (NL 24).
    EXPECT_EQ(DecodeAirbornePair({false, 8192, 0}, {true, 114688, 0}, false).outcome,
              CprPairOutcome::ZoneMismatch);
    // Own encoder: the even frame just south of the NL 59/58 edge, the odd one just north.
    const double edge = test::NlTransition(59);
    for (const double sign : {1.0, -1.0}) {
        const CprFrame even = test::EncodeCpr({sign * (edge - 0.001), -20}, false);
        const CprFrame odd = test::EncodeCpr({sign * (edge + 0.001), -20}, true);
        EXPECT_EQ(DecodeAirbornePair(even, odd, true).outcome, CprPairOutcome::ZoneMismatch);
    }
    // Even latitude 0 and odd 96128 (44/60 of 2^17) make j = -44: zone 16 of 60, 96 degrees.
    EXPECT_EQ(DecodeAirbornePair({false, 0, 0}, {true, 96128, 0}, false).outcome,
              CprPairOutcome::BadLatitude);
}

TEST(CprLocalTest, PublishedAirborneAndSurfaceReferences) {
    const CprFrame pyEven = CprOf("8D40058B58C901375147EFD09357");
    const CprFrame pyOdd = CprOf("8D40058B58C904A87F402D3B8C59");
    const CprFrame pyEdge = CprOf("8D06A15358BF17FF7D4A84B47B95");
    const CprFrame lfbo = CprOf("903a23ff426a4e65f7487a775d17");  // DF 18 at Toulouse
    const struct {
        CprFrame frame;
        bool surface;
        LatLon reference, want;
        double tolerance;
    } cases[] = {
        // pyModeS, the third with a reference on a zone edge.
        {pyEven, false, {49, 6}, {49.82410, 6.06785}, 1e-3},
        {pyOdd, false, {49, 6}, {49.81755, 6.08442}, 1e-3},
        {pyEdge, false, {30.508474576271183, 36 + 3e-15}, {30.50540, 33.44787}, 1e-3},
        {lfbo, true, {43.63, 1.37}, {43.62646, 1.37476}, 1e-3},
        // readsb: the reference moved about within half a zone.
        {{false, 80536, 9432}, false, {52, 0}, {51.686646, 0.700156}, 1e-6},
        {{true, 61720, 9192}, false, {48.7, 5.4}, {51.686763, 0.701294}, 1e-6},
        {{false, 80534, 9413}, false, {54.6, -4.1}, {51.686554, 0.698745}, 1e-6},
        {{false, 105730, 9259}, true, {52, 0}, {52.209984, 0.176601}, 1e-6},
        {{true, 29693, 8997}, true, {51.46, 1.4}, {52.209976, 0.176507}, 1e-6},
        {{false, 105730, 9259}, true, {52.95, -1.05}, {52.209984, 0.176601}, 1e-6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.want.lat << "," << c.want.lon);
        const auto got = c.surface ? DecodeSurfaceLocal(c.frame, c.reference)
                                   : DecodeAirborneLocal(c.frame, c.reference);
        ASSERT_TRUE(got.has_value());
        ExpectNear(*got, c.want, c.tolerance);
    }
}

TEST(CprLocalTest, OwnEncoderAcross180AndNearThePole) {
    const LatLon cases[][2] = {{{-45.1, 179.99}, {-44.0, -178.5}},
                               {{-45.1, -179.99}, {-46.0, 178.5}},
                               {{86.5, 170.0}, {85.0, -175.0}}};
    for (const auto& [truth, reference] : cases) {
        for (const bool odd : {false, true}) {
            const auto got = DecodeAirborneLocal(test::EncodeCpr(truth, odd), reference);
            ASSERT_TRUE(got.has_value());
            ExpectNear(*got, truth, 1.4e-3);
        }
    }
}

TEST(CprSurfacePairTest, ReferencePicksTheQuarter) {
    // readsb: Cambridge (UK) apron, the reference moved around the globe.
    const CprFrame even{false, 105730, 9259};
    const CprFrame odd{true, 29693, 8997};
    const struct {
        LatLon reference;
        LatLon evenNewer, oddNewer;
    } cases[] = {
        {{52, -180}, {52.209984, 0.176601 - 180}, {52.209976, 0.176507 - 180}},
        {{52, -130}, {52.209984, 0.176601 - 90}, {52.209976, 0.176507 - 90}},
        {{52, -40}, {52.209984, 0.176601}, {52.209976, 0.176507}},
        {{52, 50}, {52.209984, 0.176601 + 90}, {52.209976, 0.176507 + 90}},
        {{52, 140}, {52.209984, 0.176601 - 180}, {52.209976, 0.176507 - 180}},
        {{90, 0}, {52.209984, 0.176601}, {52.209976, 0.176507}},
        {{8, 0}, {52.209984, 0.176601}, {52.209976, 0.176507}},
        {{7, 0}, {52.209984 - 90, 0.135269}, {52.209976 - 90, 0.134299}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reference.lat << "," << c.reference.lon);
        for (const bool oddIsNewer : {false, true}) {
            const CprPairResult result = DecodeSurfacePair(even, odd, oddIsNewer, c.reference);
            ASSERT_EQ(result.outcome, CprPairOutcome::Decoded);
            ExpectNear(result.position, oddIsNewer ? c.oddNewer : c.evenNewer, 1e-6);
        }
    }
    // readsb: all-zero frames are the poles or the equator, whichever the reference is near.
    const struct { double referenceLat, want; } poles[] = {{-46, -90}, {-44, 0}, {44, 0}, {46, 90}};
    for (const auto& c : poles) {
        const CprPairResult result =
            DecodeSurfacePair({}, {true, 0, 0}, false, {c.referenceLat, -180});
        ASSERT_EQ(result.outcome, CprPairOutcome::Decoded);
        ExpectNear(result.position, {c.want, -180}, 1e-9);
    }
    // pyModeS: the Toulouse pair.
    const CprPairResult lfbo =
        DecodeSurfacePair(CprOf("903a23ff426a38565950432ebf95"),
                          CprOf("903a23ff426a4e65f7487a775d17"), true, {43.63, 1.37});
    ASSERT_EQ(lfbo.outcome, CprPairOutcome::Decoded);
    ExpectNear(lfbo.position, {43.62646, 1.37476}, 1e-3);
}

}  // namespace
}  // namespace quorvex

namespace quorvex {
namespace {

// The simulator's encoder, written apart from the decoder, at random places the world over:
// a pair decodes globally, and either frame locally near the place, to the place within one
// step of the format (5.1 m of latitude; a zone's width over 2^17 of longitude).
TEST(CprRoundTripTest, TheSimulatorsFramesDecodeWhereTheyWereEncodedTheWorldOver) {
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> latitudes(-89.9, 89.9), longitudes(-180.0, 180.0);
    std::uniform_real_distribution<double> offset(-1.0, 1.0);
    int straddling = 0;
    for (int i = 0; i < 20000; ++i) {
        const LatLon place{latitudes(random), longitudes(random)};
        SCOPED_TRACE(testing::Message() << place.lat << ", " << place.lon);
        const auto frame = [&](bool odd) {
            const sim::CprFields fields = sim::EncodeAirbornePosition(place.lat, place.lon, odd);
            return CprFrame{odd, fields.yz, fields.xz};
        };
        const CprFrame even = frame(false), odd = frame(true);
        const double latStep = 360.0 / 60 / 131072;
        const auto lonStep = [&](bool isOdd) {
            return 360.0 / std::max(sim::LongitudeZones(place.lat) - (isOdd ? 1 : 0), 1) / 131072;
        };
        const bool oddIsNewer = i % 2 == 1;
        const CprPairResult pair = DecodeAirbornePair(even, odd, oddIsNewer);
        if (pair.outcome == CprPairOutcome::ZoneMismatch) {
            // Only where the place lies within a step of a zone edge.
            EXPECT_NE(sim::LongitudeZones(place.lat - 2 * latStep),
                      sim::LongitudeZones(place.lat + 2 * latStep));
            ++straddling;
        } else {
            ASSERT_EQ(pair.outcome, CprPairOutcome::Decoded);
            EXPECT_NEAR(pair.position.lat, place.lat, latStep);
            EXPECT_LE(LonDifference(pair.position.lon, place.lon), lonStep(oddIsNewer) + 1e-9);
        }
        // A reference up to a degree away, short of the poles where a degree of longitude is
        // no distance at all and the local rule needs no test of its own.
        if (std::abs(place.lat) > 85) continue;
        const LatLon near{place.lat + offset(random), place.lon + offset(random)};
        for (const CprFrame& one : {even, odd}) {
            const auto local = DecodeAirborneLocal(one, near);
            ASSERT_TRUE(local.has_value());
            EXPECT_NEAR(local->lat, place.lat, latStep);
            EXPECT_LE(LonDifference(local->lon, place.lon), lonStep(one.odd) + 1e-9);
        }
    }
    EXPECT_LT(straddling, 100);
}

}  // namespace
}  // namespace quorvex
