#include "runtime/Currency.h"

#include "runtime/ClassicError.h"

#include <cmath>
#include <limits>

namespace tavro {

namespace {
constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
} // namespace

Currency Currency::fromDouble(double value)
{
    if (!std::isfinite(value))
        raiseError(err::Overflow);
    // Whole and fraction apart: value * Scale would lose the last digits of amounts above
    // about 900 billion, while both parts are exact in a double.
    const double whole = std::trunc(value);
    if (std::fabs(whole) >= 1e15)
        raiseError(err::Overflow);
    const double fraction = value - whole;
    const auto fractionUnits = static_cast<qint64>(std::nearbyint(fraction * Scale)); // half to even
    qint64 units = 0;
    if (__builtin_mul_overflow(static_cast<qint64>(whole), Scale, &units) ||
        __builtin_add_overflow(units, fractionUnits, &units))
        raiseError(err::Overflow);
    return Currency(units);
}

Currency Currency::fromLong(qint64 value)
{
    qint64 units = 0;
    if (__builtin_mul_overflow(value, Scale, &units))
        raiseError(err::Overflow);
    return Currency(units);
}

std::optional<Currency> Currency::fromPlainText(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool negative = false;
    qsizetype i = 0;
    if (text[0] == u'-' || text[0] == u'+') {
        negative = text[0] == u'-';
        ++i;
    }
    // Accumulate as a negative number so that the minimum fits.
    qint64 acc = 0;
    int decimals = -1; // -1: before the point
    bool anyDigit = false;
    int roundDigit = -1;
    bool stickyNonZero = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'.') {
            if (decimals >= 0)
                return std::nullopt;
            decimals = 0;
            continue;
        }
        if (!c.isDigit() || c.unicode() > u'9')
            return std::nullopt;
        anyDigit = true;
        const int d = c.unicode() - u'0';
        if (decimals >= 4) {
            if (roundDigit < 0)
                roundDigit = d;
            else if (d != 0)
                stickyNonZero = true;
            continue;
        }
        if (__builtin_mul_overflow(acc, 10, &acc) || __builtin_sub_overflow(acc, d, &acc))
            return std::nullopt;
        if (decimals >= 0)
            ++decimals;
    }
    if (!anyDigit)
        return std::nullopt;
    for (int k = std::max(decimals, 0); k < 4; ++k)
        if (__builtin_mul_overflow(acc, 10, &acc))
            return std::nullopt;
    // Half to even on the magnitude (acc is the negated magnitude).
    if (roundDigit > 5 || (roundDigit == 5 && (stickyNonZero || (acc % 2) != 0)))
        if (__builtin_sub_overflow(acc, 1, &acc))
            return std::nullopt;
    if (negative)
        return Currency(acc);
    if (acc == kMin)
        return std::nullopt;
    return Currency(-acc);
}

QString Currency::toPlainText() const
{
    const bool negative = m_units < 0;
    // Work on the unsigned magnitude so that the minimum does not overflow.
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(m_units) : static_cast<quint64>(m_units);
    QString text = QString::number(magnitude / Scale);
    quint64 frac = magnitude % Scale;
    if (frac != 0) {
        QString digits = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    return negative ? u'-' + text : text;
}

Currency Currency::operator+(Currency other) const
{
    qint64 sum = 0;
    if (__builtin_add_overflow(m_units, other.m_units, &sum))
        raiseError(err::Overflow);
    return Currency(sum);
}

Currency Currency::operator-(Currency other) const
{
    qint64 diff = 0;
    if (__builtin_sub_overflow(m_units, other.m_units, &diff))
        raiseError(err::Overflow);
    return Currency(diff);
}

Currency Currency::operator-() const
{
    if (m_units == kMin)
        raiseError(err::Overflow);
    return Currency(-m_units);
}

static_assert(kMax == 9223372036854775807LL);

} // namespace tavro
