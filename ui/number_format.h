#pragma once
// Number pictures for axis labels: "0" is a required digit, "#" an optional one, "," in the
// integer part asks for thousands groups, "." starts the decimals. So "#0" is a whole number
// without separators and "#,##0.###" has at least one integer digit, groups of thousands and
// at most three decimals with trailing zeros dropped. Rounding is half away from zero; the
// separators are the locale's.

#include <QLocale>
#include <QString>

namespace quorvex::ui {

QString FormatFloat(const QString& picture, double value, const QLocale& locale);

}  // namespace quorvex::ui
