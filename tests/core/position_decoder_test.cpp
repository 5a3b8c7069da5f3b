// The per-aircraft, per-source position decoder: which rule places each frame, the rules at
// their limits, the guards, the counts and the bound. Frames come from the tests' own
// encoder (cpr_test_frames.h) at places computed apart from the decoder's geometry.

#include <gtest/gtest.h>

#include <cstdint>

#include "core/positions/position_decoder.h"
#include "tests/core/cpr_test_frames.h"

namespace quorvex {
namespace {

constexpr std::uint32_t kAddress = 0x4840D6;
constexpr LatLon kStation{52.3, 4.76};
constexpr SourceId kR1 = SourceId::Receiver1;
constexpr SourceId kR2 = SourceId::Receiver2;

class PositionDecoderTest : public testing::Test {
  protected:
    PositionReport Feed(SourceId source, LatLon where, bool odd, double time, int tc = 11,
                        std::uint32_t address = kAddress) {
        const bool surface = tc >= 5 && tc <= 8;
        return decoder.Decode(
            source, address, test::PositionFrame(address, tc, test::EncodeCpr(where, odd, surface)),
            time);
    }
    // An even frame and then an odd one `gap` seconds later; the report of the odd one.
    PositionReport Pair(SourceId source, LatLon where, double time, double gap = 1.0) {
        Feed(source, where, false, time);
        return Feed(source, where, true, time + gap);
    }

    PositionDecoder decoder;
};

void ExpectAt(const PositionReport& report, LatLon where) {
    EXPECT_NEAR(report.position.lat, where.lat, 1e-4);
    EXPECT_NEAR(report.position.lon, where.lon, 1e-4);
}

TEST_F(PositionDecoderTest, PairWithinTenSecondsDecodesGlobally) {
    const LatLon where = test::Destination(kStation, 45, 40);
    for (const auto& [gap, outcome] :
         {std::pair{9.9, PositionOutcome::Global}, std::pair{10.1, PositionOutcome::NoReference}}) {
        decoder.Clear();
        const PositionReport report = Pair(kR1, where, 100, gap);
        EXPECT_EQ(report.outcome, outcome) << gap;
        if (outcome == PositionOutcome::Global) ExpectAt(report, where);
    }
}

// The other receiver's copy of a frame meets the pair the fix came from: its position, range
// and bearing must be exactly what decoding that pair afresh gives, also after the station
// moved, and an aircraft that moved on is decoded anew.
TEST_F(PositionDecoderTest, TheOtherReceiversCopyGivesWhatDecodingItAfreshGives) {
    const LatLon otherStation{52.0, 5.2};
    for (const double bearing : {10.0, 135.5, 250.0, 359.9}) {
        decoder.Clear();
        decoder.SetStation(kStation);
        const LatLon where = test::Destination(kStation, bearing, 30 + bearing / 2);
        const LatLon later = test::Destination(where, 90, 2.5);
        const auto expect = [](const PositionReport& report, LatLon even, LatLon odd,
                               LatLon station) {
            const CprPairResult fresh =
                DecodeAirbornePair(test::EncodeCpr(even, false), test::EncodeCpr(odd, true), true);
            ASSERT_EQ(report.outcome, PositionOutcome::Global);
            EXPECT_EQ(report.position.lat, fresh.position.lat);
            EXPECT_EQ(report.position.lon, fresh.position.lon);
            EXPECT_EQ(report.stationRangeNm, RangeNm(station, fresh.position));
            EXPECT_EQ(report.stationBearingDeg, BearingDeg(station, fresh.position));
        };
        for (const SourceId receiver : {kR1, kR2}) Feed(receiver, where, false, 10);
        expect(Feed(kR1, where, true, 11), where, where, kStation);
        expect(Feed(kR2, where, true, 11.2), where, where, kStation);
        decoder.SetStation(otherStation);
        expect(Feed(kR1, where, true, 11.4), where, where, otherStation);
        for (const SourceId receiver : {kR1, kR2}) Feed(receiver, later, false, 28);
        for (const SourceId receiver : {kR1, kR2}) {
            expect(Feed(receiver, later, true, 29), later, later, otherStation);
        }
    }
}

TEST_F(PositionDecoderTest, PairsAreNeverMadeAcrossSources) {
    const LatLon where{-33.9, 151.2};
    Feed(kR1, where, false, 0);
    EXPECT_EQ(Feed(kR2, where, true, 1).outcome, PositionOutcome::NoReference);
    EXPECT_EQ(Feed(kR1, where, true, 2).outcome, PositionOutcome::Global);
    // With the fix, receiver 2's next frame (of the same format, so no pair) decodes locally.
    const PositionReport local = Feed(kR2, where, true, 3);
    EXPECT_EQ(local.outcome, PositionOutcome::LocalToFix);
    ExpectAt(local, where);
    EXPECT_EQ(decoder.Counts(kR1), (PositionCounts{1, 1, 0}));
    EXPECT_EQ(decoder.Counts(kR2), (PositionCounts{1, 1, 0}));
    EXPECT_EQ(decoder.Counts(SourceId::Feed), (PositionCounts{}));
}

TEST_F(PositionDecoderTest, FixServesAsReferenceForTenMinutes) {
    const LatLon start{-22.9, -43.2};
    // A frame 150 NM away keeps the aircraft heard without moving the fix: too far from it
    // to be trusted (and no station).
    const LatLon far = test::Destination(start, 0, 150);
    const LatLon near = test::Destination(start, 90, 50);
    for (const auto& [age, outcome] : {std::pair{599.9, PositionOutcome::LocalToFix},
                                       std::pair{600.1, PositionOutcome::NoReference}}) {
        decoder.Clear();
        Pair(kR1, start, 0);
        EXPECT_EQ(Feed(kR2, far, false, 300).outcome, PositionOutcome::NoReference);
        EXPECT_EQ(Feed(kR2, near, true, 1 + age).outcome, outcome) << age;
    }
}

TEST_F(PositionDecoderTest, LocalDecodeMustLieWithinOneHundredMiles) {
    const LatLon start{47.0, -122.3};
    for (const auto& [nm, outcome] : {std::pair{99.9, PositionOutcome::LocalToFix},
                                      std::pair{100.1, PositionOutcome::NoReference}}) {
        decoder.Clear();
        Pair(kR1, start, 0);
        const LatLon there = test::Destination(start, 200, nm);
        const PositionReport report = Feed(kR2, there, false, 400);
        EXPECT_EQ(report.outcome, outcome) << nm;
    }
}

TEST_F(PositionDecoderTest, StationServesOnlyWhileTheMaximumRangeIsAt180Miles) {
    decoder.SetStation(kStation);
    const LatLon where = test::Destination(kStation, 300, 170);
    for (const auto& [range, outcome] : {std::pair{180.0, PositionOutcome::LocalToStation},
                                         std::pair{180.1, PositionOutcome::NoReference}}) {
        decoder.Clear();
        decoder.SetMaxRangeNm(range);
        const PositionReport report = Feed(kR1, where, true, 0);
        EXPECT_EQ(report.outcome, outcome) << range;
        if (outcome == PositionOutcome::LocalToStation) ExpectAt(report, where);
    }
}

TEST_F(PositionDecoderTest, FixesBeyondTheMaximumRangeAreDropped) {
    decoder.SetStation(kStation);
    EXPECT_EQ(decoder.maxRangeNm(), 300.0);
    for (const auto& [nm, outcome] : {std::pair{299.0, PositionOutcome::Global},
                                      std::pair{301.0, PositionOutcome::OutOfRange}}) {
        decoder.Clear();
        EXPECT_EQ(Pair(kR1, test::Destination(kStation, 10, nm), 0).outcome, outcome) << nm;
    }
    // A local decode against the station is held to the range too.
    decoder.SetMaxRangeNm(100);
    EXPECT_EQ(Feed(kR2, test::Destination(kStation, 10, 101), false, 50).outcome,
              PositionOutcome::OutOfRange);
    EXPECT_EQ(decoder.Counts(kR1), (PositionCounts{0, 1, 1}));
    EXPECT_EQ(decoder.Counts(kR2), (PositionCounts{0, 0, 1}));
}

TEST_F(PositionDecoderTest, ImpossibleSpeedIsDropped) {
    const LatLon start{60.2, 24.9};
    // The fix is made at 1 s; 20 s later 1200 kt over 20 s plus 2 s of slack is 7.33 NM.
    for (const auto& [nm, outcome] :
         {std::pair{7.2, PositionOutcome::LocalToFix}, std::pair{7.5, PositionOutcome::TooFast}}) {
        decoder.Clear();
        Pair(kR1, start, 0);
        EXPECT_EQ(Feed(kR2, test::Destination(start, 135, nm), false, 21).outcome, outcome) << nm;
    }
}

TEST_F(PositionDecoderTest, ThreeSpeedDropsInARowForgetTheFix) {
    const LatLon wrong{60.2, 24.9};
    const LatLon right = test::Destination(wrong, 0, 60);
    Pair(kR1, wrong, 0);
    EXPECT_EQ(Feed(kR1, right, false, 20).outcome, PositionOutcome::TooFast);  // local
    EXPECT_EQ(Feed(kR1, right, true, 21).outcome, PositionOutcome::TooFast);   // global
    EXPECT_EQ(Feed(kR1, right, false, 22).outcome, PositionOutcome::TooFast);
    EXPECT_FALSE(decoder.LatestFix(kAddress).has_value());
    EXPECT_EQ(Feed(kR1, right, true, 23).outcome, PositionOutcome::Global);
    ASSERT_TRUE(decoder.LatestFix(kAddress).has_value());
    EXPECT_NEAR(decoder.LatestFix(kAddress)->lat, right.lat, 1e-4);
}

TEST_F(PositionDecoderTest, ZoneMismatchAndBadDataAreCounted) {
    const double edge = test::NlTransition(59);
    Feed(kR1, {edge - 0.001, 3}, false, 0);
    EXPECT_EQ(Feed(kR1, {edge + 0.001, 3}, true, 1).outcome, PositionOutcome::ZoneMismatch);
    // Even latitude 0 against odd 96128 gives 96 degrees (cpr_test.cpp).
    decoder.Decode(kR2, kAddress, test::PositionFrame(kAddress, 11, {false, 0, 0}), 2);
    const PositionReport bad =
        decoder.Decode(kR2, kAddress, test::PositionFrame(kAddress, 11, {true, 96128, 0}), 3);
    EXPECT_EQ(bad.outcome, PositionOutcome::BadData);
    EXPECT_EQ(decoder.Counts(kR1), (PositionCounts{0, 2, 0}));
    EXPECT_EQ(decoder.Counts(kR2), (PositionCounts{0, 1, 1}));
}

TEST_F(PositionDecoderTest, ReportsAltitudeKindAndSurface) {
    const LatLon where{36.08, -115.15};
    const PositionReport gnss = [&] {
        Feed(kR1, where, false, 0, 20);
        return Feed(kR1, where, true, 1, 20);
    }();
    EXPECT_EQ(gnss.outcome, PositionOutcome::Global);
    EXPECT_EQ(gnss.altitudeFt, 38000);
    EXPECT_EQ(gnss.altitudeKind, AltitudeKind::GnssHeight);
    EXPECT_FALSE(gnss.surface);

    // On the surface: a pair needs a reference (here the fix) for its quarter of the globe.
    const LatLon gate = test::Destination(where, 90, 0.5);
    const PositionReport taxi = [&] {
        Feed(kR2, gate, false, 60, 7);
        return Feed(kR2, gate, true, 61, 7);
    }();
    EXPECT_EQ(taxi.outcome, PositionOutcome::Global);
    EXPECT_TRUE(taxi.surface);
    EXPECT_EQ(taxi.altitudeFt, std::nullopt);
    ExpectAt(taxi, gate);
    EXPECT_EQ(Feed(SourceId::Feed, gate, false, 62, 6, 0x111111).outcome,
              PositionOutcome::NoReference);
}

TEST_F(PositionDecoderTest, OtherFramesAreNotPositions) {
    auto frame = test::PositionFrame(kAddress, 4, {});
    EXPECT_EQ(decoder.Decode(kR1, kAddress, frame, 0).outcome, PositionOutcome::NotPosition);
    EXPECT_EQ(decoder.size(), 0u);
    EXPECT_EQ(decoder.Counts(kR1), (PositionCounts{}));
}

TEST_F(PositionDecoderTest, TableIsBoundedAndForgetsSilentAircraft) {
    PositionDecoder small(4);
    const LatLon where{1.3, 103.9};
    const auto frame = test::PositionFrame(0, 11, test::EncodeCpr(where, false));
    const auto odd = test::PositionFrame(0, 11, test::EncodeCpr(where, true));
    for (std::uint32_t address = 1; address <= 10; ++address) {
        small.Decode(kR1, address, frame, address);
        if (address % 2 == 0) small.Decode(kR1, address, odd, address);
        EXPECT_LE(small.size(), 4u);
    }
    EXPECT_EQ(small.size(), 4u);
    // The least recently heard made room; those kept still find their own fixes.
    EXPECT_EQ(small.LatestFix(2), std::nullopt);
    for (const std::uint32_t address : {8u, 10u}) {
        ASSERT_TRUE(small.LatestFix(address).has_value());
        EXPECT_LT(RangeNm(*small.LatestFix(address), where), 0.01);
    }
    EXPECT_EQ(small.LatestFix(9), std::nullopt);
    // Ten minutes later only the newcomer is left.
    small.Decode(kR1, 99, frame, 10 + 600);
    EXPECT_EQ(small.size(), 1u);
}

}  // namespace
}  // namespace quorvex
