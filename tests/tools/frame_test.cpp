// Frames, packets and faulty packets as the program's framer and decoder take them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_view.h"
#include "tools/sim/frame_builder.h"
#include "tools/sim/packet_text.h"
#include "tools/sim/sky.h"

namespace quorvex::sim {
namespace {

using test::ProgramView;

TEST(FrameTest, KnownSquittersComeOutBitForBit) {
    SimRandom random(1);
    Aircraft klm;
    klm.address = 0x4840D6;
    klm.callsign = "KLM1023 ";
    klm.category = 0;
    EXPECT_EQ(FrameHex(BuildFrame(FrameKind::Identification, klm, random)),
              "8D4840D6202CC371C32CE0576098");

    Aircraft position;
    position.address = 0x40621D;
    position.altitude = 38000;
    position.latitude = 52.2572;
    position.longitude = 3.91937;
    position.oddPosition = false;
    EXPECT_EQ(FrameHex(BuildFrame(FrameKind::Position, position, random)),
              "8D40621D58C382D690C8AC2863A7");
}

// Every kind from every aircraft of a sky, in every format: the group the program counts
// it in, the residual a ":" receiver writes, and the damaged copy failing.
TEST(FrameTest, EveryFrameDecodesToItsGroupAndEveryDamagedOneFails) {
    SkySettings skySettings;
    skySettings.aircraft = 30;
    std::vector<Aircraft> sky = MakeSky(skySettings);
    SimRandom random(5);
    for (const char format : {'*', '@', ':'}) {
        ProgramView view(format);
        std::array<std::int64_t, kDfGroupCount> expected{};
        std::int64_t damaged = 0;
        for (Aircraft& a : sky) {
            for (const FrameKind kind : kAllFrameKinds) {
                if (kind != FrameKind::Identification && kind != FrameKind::Position &&
                    kind != FrameKind::Velocity && a.nonTransponder) {
                    continue;
                }
                for (int draw = 0; draw < 4; ++draw) {
                    const ModeSFrame frame = BuildFrame(kind, a, random);
                    a.oddPosition = !a.oddPosition;
                    ++expected[static_cast<int>(GroupOf(kind))];
                    view.Feed(PacketText(format, frame, CounterAt(draw)));
                    const std::uint32_t residual = kind == FrameKind::AllCall ? 0
                                                   : kind == FrameKind::AllCallIc
                                                       ? a.interrogatorCode
                                                   : GroupOf(kind) == DfGroup::Df17_19 ? 0
                                                                                       : a.address;
                    EXPECT_EQ(frame.Residual(), residual) << FrameHex(frame);
                    if (ParityChecked(kind)) {
                        view.Feed(PacketText(format, CorruptOneBit(frame, random), 0));
                        ++damaged;
                    }
                }
            }
        }
        EXPECT_EQ(view.groups, expected) << format;
        EXPECT_EQ(view.crcFailed, damaged) << format;
        EXPECT_EQ(view.rejected + view.other, 0) << format;
        EXPECT_EQ(view.aircraft.size(), sky.size()) << format;
    }
}

TEST(FrameTest, TheCounterFormatCarriesTwelveDigitsOfTwelveMegahertz) {
    Aircraft a;
    a.address = 0xABCDEF;
    SimRandom random(2);
    const ModeSFrame frame = BuildFrame(FrameKind::AllCall, a, random);
    EXPECT_EQ(PacketText('@', frame, CounterAt(1.5)),
              "@00000112A880" + FrameHex(frame) + ";\r\n");  // 18,000,000 ticks
    EXPECT_EQ(PacketText(':', frame, 0), ":5DABCDEF000000;\r\n");
    EXPECT_EQ(CounterAt(0x1000000000000 / 12e6), 0u);  // 48 bits, then round again
}

// A faulty packet between two good ones: the program counts nothing of it and both good
// ones; for datagrams each piece is one datagram.
TEST(FrameTest, FaultyPacketsCountNothingAndLeaveTheirNeighboursAlone) {
    Aircraft a;
    a.address = 0x3C6586;
    a.callsign = "DLH4AB  ";
    SimRandom random(9);
    for (const char format : {'*', '@', ':'}) {
        for (const Fault fault : {Fault::Garbled, Fault::BadHex, Fault::Nul, Fault::Overlong}) {
            for (const bool datagram : {false, true}) {
                for (int draw = 0; draw < 20; ++draw) {
                    const FrameKind kind = draw % 2 ? FrameKind::AllCall : FrameKind::CommBAlt;
                    const std::string good =
                        PacketText(format, BuildFrame(kind, a, random), CounterAt(draw));
                    const std::string bad = FaultyPacket(fault, format, good, datagram, random);
                    ProgramView view(format);
                    for (const std::string& piece : {good, bad, good}) {
                        if (datagram) {
                            EXPECT_LE(piece.size(), 1024u);
                            view.FeedDatagram(piece);
                        } else {
                            view.Feed(piece);
                        }
                    }
                    const auto what = std::string(FaultName(fault)) + " " + format +
                                      (datagram ? " datagram " : " ") + bad;
                    EXPECT_EQ(view.groups[static_cast<int>(GroupOf(kind))], 2) << what;
                    EXPECT_EQ(view.crcFailed, 0) << what;
                    EXPECT_EQ(view.aircraft[a.address], 2) << what;
                }
            }
        }
    }
}

}  // namespace
}  // namespace quorvex::sim
