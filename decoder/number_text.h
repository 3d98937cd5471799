// Number text of the record view and of the CSV file, with the decimal separator passed in
// (the caller takes it from the user's locale), so that both forms are testable anywhere.
#pragma once

#include <QChar>
#include <QString>

namespace orvalin {

// The "0.0" pattern: at least one integer digit, exactly one decimal, no grouping, a leading
// minus for negative values. Rounds to the nearest tenth, halves away from zero, working on
// the value written with 15 significant digits (0.15 counts as exactly halfway: "0.2").
// A negative value that rounds to zero shows without a sign ("0.0").
QString formatOneDecimal(double value, QChar decimalSeparator);

// Number text of at most 15 significant digits: trailing zeros dropped, no separator for
// whole numbers (120), a 0 before the separator below 1 (0.5), exponent form such as 1E+15
// or 1E-05 for magnitudes of 1e15 and above or below 1e-4. Negative zero is written as 0.
QString formatNumberText(double value, QChar decimalSeparator);

// The decimal separator of the user's locale (read on every call, so a changed default locale
// takes effect at once); a point where the locale names none.
QChar localeDecimalSeparator();

}  // namespace orvalin
