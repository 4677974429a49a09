#include "runtime/CurrencyFormat.h"

#include "runtime/ClassicError.h"
#include "runtime/NumberText.h"

namespace tavro {

namespace {

constexpr int kMaxDecimals = 4;

struct CurrencyPattern
{
    int decimals = 2;
    QString positivePrefix, positiveSuffix;
    QString negativePrefix, negativeSuffix;
};

// Qt composes a currency text from the locale's pattern and its number formatting; the
// pattern itself is not public, so it is recovered from the text Qt writes for a probe.
CurrencyPattern patternOf(const QLocale& locale)
{
    constexpr double probe = 5.0;
    CurrencyPattern pattern;
    const QString positive = locale.toCurrencyString(probe);
    QString number;
    for (int decimals = kMaxDecimals; decimals >= 0; --decimals) {
        number = locale.toString(probe, 'f', decimals);
        if (positive.contains(number)) {
            pattern.decimals = decimals;
            break;
        }
    }
    const qsizetype at = positive.indexOf(number);
    pattern.positivePrefix = positive.left(at);
    pattern.positiveSuffix = positive.mid(at + number.size());
    const QString negative = locale.toCurrencyString(-probe);
    const qsizetype negativeAt = negative.indexOf(number);
    pattern.negativePrefix = negative.left(negativeAt);
    pattern.negativeSuffix = negative.mid(negativeAt + number.size());
    return pattern;
}

// Digits in the locale's script (most locales: ASCII).
QString localDigits(quint64 value, int width, const QLocale& locale)
{
    const QString ascii = QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
    const QString zero = locale.zeroDigit();
    if (zero == u"0")
        return ascii;
    const QList<uint> zeroPoint = zero.toUcs4();
    QList<uint> points;
    for (const QChar c : ascii)
        points.append(zeroPoint.value(0, u'0') + static_cast<uint>(c.unicode() - u'0'));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), points.size());
}

} // namespace

int currencyDecimals(const QLocale& locale)
{
    return patternOf(locale).decimals;
}

QString formatCurrency(Currency amount, const QLocale& locale)
{
    const CurrencyPattern pattern = patternOf(locale);
    const qint64 units = amount.units();
    // The magnitude as unsigned, so that the minimum does not overflow.
    quint64 magnitude = units < 0 ? 0 - static_cast<quint64>(units) : static_cast<quint64>(units);
    quint64 step = 1;
    for (int i = pattern.decimals; i < kMaxDecimals; ++i)
        step *= 10;
    const quint64 remainder = magnitude % step;
    magnitude /= step;
    // At the very ends of the range rounding up would give a text that no longer reads
    // back as a Currency; there the amount is cut instead.
    constexpr quint64 kLargestMagnitude = 9223372036854775807ull;
    if (remainder * 2 >= step && (magnitude + 1) <= kLargestMagnitude / step)
        ++magnitude;
    quint64 fractionScale = 1;
    for (int i = 0; i < pattern.decimals; ++i)
        fractionScale *= 10;
    const quint64 whole = magnitude / fractionScale;
    // The whole part goes through Qt's own integer formatting, so that grouping (Indian,
    // minimum grouping digits, native digits) is exactly that of toCurrencyString.
    QString number = locale.toString(static_cast<qulonglong>(whole));
    if (pattern.decimals > 0)
        number += locale.decimalPoint() + localDigits(magnitude % fractionScale, pattern.decimals, locale);
    if (units < 0 && magnitude != 0)
        return pattern.negativePrefix + number + pattern.negativeSuffix;
    return pattern.positivePrefix + number + pattern.positiveSuffix;
}

std::optional<Currency> parseCurrency(QStringView text, const QLocale& locale)
{
    const auto number = detail::readNumberText(text, locale, detail::AllowExponent);
    if (!number)
        return std::nullopt;
    const auto plain = detail::toPlainDecimal(*number);
    if (!plain)
        return std::nullopt;
    return Currency::fromPlainText(*plain);
}

double currencyTextToDouble(QStringView text, const QLocale& locale)
{
    if (text.trimmed().isEmpty())
        return 0.0;
    const auto number = detail::readNumberText(text, locale, detail::AllowExponent);
    if (!number)
        raiseError(err::TypeMismatch);
    const auto value = detail::toDouble(*number);
    if (!value)
        raiseError(err::Overflow);
    return *value;
}

} // namespace tavro
