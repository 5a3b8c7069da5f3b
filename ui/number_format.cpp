#include "ui/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quorvex::ui {

namespace {

struct Picture {
    int minInteger = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouping = false;
};

Picture ParsePicture(const QString& picture) {
    Picture p;
    bool decimals = false;
    for (const QChar c : picture) {
        if (c == QLatin1Char(';')) break;  // sections for negative numbers and zero: unused
        if (c == QLatin1Char('.')) {
            decimals = true;
        } else if (c == QLatin1Char(',')) {
            if (!decimals) p.grouping = true;
        } else if (c == QLatin1Char('0')) {
            if (decimals) {
                ++p.minDecimals;
                ++p.maxDecimals;
            } else {
                ++p.minInteger;
            }
        } else if (c == QLatin1Char('#')) {
            if (decimals) ++p.maxDecimals;
        }
    }
    if (p.maxDecimals > 15) p.maxDecimals = 15;
    if (p.minDecimals > p.maxDecimals) p.minDecimals = p.maxDecimals;
    return p;
}

// |value| rounded to `decimals` places, as integer digits and exactly `decimals` fraction
// digits.
void Digits(double magnitude, int decimals, QString& integer, QString& fraction) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::round(magnitude * scale);
    if (scaled < 9.0e15) {  // exact in a double and in 64 bits
        const auto whole = static_cast<std::uint64_t>(scaled);
        const auto unit = static_cast<std::uint64_t>(scale);
        integer = QString::number(whole / unit);
        fraction =
            decimals > 0 ? QString::number(whole % unit).rightJustified(decimals, '0') : QString();
        return;
    }
    const QString text = QString::number(magnitude, 'f', decimals);
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    integer = dot < 0 ? text : text.left(dot);
    fraction = dot < 0 ? QString() : text.mid(dot + 1);
}

}  // namespace

QString FormatFloat(const QString& picture, double value, const QLocale& locale) {
    if (!std::isfinite(value)) return locale.toString(value);
    const Picture p = ParsePicture(picture);

    QString integer, fraction;
    Digits(std::fabs(value), p.maxDecimals, integer, fraction);
    while (fraction.size() > p.minDecimals && fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);

    const bool zero =
        integer == QLatin1String("0") && std::all_of(fraction.begin(), fraction.end(),
                                                     [](QChar c) { return c == QLatin1Char('0'); });
    if (integer == QLatin1String("0") && p.minInteger == 0) integer.clear();
    if (integer.size() < p.minInteger) integer = integer.rightJustified(p.minInteger, '0');
    if (p.grouping) {
        const QString separator = locale.groupSeparator();
        for (qsizetype at = integer.size() - 3; at > 0; at -= 3) integer.insert(at, separator);
    }

    QString text;
    if (value < 0 && !zero) text += locale.negativeSign();
    text += integer;
    if (!fraction.isEmpty()) text += locale.decimalPoint() + fraction;
    if (text.isEmpty() || text == locale.negativeSign()) text = QStringLiteral("0");
    return text;
}

}  // namespace quorvex::ui
