#include "core/positions/cpr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace quorvex {
namespace {

// The latitudes where NL drops by one, from NL 59 to NL 2: entry k is the highest latitude
// with NL = 59 - k. Each is 180/pi * acos(sqrt((1 - cos(pi / 30)) / (1 - cos(2 pi / NL)))),
// the closed form of NL solved for the latitude, as in the published table of transition
// latitudes (10.47047130, 14.82817437, ... 87).
constexpr std::array<double, 58> kNlTransitions = {
    10.47047129996848, 14.82817436868679, 18.18626357071335, 21.02939492602846, 23.54504486557071,
    25.82924707058775, 27.93898710121904, 29.91135685731808, 31.77209707681077, 33.53993436298484,
    35.22899597796385, 36.85025107593526, 38.41241892412256, 39.92256684333861, 41.38651832260239,
    42.80914012243555, 44.19454951419274, 45.54626722660235, 46.86733252498745, 48.16039128096622,
    49.42776439255687, 50.67150165553835, 51.89342469168768, 53.09516152796003, 54.27817472272900,
    55.44378444495043, 56.59318756205918, 57.72747353866114, 58.84763776148457, 59.95459276694029,
    61.04917774246351, 62.13216659210329, 63.20427479381928, 64.26616522567440, 65.31845309682089,
    66.36171008382617, 67.39646774084667, 68.42322022083330, 69.44242631144024, 70.45451074987599,
    71.45986473028982, 72.45884544728945, 73.45177441667865, 74.43893415725137, 75.42056256653356,
    76.39684390794469, 77.36789461328188, 78.33374082922747, 79.29428225456925, 80.24923213280512,
    81.19801349271948, 82.13956980510606, 83.07199444719814, 83.99173562980565, 84.89166190702085,
    85.75541620944418, 86.53536997512100, 87.00000000000000,
};

constexpr double kCprScale = kCprMax;
constexpr int kEvenLatZones = 60;

// The modulo that is never negative, as the decoding formulas mean it.
double Mod(double x, double y) {
    const double r = std::fmod(x, y);
    return r < 0 ? r + y : r;
}
int Mod(int x, int y) {
    const int r = x % y;
    return r < 0 ? r + y : r;
}

double NormalizedLon(double lon) {
    lon = Mod(lon + 180.0, 360.0) - 180.0;
    return lon >= 180.0 ? lon - 360.0 : lon;
}

struct PairLatitudes {
    double even;
    double odd;
};

// The latitudes of both frames within the first zone cycle of `span` degrees (360 airborne,
// 90 surface).
PairLatitudes PairLatitude(const CprFrame& even, const CprFrame& odd, double span) {
    const double evenFraction = even.lat / kCprScale;
    const double oddFraction = odd.lat / kCprScale;
    const int j = static_cast<int>(std::floor(59 * evenFraction - 60 * oddFraction + 0.5));
    return {span / 60 * (Mod(j, 60) + evenFraction), span / 59 * (Mod(j, 59) + oddFraction)};
}

// The longitude of the newer frame within the first zone cycle of `span` degrees, for a
// latitude whose NL both frames share.
double PairLongitude(const CprFrame& even, const CprFrame& odd, bool oddIsNewer, int nl,
                     double span) {
    const int zones = std::max(nl - (oddIsNewer ? 1 : 0), 1);
    const int m = static_cast<int>(
        std::floor(even.lon * (nl - 1) / kCprScale - odd.lon * nl / kCprScale + 0.5));
    const double fraction = (oddIsNewer ? odd.lon : even.lon) / kCprScale;
    return span / zones * (Mod(m, zones) + fraction);
}

// The zone whose position at `fraction` lies nearest the reference, `zones` being the
// reference in zone widths. The zone and the reference's place in it come from the one
// quotient: taken apart (floor of the quotient, fmod of the reference) they can disagree by
// a zone when the reference sits on a zone edge.
double NearestZone(double zones, double fraction) {
    const double zone = std::floor(zones);
    return zone + std::floor(0.5 + (zones - zone) - fraction);
}

std::optional<LatLon> DecodeLocal(const CprFrame& frame, LatLon reference, double span) {
    const double latZone = span / (kEvenLatZones - (frame.odd ? 1 : 0));
    const double latFraction = frame.lat / kCprScale;
    const double j = NearestZone(reference.lat / latZone, latFraction);
    const double lat = latZone * (j + latFraction);
    if (!(std::abs(lat) <= 90.0)) return std::nullopt;
    const int zones = std::max(CprNl(lat) - (frame.odd ? 1 : 0), 1);
    const double lonZone = span / zones;
    const double lonFraction = frame.lon / kCprScale;
    const double m = NearestZone(reference.lon / lonZone, lonFraction);
    return LatLon{lat, NormalizedLon(lonZone * (m + lonFraction))};
}

}  // namespace

int CprNl(double lat) {
    const double magnitude = std::abs(lat);
    // The first transition at or above the latitude; past the last one NL is 1.
    const auto above = std::lower_bound(kNlTransitions.begin(), kNlTransitions.end(), magnitude);
    return 59 - static_cast<int>(std::distance(kNlTransitions.begin(), above));
}

CprPairResult DecodeAirbornePair(const CprFrame& even, const CprFrame& odd, bool oddIsNewer) {
    PairLatitudes lat = PairLatitude(even, odd, 360.0);
    // Southern latitudes come out as 270 to 360.
    if (lat.even >= 270.0) lat.even -= 360.0;
    if (lat.odd >= 270.0) lat.odd -= 360.0;
    if (std::abs(lat.even) > 90.0 || std::abs(lat.odd) > 90.0) return {};
    const int nl = CprNl(lat.even);
    if (nl != CprNl(lat.odd)) return {CprPairOutcome::ZoneMismatch, {}};
    const double lon = PairLongitude(even, odd, oddIsNewer, nl, 360.0);
    return {CprPairOutcome::Decoded, {oddIsNewer ? lat.odd : lat.even, NormalizedLon(lon)}};
}

CprPairResult DecodeSurfacePair(const CprFrame& even, const CprFrame& odd, bool oddIsNewer,
                                LatLon reference) {
    const PairLatitudes lat = PairLatitude(even, odd, 90.0);
    // The pair fixes the latitude up to 90 degrees: of lat - 90, lat and lat + 90 (the
    // pole itself when lat is 0) the one nearest the reference.
    const double newer = oddIsNewer ? lat.odd : lat.even;
    double shift = 0;
    for (const double candidate : {-90.0, 90.0}) {
        const double shifted = newer + candidate;
        if (std::abs(shifted) <= 90.0 &&
            std::abs(reference.lat - shifted) < std::abs(reference.lat - (newer + shift))) {
            shift = candidate;
        }
    }
    const double evenLat = lat.even + shift;
    const double oddLat = lat.odd + shift;
    if (std::abs(evenLat) > 90.0 || std::abs(oddLat) > 90.0) return {};
    const int nl = CprNl(evenLat);
    if (nl != CprNl(oddLat)) return {CprPairOutcome::ZoneMismatch, {}};
    const double lon = PairLongitude(even, odd, oddIsNewer, nl, 90.0);
    // Of lon + k * 90 the one nearest the reference's longitude.
    const double quarters = std::round((reference.lon - lon) / 90.0);
    return {CprPairOutcome::Decoded, {newer + shift, NormalizedLon(lon + 90.0 * quarters)}};
}

std::optional<LatLon> DecodeAirborneLocal(const CprFrame& frame, LatLon reference) {
    return DecodeLocal(frame, reference, 360.0);
}

std::optional<LatLon> DecodeSurfaceLocal(const CprFrame& frame, LatLon reference) {
    return DecodeLocal(frame, reference, 90.0);
}

}  // namespace quorvex
