#include "runtime/CurrencyFormat.h"

#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/ClassicLocaleCache.h"
#include "runtime/NumberText.h"
#include "runtime/TextBuffer.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

namespace tavro {

namespace {

constexpr int kMaxDecimals = 4;
constexpr quint64 kLargestLearned = 10000000000000000000ull; // the probes stop at 19 digits

struct CurrencyPattern
{
    int decimals = 2;
    QString positivePrefix, positiveSuffix;
    QString negativePrefix, negativeSuffix;
    QString decimalPoint, groupSeparator, zeroDigit;
    /// Where the locale groups a whole number of n digits (bit k: a separator before digit k),
    /// when its integer texts are ASCII digits and separators only.
    std::array<quint32, 20> groupsByDigits{};
    bool plainIntegers = false;
    /// The separators when each is one UTF-16 unit (most locales), else 0.
    char16_t groupUnit = 0, pointUnit = 0;
    bool asciiDigits = false; ///< the zero digit is '0'
};

// Qt groups by the count of digits alone (least, top and higher group sizes); what it writes
// for each count is read once, so that amounts can be written without asking Qt each time.
void learnGrouping(CurrencyPattern& pattern, const QLocale& locale)
{
    if (pattern.zeroDigit != u"0" || pattern.groupSeparator.isEmpty())
        return;
    quint64 probe = 1;
    for (std::size_t digits = 1; digits < pattern.groupsByDigits.size(); ++digits, probe *= 10) {
        const QString text = locale.toString(static_cast<qulonglong>(probe));
        quint32 mask = 0;
        std::size_t seen = 0;
        for (qsizetype i = 0; i < text.size();) {
            if (text.at(i) >= u'0' && text.at(i) <= u'9') {
                ++seen;
                ++i;
            } else if (seen > 0 && QStringView(text).mid(i).startsWith(pattern.groupSeparator)) {
                mask |= 1u << seen;
                i += pattern.groupSeparator.size();
            } else {
                return;
            }
        }
        if (seen != digits)
            return;
        pattern.groupsByDigits[digits] = mask;
    }
    pattern.plainIntegers = true;
}

// Writes the whole part as Qt writes it (see learnGrouping) at \a out; returns the end.
char16_t* writeGroupedDigits(char16_t* out, quint64 whole, const CurrencyPattern& pattern)
{
    char16_t digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    const quint32 mask = pattern.groupsByDigits[count];
    for (std::size_t k = 0; k < count; ++k) {
        if (mask & (1u << k)) {
            for (const QChar c : pattern.groupSeparator)
                *out++ = c.unicode();
        }
        *out++ = digits[count - 1 - k];
    }
    return out;
}

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
    pattern.decimalPoint = locale.decimalPoint();
    pattern.groupSeparator = locale.groupSeparator();
    pattern.zeroDigit = locale.zeroDigit();
    pattern.asciiDigits = pattern.zeroDigit == u"0";
    if (pattern.groupSeparator.size() == 1)
        pattern.groupUnit = pattern.groupSeparator.at(0).unicode();
    if (pattern.decimalPoint.size() == 1)
        pattern.pointUnit = pattern.decimalPoint.at(0).unicode();
    learnGrouping(pattern, locale);
    return pattern;
}

const CurrencyPattern& cachedPatternOf(const QLocale& locale)
{
    thread_local detail::LocaleCache<CurrencyPattern> patterns;
    return patterns.get(locale, patternOf);
}

// Appends \a width digits of \a value (zero-padded) in the locale's script (most: ASCII).
void appendLocalDigits(TextBuffer& text, quint64 value, int width, const QString& zero)
{
    char ascii[24];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        ascii[i] = static_cast<char>('0' + value % 10);
    if (zero == u"0") {
        for (int i = 0; i < width; ++i)
            text += QLatin1Char(ascii[i]);
        return;
    }
    const char32_t zeroPoint = zero.isEmpty() ? U'0' : zero.toUcs4().value(0, U'0');
    for (int i = 0; i < width; ++i) {
        const char32_t point = zeroPoint + static_cast<char32_t>(ascii[i] - '0');
        text += QStringView(QChar::fromUcs4(point));
    }
}

// The units of "digits[group digits...][point digits]" in ASCII digits with the locale's own
// separators, at most fourteen whole digits and four decimals; nullopt for anything else.
std::optional<qint64> plainAmountUnits(QStringView text, const CurrencyPattern& pattern)
{
    constexpr int kMaxWholeDigits = 14; // far inside the range once scaled
    const auto digitAt = [&](qsizetype i) {
        const char16_t unit = text.at(i).unicode();
        return unit >= u'0' && unit <= u'9' ? int(unit - u'0') : -1;
    };
    qint64 whole = 0;
    int wholeDigits = 0;
    bool needDigit = true;
    qsizetype i = 0;
    while (i < text.size()) {
        if (const int digit = digitAt(i); digit >= 0) {
            if (++wholeDigits > kMaxWholeDigits)
                return std::nullopt;
            whole = whole * 10 + digit;
            needDigit = false;
            ++i;
        } else if (!needDigit && !pattern.groupSeparator.isEmpty() &&
                   (pattern.groupUnit ? text.at(i).unicode() == pattern.groupUnit
                                      : text.mid(i).startsWith(pattern.groupSeparator))) {
            needDigit = true;
            i += pattern.groupSeparator.size();
        } else {
            break;
        }
    }
    if (needDigit)
        return std::nullopt;
    qint64 fraction = 0;
    int fractionDigits = 0;
    if (i < text.size()) {
        const bool point = pattern.pointUnit ? text.at(i).unicode() == pattern.pointUnit
                                             : !pattern.decimalPoint.isEmpty() &&
                                                   text.mid(i).startsWith(pattern.decimalPoint);
        if (!point)
            return std::nullopt;
        for (i += pattern.decimalPoint.size(); i < text.size(); ++i) {
            const int digit = digitAt(i);
            if (digit < 0 || ++fractionDigits > kMaxDecimals)
                return std::nullopt;
            fraction = fraction * 10 + digit;
        }
        if (fractionDigits == 0)
            return std::nullopt;
    }
    for (int d = fractionDigits; d < kMaxDecimals; ++d)
        fraction *= 10;
    return whole * Currency::Scale + fraction;
}

// An amount exactly as formatCurrency writes it in this locale (its own prefix and suffix,
// ASCII digits); nullopt leaves the text to the general reader.
std::optional<Currency> readWrittenAmount(QStringView text, const CurrencyPattern& pattern)
{
    if (!pattern.asciiDigits)
        return std::nullopt;
    // Prefixes and suffixes are a character or two: compared here, not by a general search.
    const auto between = [&](const QString& prefix, const QString& suffix) -> std::optional<QStringView> {
        const qsizetype middle = text.size() - prefix.size() - suffix.size();
        if (middle <= 0 || !std::equal(prefix.cbegin(), prefix.cend(), text.cbegin()) ||
            !std::equal(suffix.cbegin(), suffix.cend(), text.cbegin() + prefix.size() + middle))
            return std::nullopt;
        return text.sliced(prefix.size(), middle);
    };
    if (const auto number = between(pattern.positivePrefix, pattern.positiveSuffix)) {
        if (const auto units = plainAmountUnits(*number, pattern))
            return Currency::fromUnits(*units);
    }
    if (const auto number = between(pattern.negativePrefix, pattern.negativeSuffix)) {
        if (const auto units = plainAmountUnits(*number, pattern))
            return Currency::fromUnits(-*units);
    }
    return std::nullopt;
}

} // namespace

int currencyDecimals(const QLocale& locale)
{
    return cachedPatternOf(locale).decimals;
}

namespace {

// \a value divided by 10^\a digits (0-4), and the remainder. Each case divides by a constant,
// which compiles to a multiplication; a division by a number known only at run time takes
// tens of cycles, several times for every amount of a list.
std::pair<quint64, quint64> splitDigits(quint64 value, int digits)
{
    switch (digits) {
    case 0:
        return {value, 0};
    case 1:
        return {value / 10, value % 10};
    case 2:
        return {value / 100, value % 100};
    case 3:
        return {value / 1000, value % 1000};
    default:
        return {value / 10000, value % 10000};
    }
}

/// The magnitude of an amount at the locale's decimals (in units of its smallest decimal).
quint64 shownMagnitude(qint64 units, const CurrencyPattern& pattern)
{
    // The magnitude as unsigned, so that the minimum does not overflow.
    quint64 magnitude = units < 0 ? 0 - static_cast<quint64>(units) : static_cast<quint64>(units);
    quint64 step = 1;
    for (int i = pattern.decimals; i < kMaxDecimals; ++i)
        step *= 10;
    quint64 remainder = 0;
    std::tie(magnitude, remainder) = splitDigits(magnitude, kMaxDecimals - pattern.decimals);
    // At the very ends of the range rounding up would give a text that no longer reads
    // back as a Currency; there the amount is cut instead.
    constexpr quint64 kLargestMagnitude = 9223372036854775807ull;
    // (magnitude + 1) * step cannot overflow: magnitude is at most 2^63 / step.
    if (remainder * 2 >= step && (magnitude + 1) * step <= kLargestMagnitude)
        ++magnitude;
    return magnitude;
}

} // namespace

QString formatCurrency(Currency amount, const QLocale& locale)
{
    TextBuffer text;
    appendCurrency(text, amount, locale);
    return text.toString();
}

void appendCurrency(TextBuffer& text, Currency amount, const QLocale& locale)
{
    const CurrencyPattern& pattern = cachedPatternOf(locale);
    const qint64 units = amount.units();
    const quint64 magnitude = shownMagnitude(units, pattern);
    const auto [whole, fractionDigits] = splitDigits(magnitude, pattern.decimals);
    const bool negative = units < 0 && magnitude != 0;
    const QString& prefix = negative ? pattern.negativePrefix : pattern.positivePrefix;
    const QString& suffix = negative ? pattern.negativeSuffix : pattern.positiveSuffix;
    if (!pattern.plainIntegers || whole >= kLargestLearned) {
        // The whole part is grouped exactly as Qt's own integer formatting does (Indian, minimum
        // grouping digits, native digits), so that the text is that of toCurrencyString.
        text += prefix;
        text += locale.toString(static_cast<qulonglong>(whole));
        if (pattern.decimals > 0) {
            text += pattern.decimalPoint;
            appendLocalDigits(text, fractionDigits, pattern.decimals, pattern.zeroDigit);
        }
        text += suffix;
        return;
    }
    // ASCII digits (see learnGrouping): the text is written straight onto the end of \a text.
    const qsizetype most = prefix.size() + suffix.size() + pattern.decimalPoint.size() +
                           20 * (1 + pattern.groupSeparator.size()) + kMaxDecimals;
    text.appendInPlace(most, [&](char16_t* out) {
        const auto units16 = [](const QString& s) {
            return reinterpret_cast<const char16_t*>(s.constData());
        };
        out = std::copy(units16(prefix), units16(prefix) + prefix.size(), out);
        out = writeGroupedDigits(out, whole, pattern);
        if (pattern.decimals > 0) {
            out = std::copy(units16(pattern.decimalPoint),
                            units16(pattern.decimalPoint) + pattern.decimalPoint.size(), out);
            quint64 fraction = fractionDigits;
            for (int i = pattern.decimals - 1; i >= 0; --i, fraction /= 10)
                out[i] = static_cast<char16_t>(u'0' + fraction % 10);
            out += pattern.decimals;
        }
        return std::copy(units16(suffix), units16(suffix) + suffix.size(), out);
    });
}

std::optional<Currency> parseCurrency(QStringView text, const QLocale& locale)
{
    // Amounts read from a list are almost always ones formatCurrency wrote.
    if (const auto amount = readWrittenAmount(text, cachedPatternOf(locale)))
        return amount;
    const auto number = detail::readNumberText(text, locale, detail::AllowExponent);
    if (!number)
        return std::nullopt;
    const auto plain = detail::toPlainDecimal(*number);
    if (!plain)
        return std::nullopt;
    return Currency::fromPlainText(*plain);
}

std::optional<Currency> readAsCurrency(const QVariant& value, const QLocale& locale)
{
    if (value.typeId() == QMetaType::QString) // a cell's text, read where it is; a Null text is empty
        return parseCurrency(*static_cast<const QString*>(value.constData()), locale);
    if (value.isNull())
        return std::nullopt;
    std::optional<Currency> amount;
    // A value without a text is no amount.
    captureError([&] { amount = parseCurrency(vb::CStr(value), locale); });
    return amount;
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
