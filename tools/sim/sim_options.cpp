#include "tools/sim/sim_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tools/sim/beast_frame.h"

namespace quorvex::sim {
namespace {

using Error = std::string;

template <typename T>
std::optional<T> Number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

std::optional<Error> ParseReceiver(int r, std::string_view text, ReceiverTarget& target) {
    const std::string option = "--receiver" + std::to_string(r + 1);
    const Error bad = option + " \"" + std::string(text) +
                      "\": give pty[:BAUD], DEVICE[:BAUD], tcp-beast[:PORT]" +
                      (r == 1 ? " or udp[:HOST:PORT]" : "") +
                      ", optionally followed by :FORMAT (@, *, : or beast)";
    ReceiverTarget t;
    std::string_view rest = text;
    if (rest.ends_with(":beast")) {
        t.format = kBeastFormat;
        rest.remove_suffix(6);
    } else if (rest.size() >= 2 && rest[rest.size() - 2] == ':' &&
               std::string_view("@*:").find(rest.back()) != std::string_view::npos) {
        t.format = rest.back();
        rest.remove_suffix(2);
    }
    const std::size_t colon = rest.find(':');
    const std::string_view head = rest.substr(0, colon);
    const std::string_view tail =
        colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (head == "udp") {
        if (r == 0) return option + ": only receiver 2 goes over UDP, as the program takes it";
        if (t.format == kBeastFormat) return option + ": UDP carries the text formats only";
        t.kind = ReceiverTarget::Kind::Udp;
        if (!tail.empty()) {
            const std::size_t portColon = tail.rfind(':');
            if (portColon != std::string_view::npos)
                t.host = std::string(tail.substr(0, portColon));
            const auto port = Number<int>(tail.substr(portColon + 1));
            if (!port || *port < 1 || *port > 65535 || t.host.empty()) return bad;
            t.port = *port;
        }
    } else if (head == "tcp-beast") {
        if (t.format != '*' && t.format != kBeastFormat) {
            return option + ": tcp-beast writes Beast frames, no text format";
        }
        t.kind = ReceiverTarget::Kind::TcpBeast;
        t.format = kBeastFormat;
        t.port = ReceiverTarget::kBeastPort;
        if (colon != std::string_view::npos) {
            const auto port = Number<int>(tail);
            if (!port || *port < 0 || *port > 65535) return bad;
            t.port = *port;
        }
    } else if (head == "pty" || head.starts_with('/')) {
        t.kind = head == "pty" ? ReceiverTarget::Kind::Pty : ReceiverTarget::Kind::Device;
        t.device = head == "pty" ? "" : std::string(head);
        if (colon != std::string_view::npos) {
            const auto baud = Number<std::int64_t>(tail);
            if (!baud || *baud < 50 || *baud > 16000000) return bad;
            t.baud = *baud;
        }
    } else {
        return bad;
    }
    target = t;
    return std::nullopt;
}

std::int64_t DefaultEvery(Fault fault) {
    switch (fault) {
        case Fault::FeedReset:
            return 1000;
        case Fault::PtyClose:
            return 2000;
        default:
            return 100;
    }
}

std::optional<Error> ParseFault(std::string_view text, FaultPlan& plan) {
    const std::size_t colon = text.find(':');
    const auto fault = FaultByName(text.substr(0, colon));
    if (!fault) {
        std::string names;
        for (const std::string_view name : kFaultNames) names += " " + std::string(name);
        return "--fault \"" + std::string(text) + "\": no such fault; there are" + names;
    }
    std::int64_t every = DefaultEvery(*fault);
    if (colon != std::string_view::npos) {
        std::string_view count = text.substr(colon + 1);
        if (count.starts_with("every")) count.remove_prefix(5);
        while (count.starts_with(' ')) count.remove_prefix(1);
        const auto n = Number<std::int64_t>(count);
        if (!n || *n < 1)
            return "--fault \"" + std::string(text) + "\": give NAME or NAME:N, N >= 1";
        every = *n;
    }
    plan.every[static_cast<int>(*fault)] = every;
    return std::nullopt;
}

std::optional<Station> ParseStation(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto latitude = Number<double>(text.substr(0, comma));
    const auto longitude = Number<double>(text.substr(comma + 1));
    if (!latitude || !longitude || std::fabs(*latitude) > 80 || std::fabs(*longitude) > 180) {
        return std::nullopt;
    }
    return Station{*latitude, *longitude};
}

std::optional<double> Gain(std::string_view text) {
    const auto db = Number<double>(text);
    if (!db || std::fabs(*db) > 60) return std::nullopt;
    return db;
}

// SECONDS:DB.
std::optional<Error> ParseGainStep(std::string_view text, LevelSettings& levels) {
    const std::size_t colon = text.find(':');
    const auto at = Number<double>(text.substr(0, colon));
    const auto db = colon == std::string_view::npos ? std::nullopt : Gain(text.substr(colon + 1));
    if (!at || *at < 0 || !db) {
        return "--gain2-step \"" + std::string(text) +
               "\": give SECONDS:DB, seconds from 0 on and dB from -60 to 60";
    }
    levels.stepAt = *at;
    levels.stepDb = *db;
    return std::nullopt;
}

// FROM-TO:NM, bearings in degrees.
std::optional<Shadow> ParseShadow(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::size_t dash = text.substr(0, colon).find('-');
    if (colon == std::string_view::npos || dash == std::string_view::npos) return std::nullopt;
    const auto from = Number<double>(text.substr(0, dash));
    const auto to = Number<double>(text.substr(dash + 1, colon - dash - 1));
    const auto beyond = Number<double>(text.substr(colon + 1));
    const auto bearing = [](std::optional<double> b) { return b && *b >= 0 && *b <= 360; };
    if (!bearing(from) || !bearing(to) || *from == *to || !beyond || *beyond < 0) {
        return std::nullopt;
    }
    return Shadow{*from, *to, *beyond};
}

bool Any(const SimOptions& o, ReceiverTarget::Kind kind) {
    return o.receivers[0].kind == kind || o.receivers[1].kind == kind;
}

bool WritesText(const ReceiverTarget& target) {
    return target.kind != ReceiverTarget::Kind::None && target.format != kBeastFormat;
}

std::optional<Error> CheckTogether(SimOptions& o) {
    using Kind = ReceiverTarget::Kind;
    if (o.receivers[0].kind == Kind::None && o.receivers[1].kind == Kind::None && !o.feed) {
        o.receivers[0].kind = Kind::Pty;
        o.receivers[1].kind = Kind::Udp;
        o.feed = true;
    }
    if (o.receivers[0].kind == Kind::Device && o.receivers[1].kind == Kind::Device &&
        o.receivers[0].device == o.receivers[1].device) {
        return "--receiver1 and --receiver2 name the same device " + o.receivers[0].device;
    }
    if (o.receivers[0].kind == Kind::TcpBeast && o.receivers[1].kind == Kind::TcpBeast &&
        o.receivers[0].port == o.receivers[1].port && o.receivers[0].port != 0) {
        return "--receiver1 and --receiver2 name the same TCP port " +
               std::to_string(o.receivers[0].port);
    }
    const FaultPlan& f = o.settings.faults;
    for (int fault = 0; fault < kFaultCount; ++fault) {
        if (IsPacketFault(static_cast<Fault>(fault)) && f.every[fault] > 0 &&
            !WritesText(o.receivers[0]) && !WritesText(o.receivers[1])) {
            return "--fault " + std::string(kFaultNames[fault]) +
                   " damages text packets; Beast receivers write none";
        }
    }
    if ((f.Every(Fault::EmptyDatagram) || f.Every(Fault::OversizedDatagram)) &&
        !Any(o, Kind::Udp)) {
        return "the datagram faults need --receiver2 udp";
    }
    if (f.Every(Fault::FeedReset) && !o.feed) return "--fault feed-reset needs --feed";
    if (f.Every(Fault::PtyClose) && !Any(o, Kind::Pty)) {
        return "--fault pty-close needs a receiver on a pty";
    }
    for (int r = 0; r < 2; ++r) {
        o.settings.format[r] = o.receivers[r].format;
        o.settings.datagram[r] = o.receivers[r].kind == Kind::Udp;
    }
    return std::nullopt;
}

}  // namespace

std::variant<SimOptions, std::string> ParseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            inlineValue = std::string(arg.substr(eq + 1));
            arg = arg.substr(0, eq);
        }
        const std::string name(arg);
        // The option's value, or a message when it has none.
        std::optional<std::string> value;
        const auto take = [&]() -> bool {
            if (inlineValue) {
                value = inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            return value.has_value();
        };
        const Error missing = name + " needs a value; quorvex-sim --help lists the options";
        const auto badValue = [&](const char* what) {
            return name + " \"" + *value + "\": " + what;
        };
        const auto share = [&](double& field) -> std::optional<Error> {
            if (!take()) return missing;
            const auto v = Number<double>(*value);
            if (!v || *v < 0 || *v > 1) return badValue("give a number from 0 to 1");
            field = *v;
            return std::nullopt;
        };

        std::optional<Error> error;
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--receiver1" || name == "--receiver2") {
            const int r = name.back() - '1';
            error = take() ? ParseReceiver(r, *value, o.receivers[r]) : missing;
        } else if (name == "--feed") {
            o.feed = true;
            if (inlineValue) {
                value = inlineValue;
                const auto port = Number<int>(*value);
                if (!port || *port < 0 || *port > 65535)
                    error = badValue("give a TCP port");
                else
                    o.feedPort = *port;
            }
        } else if (name == "--aircraft") {
            if (!take()) return missing;
            const auto n = Number<int>(*value);
            if (!n || *n < 1 || *n > 10000) return badValue("give a count from 1 to 10000");
            o.settings.sky.aircraft = *n;
        } else if (name == "--rate") {
            if (!take()) return missing;
            const auto n = Number<double>(*value);
            if (*value == "max") {
                o.rateMax = true;
            } else if (!n || *n <= 0) {
                return badValue("give frames per second (more than 0) or max");
            } else {
                o.settings.rate = *n;
            }
        } else if (name == "--hear1") {
            error = share(o.settings.sky.hear[0]);
        } else if (name == "--hear2") {
            error = share(o.settings.sky.hear[1]);
        } else if (name == "--hear-feed") {
            error = share(o.settings.sky.hear[2]);
        } else if (name == "--station") {
            if (!take()) return missing;
            const auto station = ParseStation(*value);
            if (!station) return badValue("give LAT,LON in degrees, latitude -80 to 80");
            o.settings.sky.station = *station;
        } else if (name == "--range1" || name == "--range2") {
            if (!take()) return missing;
            const auto range = Number<double>(*value);
            if (!range || *range <= 0 || *range > 1000) {
                return badValue("give nautical miles, more than 0 and at most 1000");
            }
            o.settings.reach[name.back() - '1'].range = *range;
        } else if (name == "--shadow1" || name == "--shadow2") {
            if (!take()) return missing;
            const auto shadow = ParseShadow(*value);
            if (!shadow) {
                return badValue(
                    "give FROM-TO:NM, two different bearings from 0 to 360 and nautical miles");
            }
            o.settings.reach[name.back() - '1'].shadows.push_back(*shadow);
        } else if (name == "--distant") {
            error = share(o.settings.sky.distantShare);
        } else if (name == "--gain1" || name == "--gain2") {
            if (!take()) return missing;
            const auto gain = Gain(*value);
            if (!gain) return badValue("give dB from -60 to 60");
            o.settings.levels.gain[name.back() - '1'] = *gain;
        } else if (name == "--no-levels") {
            o.settings.levels.omitted = true;
        } else if (name == "--gain2-step") {
            error = take() ? ParseGainStep(*value, o.settings.levels) : missing;
        } else if (name == "--corrupt") {
            error = share(o.settings.corruptShare);
        } else if (name == "--fault") {
            error = take() ? ParseFault(*value, o.settings.faults) : missing;
        } else if (name == "--seed") {
            if (!take()) return missing;
            const auto n = Number<std::uint64_t>(*value);
            if (!n) return badValue("give a whole number");
            o.settings.sky.seed = *n;
        } else if (name == "--seconds") {
            if (!take()) return missing;
            const auto n = Number<double>(*value);
            if (!n || *n <= 0) return badValue("give a number of seconds more than 0");
            o.seconds = *n;
        } else if (name == "--truth") {
            if (!take() || value->empty()) return missing;
            o.truthFile = *value;
        } else if (name == "--truth-every-second") {
            o.truthEverySecond = true;
        } else if (name == "--wait-for-go") {
            o.waitForGo = true;
        } else {
            return "unknown option \"" + std::string(args[i]) +
                   "\"; quorvex-sim --help lists the options";
        }
        if (error) return *error;
        if (inlineValue && !value) return name + " takes no value";
    }
    if (o.help) return o;
    if (auto error = CheckTogether(o)) return *error;
    return o;
}

std::optional<std::string> ResolveRate(SimOptions& o, std::string* note) {
    const Simulation sky(o.settings);
    double limit = std::numeric_limits<double>::infinity();
    std::int64_t slowest = 0;
    for (const ReceiverTarget& r : o.receivers) {
        if (r.kind != ReceiverTarget::Kind::Pty && r.kind != ReceiverTarget::Kind::Device) continue;
        const double capacity = static_cast<double>(r.baud) / 10.0 / sky.MeanPacketBytes(r.format);
        if (capacity < limit) {
            limit = capacity;
            slowest = r.baud;
        }
    }
    if (o.rateMax) {
        if (slowest == 0) return std::string("--rate max needs a receiver on a pty or device");
        o.settings.rate = std::floor(limit);
        o.rateMax = false;
        return std::nullopt;
    }
    char text[160];
    if (o.settings.rate <= 0 && sky.NaturalRate() > limit) {
        o.settings.rate = std::floor(limit);
        std::snprintf(text, sizeof text,
                      "the sky's %.0f frames per second are more than %lld baud carries; "
                      "sending %.0f",
                      sky.NaturalRate(), static_cast<long long>(slowest), o.settings.rate);
        if (note) *note = text;
        return std::nullopt;
    }
    const double rate = o.settings.rate > 0 ? o.settings.rate : sky.NaturalRate();
    if (rate > limit) {
        std::snprintf(text, sizeof text,
                      "--rate %.0f: the sky sends more than %lld baud carries (about %.0f frames "
                      "per second); lower --rate or use --rate max",
                      rate, static_cast<long long>(slowest), std::floor(limit));
        return std::string(text);
    }
    return std::nullopt;
}

std::string SimUsage() {
    return R"(Usage: quorvex-sim [OPTION]...
Stands in for two Mode S receivers and a port-30003 feed: a sky of aircraft whose frames
receiver 1 and receiver 2 hear differently, written as a receiver writes them, and a ground
truth of everything written, to compare a program's counts with.

Outputs (any combination; without any: receiver 1 on a pty, receiver 2 over UDP, the feed):
  --receiver1 TARGET   receiver 1
  --receiver2 TARGET   receiver 2
      TARGET: pty[:BAUD]     a new pseudo-terminal (raw); its path is printed
              DEVICE[:BAUD]  a serial device such as /dev/ttyUSB0
              udp[:HOST:PORT] UDP datagrams of at most 1024 bytes (receiver 2 only;
                             default 127.0.0.1:7934)
              tcp-beast[:PORT] a TCP server of Beast frames on every interface (default
                             port 30005; 0: any free port), its port printed as
                             "receiverN: tcp-beast 127.0.0.1:PORT"; every client connected
                             gets the same frames from when it connects; a frame that finds
                             a client's backlog (1 MiB) full is dropped for all ("overflow")
      then optionally :FORMAT, one of
              @  12 hex digits of a 48-bit 12 MHz counter, then the frame
              *  the frame as sent (default)
              :  the frame with the parity residual in its last 6 digits
              beast  binary: 0x1A, '2' (56 bits) or '3' (112 bits), the 48-bit 12 MHz
                 counter in 6 bytes big-endian, a signal level byte, the frame as sent;
                 every 0x1A after the first written twice (not over UDP)
      BAUD (default 3000000) paces the line: 10 bits per byte, a Beast frame's escapes
      included. Each text packet is <FORMAT><hex>; CR LF. A pty is written only while
      someone has it open, and only from 0.25 s after it was opened.
  --feed[=PORT]        the port-30003 feed: a TCP server (default port 30003; 0: any free
                       port) sending "MSG," lines of types 1, 3, 4, 5, 6, 7 and 8 to one
                       client at a time

The sky:
  --aircraft N         aircraft in the sky (default 40); every tenth sends only DF 18
  --rate N|max         frames per second of the whole sky (default: what the aircraft send,
                       about 8 per aircraft, or less if the slowest serial line carries
                       less); at most what that line carries, max: just that
  --hear1 P            mean probability that receiver 1 hears a frame (default 0.9)
  --hear2 P            the same for receiver 2 (default 0.7)
  --hear-feed P        the same for the feed's decoder (default 0.8)
  --distant SHARE      share of aircraft that only one of the receivers hears (default 0.1)
  --station LAT,LON    where the receivers stand, in degrees (default 52.0,5.0); the
                       aircraft fly straight legs around it out to about 250 NM, turning
                       back gently beyond 240 NM, at 2,000 to 40,000 ft
  --range1 NM          how far receiver 1 hears: certain out to 3/4 of NM, then less and
                       less along a smooth curve, 1 - (3t^2 - 2t^3) with t going from 0 at
                       3/4 of NM to 1 at NM, and nothing beyond NM; times --hear1 (default:
                       no limit)
  --range2 NM          the same for receiver 2, times --hear2
  --shadow1 FROM-TO:NM receiver 1 hears nothing from bearings FROM clockwise to TO
                       (degrees, both included) beyond NM, as behind a building
                       (repeatable; 350-10:0 is the sector around north at any range)
  --shadow2 FROM-TO:NM the same for receiver 2
                       The feed's decoder stands with receiver 1: its --range1 and
                       --shadow1 apply to the feed too, times --hear-feed.
  --corrupt SHARE      share of heard DF 11/17/18 frames with a flipped bit (default 0.01)
  --gain1 DB           receiver 1's gain (default 0), added to every level it measures
  --gain2 DB           the same for receiver 2
  --gain2-step SECONDS:DB  from SECONDS of the run on, receiver 2's gain changes by DB
                       Signal levels (Beast receivers only), in dBFS, per frame:
                         L = -37 + 20 log10(R / d) + offset + jitter + gain
                       d the slant range in NM (range and altitude), so 6 dB less per
                       doubling of range; R the receiver's --range (245 without one), so a
                       typical aircraft at its reach is at -37 dBFS (a receiver of shorter
                       reach is that much less sensitive); offset per aircraft,
                       from the seed, uniform within +-3 dB; jitter per frame and receiver
                       (antenna diversity, multipath), the sum of two uniform draws within
                       +-2 dB. Above 0 dBFS it clips; at or below -40 dBFS the frame is not
                       heard at all (on top of --hear and --range). The byte written is
                       round(255 * 10^(L/20)), 1 to 255.
  --no-levels          Beast frames carry the level byte 0 (no level), the same frames
                       heard; for measuring what levels cost the program
  --seed N             the same N gives the same sky and frames (default 1)

Faults (repeatable), each every Nth unit it applies to:
  --fault NAME[:N]     garbled, bad-hex, nul, overlong: a text receiver's packet (default
                       N 100; a Beast receiver's frames get none);
                       empty-datagram, oversized-datagram: a UDP datagram (default 100);
                       feed-reset: after N feed lines (default 1000);
                       pty-close: after N packets on a pty, which is then replaced by a
                       new one, its path printed (default 2000)

Running and the ground truth:
  --seconds N          stop after N seconds (default: at SIGINT or SIGTERM)
  --truth FILE         write the ground truth to FILE instead of standard output
  --truth-every-second the ground truth every second too (the totals so far, with
                       "final":false), not only at the end
  --wait-for-go        set up and name the outputs, then send nothing until a line (or the
                       end) arrives on standard input; the run time counts from then
  --help               this text

The ground truth is one line of JSON per report: per output ("receiver1", "receiver2",
"feed") the good frames per DF group (DF0, DF4_5, DF11, DF11_IC, DF17_19, DF20_21) or the
lines per "MSG," type, the corrupted frames, the faulty units by fault, what the line had no
room for ("overflow"), the bytes, and the good frames or lines per aircraft address. Under
"coverage": the "station" [LAT,LON]; per output, arrays of 36 sectors (sector k: bearings
from the station to the aircraft, when it sent, from 10k up to 10k+10 degrees) of the
airborne position frames or MSG,3 lines ("positions") and the farthest range among them in
NM ("farthest", great circle on a sphere of 6371 km, 1852 m per NM); per sector the same
position frames written by both receivers ("both"), by receiver 1 only ("only1") and by
receiver 2 only ("only2"). When a receiver writes Beast, "levels": the transmissions both
receivers wrote whole with the same bytes ("twins"), each counted once under the first of
"excluded_no_level" (a text copy), "excluded_strong" (a level at or above -3 dBFS),
"excluded_weak" (at or below -38.5 dBFS), else "compared"; of the compared deltas (level 2
less level 1, dB) the "median_db", the 95 % interval "ci_low_db" and "ci_high_db" (30
twins and more) and the quartiles "q1_db", "q3_db"; per receiver the percent of its good
frames with a level at or above -3 dBFS ("receiverN_strong_pct") and their number
("receiverN_level_frames"). Only what was written whole counts. At the end nothing new is sent, but the outputs stay open for
a second more, so a reader has taken everything the truth counts. Device paths and ports go to standard error.
Exit status: 0 when done, 1 when an output cannot be set up, 2 for a bad option.
)";
}

}  // namespace quorvex::sim
