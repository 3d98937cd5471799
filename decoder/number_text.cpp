#include "decoder/number_text.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orvalin {

namespace {

QString nonFinite(double value) {
    if (std::isnan(value)) return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
}

}  // namespace

QString formatOneDecimal(double value, QChar decimalSeparator) {
    if (!std::isfinite(value)) return nonFinite(value);
    // 15 significant digits, d.dddddddddddddde+X: rounding to one decimal works on these
    // decimal digits, not on the binary double, so 0.15 counts as exactly halfway.
    char sci[40];
    const auto res =
        std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific, 14);
    *res.ptr = '\0';
    char digits[15];
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, 14);
    const int exponent = std::atoi(sci + 17);  // after "d.dddddddddddddde"

    // The magnitude is 0.d0d1...d14 * 10^(exponent + 1). `kept` receives the integer digits and
    // the tenths digit: keep = exponent + 2 digits in all (at most 310 for finite doubles).
    const int keep = exponent + 2;
    char kept[320];
    int keptSize = 0;
    if (keep <= 0) {
        kept[keptSize++] = '0';
        kept[keptSize++] = (keep == 0 && digits[0] >= '5') ? '1' : '0';
    } else {
        kept[keptSize++] = '0';  // room for a carry out of the leading digit
        for (int i = 0; i < keep; ++i) kept[keptSize++] = i < 15 ? digits[i] : '0';
        if (keep < 15 && digits[keep] >= '5') {
            // Half away from zero on the magnitude: carry from the tenths digit leftwards.
            int i = keptSize - 1;
            while (kept[i] == '9') kept[i--] = '0';
            ++kept[i];
        }
    }
    // Leading zeros of the integer part go, at least one integer digit stays.
    int first = 0;
    while (first < keptSize - 2 && kept[first] == '0') ++first;
    const QLatin1StringView integerPart(kept + first, keptSize - 1 - first);
    const char tenths = kept[keptSize - 1];

    const bool isZero = integerPart == QLatin1StringView("0") && tenths == '0';
    QString text;
    text.reserve(integerPart.size() + 3);
    if (value < 0 && !isZero) text += u'-';
    text += integerPart;
    text += decimalSeparator;
    text += QLatin1Char(tenths);
    return text;
}

QString formatNumberText(double value, QChar decimalSeparator) {
    if (!std::isfinite(value)) return nonFinite(value);
    if (value == 0) return QStringLiteral("0");  // also -0
    // The same as printf's %.15g: 15 significant digits, trailing zeros removed, exponent form
    // for exponents below -4 or from 15 on, at least two exponent digits.
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buf, static_cast<qsizetype>(res.ptr - buf));
    for (QChar& c : text) {
        if (c == u'.')
            c = decimalSeparator;
        else if (c == u'e')
            c = u'E';
    }
    return text;
}

QChar localeDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

}  // namespace orvalin
