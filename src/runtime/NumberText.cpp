#include "runtime/NumberText.h"

#include <algorithm>
#include <charconv>
#include <QList>
#include <string>

namespace tavro::detail {

namespace {

// Bidirectional marks (U+200E, U+200F, U+061C) surround signs and symbols in some
// locales; they carry no meaning for the value.
QString withoutFormatCharacters(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c.category() != QChar::Other_Format)
            out += c;
    return out;
}

bool isMinus(QStringView text, const QString& localeMinus)
{
    return text == u"-" || text == u"\u2212" || (!localeMinus.isEmpty() && text == localeMinus);
}

bool isPlus(QStringView text, const QString& localePlus)
{
    return text == u"+" || (!localePlus.isEmpty() && text == localePlus);
}

// Length of a sign at the start (atEnd == false) or the end of text, 0 if there is none.
qsizetype signLength(QStringView text, const QString& minus, const QString& plus, bool atEnd, bool* negative)
{
    for (const QString& candidate :
         {minus, plus, QStringLiteral("-"), QStringLiteral("\u2212"), QStringLiteral("+")}) {
        if (candidate.isEmpty() || candidate.size() > text.size())
            continue;
        const QStringView part = atEnd ? text.right(candidate.size()) : text.left(candidate.size());
        if (part == candidate) {
            *negative = isMinus(part, minus);
            if (*negative || isPlus(part, plus))
                return candidate.size();
        }
    }
    return 0;
}

struct Separators
{
    QString decimal;
    QString group;
    bool groupIsBlank = false;
    bool groupIsApostrophe = false;
    bool plainPointToo = false;
};

Separators separatorsOf(const QLocale& locale)
{
    Separators s;
    s.decimal = locale.decimalPoint();
    s.group = locale.groupSeparator();
    s.groupIsBlank = s.group.size() == 1 && s.group.at(0).isSpace();
    s.groupIsApostrophe = s.group == u"\u2019" || s.group == u"'";
    // A plain "350.5" still reads in locales where '.' means nothing else.
    s.plainPointToo = s.decimal != u"." && s.group != u".";
    return s;
}

// Length of a group separator at text[i], 0 if there is none.
qsizetype groupLengthAt(QStringView text, qsizetype i, const Separators& s)
{
    const QChar c = text.at(i);
    if (s.groupIsBlank && c.isSpace())
        return 1;
    if (s.groupIsApostrophe && (c == u'\'' || c == u'\u2019'))
        return 1;
    if (!s.group.isEmpty() && text.mid(i).startsWith(s.group))
        return s.group.size();
    return 0;
}

qsizetype decimalLengthAt(QStringView text, qsizetype i, const Separators& s)
{
    if (!s.decimal.isEmpty() && text.mid(i).startsWith(s.decimal))
        return s.decimal.size();
    if (s.plainPointToo && text.at(i) == u'.')
        return 1;
    return 0;
}

std::optional<DecimalText> readRadixLiteral(QStringView text)
{
    if (text.size() < 2 || text.at(0) != u'&')
        return std::nullopt;
    int base = 8;
    qsizetype start = 1;
    if (text.at(1) == u'H' || text.at(1) == u'h') {
        base = 16;
        start = 2;
    } else if (text.at(1) == u'O' || text.at(1) == u'o') {
        start = 2;
    }
    const auto value = radixLiteralValue(text.mid(start), base);
    if (!value)
        return std::nullopt;
    DecimalText number;
    number.negative = *value < 0;
    number.digits = QString::number(*value < 0 ? -*value : *value);
    return number;
}

// Reads "digits[group digits...][decimal digits][E[sign]digits]" covering the whole text.
std::optional<DecimalText> readDigits(QStringView text, const Separators& s, bool allowExponent)
{
    DecimalText number;
    bool inWhole = true;
    bool lastWasDigit = false;
    bool needDigit = false; // a group separator must be followed by a digit
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (const qsizetype n = digitLengthAt(text, i)) {
            number.digits += QChar(u'0' + digitValueAt(text, i));
            if (!inWhole)
                ++number.fractionDigits;
            lastWasDigit = true;
            needDigit = false;
            i += n;
            continue;
        }
        if (needDigit)
            return std::nullopt;
        if (inWhole) {
            if (const qsizetype n = decimalLengthAt(text, i, s)) {
                inWhole = false;
                lastWasDigit = false;
                i += n;
                continue;
            }
            if (lastWasDigit) {
                if (const qsizetype n = groupLengthAt(text, i, s)) {
                    lastWasDigit = false;
                    needDigit = true;
                    i += n;
                    continue;
                }
            }
        }
        if (allowExponent && (c == u'E' || c == u'e') && !number.digits.isEmpty()) {
            qsizetype j = i + 1;
            bool negativeExponent = false;
            if (j < text.size() && (text.at(j) == u'-' || text.at(j) == u'+' || text.at(j) == u'\u2212')) {
                negativeExponent = text.at(j) != u'+';
                ++j;
            }
            if (j >= text.size())
                return std::nullopt;
            int exponent = 0;
            while (j < text.size()) {
                const qsizetype n = digitLengthAt(text, j);
                if (n == 0)
                    return std::nullopt;
                exponent = std::min(exponent * 10 + digitValueAt(text, j), 100000);
                j += n;
            }
            number.exponent = negativeExponent ? -exponent : exponent;
            return number;
        }
        return std::nullopt;
    }
    if (needDigit || number.digits.isEmpty())
        return std::nullopt;
    return number;
}

} // namespace

char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    return c.unicode();
}

// Length in UTF-16 units of a decimal digit at text[i], 0 if there is none.
qsizetype digitLengthAt(QStringView text, qsizetype i)
{
    const char32_t point = codePointAt(text, i);
    if (QChar::category(point) != QChar::Number_DecimalDigit)
        return 0;
    return QChar::requiresSurrogates(point) ? 2 : 1;
}

int digitValueAt(QStringView text, qsizetype i)
{
    return QChar::digitValue(codePointAt(text, i));
}

std::optional<qint64> radixLiteralValue(QStringView digits, int base)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int d = c.isDigit() && c.unicode() <= u'9'             ? c.unicode() - u'0'
                      : (c.toUpper() >= u'A' && c.toUpper() <= u'F') ? c.toUpper().unicode() - u'A' + 10
                                                                     : 99;
        if (d >= base)
            return std::nullopt;
        value = value * static_cast<quint64>(base) + static_cast<quint64>(d);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (value <= 0xFFFFull)
        return static_cast<qint16>(static_cast<quint16>(value));
    return static_cast<qint32>(static_cast<quint32>(value));
}

std::optional<DecimalText> readNumberText(QStringView input, const QLocale& locale, int options)
{
    const QString cleaned = withoutFormatCharacters(input);
    QStringView rest = QStringView(cleaned).trimmed();
    if (rest.isEmpty())
        return std::nullopt;
    if ((options & AllowRadixPrefix) && rest.at(0) == u'&')
        return readRadixLiteral(rest);

    bool negative = false;
    bool parenthesised = false;
    if (rest.size() >= 2 && rest.front() == u'(' && rest.back() == u')') {
        parenthesised = negative = true;
        rest = rest.mid(1, rest.size() - 2).trimmed();
    }

    QList<QString> symbols;
    for (const auto format : {QLocale::CurrencySymbol, QLocale::CurrencyIsoCode}) {
        const QString symbol = withoutFormatCharacters(locale.currencySymbol(format));
        if (!symbol.isEmpty() && !symbols.contains(symbol))
            symbols.append(symbol);
    }
    std::sort(symbols.begin(), symbols.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    const QString minus = withoutFormatCharacters(locale.negativeSign());
    const QString plus = withoutFormatCharacters(locale.positiveSign());

    // Peel a symbol and a sign off either end, in whatever order the locale puts them.
    bool sawSymbol = false;
    bool sawSign = parenthesised;
    for (bool changed = true; changed && !rest.isEmpty();) {
        changed = false;
        if (!sawSymbol) {
            for (const QString& symbol : std::as_const(symbols)) {
                if (rest.startsWith(symbol)) {
                    rest = rest.mid(symbol.size()).trimmed();
                } else if (rest.endsWith(symbol)) {
                    rest = rest.chopped(symbol.size()).trimmed();
                } else {
                    continue;
                }
                sawSymbol = changed = true;
                break;
            }
        }
        if (!sawSign && !rest.isEmpty()) {
            bool signNegative = false;
            if (const qsizetype n = signLength(rest, minus, plus, false, &signNegative)) {
                rest = rest.mid(n).trimmed();
                sawSign = changed = true;
                negative = signNegative;
            } else if (const qsizetype m = signLength(rest, minus, plus, true, &signNegative)) {
                rest = rest.chopped(m).trimmed();
                sawSign = changed = true;
                negative = signNegative;
            }
        }
    }
    if (rest.isEmpty())
        return std::nullopt;

    auto number = readDigits(rest, separatorsOf(locale), options & AllowExponent);
    if (number)
        number->negative = negative;
    return number;
}

std::optional<QString> toPlainDecimal(const DecimalText& number)
{
    constexpr qsizetype kLimit = 400;
    const qsizetype point = number.digits.size() - number.fractionDigits + number.exponent;
    if (point > kLimit)
        return std::nullopt;
    QString text;
    if (point < -kLimit)
        text = QStringLiteral("0");
    else if (point <= 0)
        text = QStringLiteral("0.") + QString(-point, u'0') + number.digits;
    else if (point >= number.digits.size())
        text = number.digits + QString(point - number.digits.size(), u'0');
    else
        text = number.digits.left(point) + u'.' + number.digits.mid(point);
    return number.negative ? u'-' + text : text;
}

std::optional<double> toDouble(const DecimalText& number)
{
    const std::string text = number.digits.toStdString() + 'e' +
                             std::to_string(static_cast<long long>(number.exponent) - number.fractionDigits);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: too large is an overflow, too small is zero.
        const qsizetype magnitude = number.digits.size() - number.fractionDigits + number.exponent;
        if (magnitude > 0)
            return std::nullopt;
        value = 0;
    } else if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (value == 0)
        return 0.0;
    return number.negative ? -value : value;
}

} // namespace tavro::detail
