#include "runtime/Classic.h"

#include "runtime/ClassicError.h"
#include "runtime/ClassicLocaleCache.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/NumberText.h"
#include "runtime/TextBuffer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <QDateTime>
#include <QRegularExpression>
#include <string>
#include <utility>

namespace tavro::vb {

namespace {

using detail::LocaleCache;

bool isNumberType(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return value.metaType() == QMetaType::fromType<Currency>();
    }
}

bool isWholeNumberType(const QVariant& value)
{
    return isNumberType(value) && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float &&
           value.metaType() != QMetaType::fromType<Currency>();
}

std::optional<detail::DecimalText> readNumber(const QString& text, const QLocale& locale)
{
    auto number = detail::readNumberText(text, locale, detail::AllowExponent | detail::AllowRadixPrefix);
    if (number && !detail::toDouble(*number))
        return std::nullopt; // beyond a double: not a number classically either
    return number;
}

// The minimum digit count of a pattern of '0' and '#'.
int zerosOfPattern(const QString& pattern)
{
    int zeros = 0;
    for (const QChar c : pattern) {
        if (c == u'0')
            ++zeros;
        else if (c != u'#')
            raiseError(err::InvalidProcedureCall);
    }
    return zeros;
}

QString padded(QString digits, bool negative, int zeros)
{
    if (digits == u"0")
        digits.clear(); // zero shows only as far as the pattern's zeros demand
    if (digits.size() < zeros)
        digits.prepend(QString(zeros - digits.size(), u'0'));
    if (negative && !digits.isEmpty() && digits.count(u'0') != digits.size())
        digits.prepend(u'-');
    return digits;
}

// Adds one to a string of ASCII digits.
QString incremented(QString digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
        digits[i] = u'0';
    }
    return u'1' + digits;
}

// --- date texts ---

QString widenedYear(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u'y') {
            out += c;
            continue;
        }
        while (i + 1 < format.size() && format.at(i + 1) == u'y')
            ++i;
        out += QStringLiteral("yyyy");
    }
    return out;
}

enum class Part
{
    Day,
    Month,
    Year
};

// The order of day, month and year in the locale's short date format.
std::array<Part, 3> dateOrderOfFormat(const QString& format)
{
    struct Found
    {
        qsizetype at;
        Part part;
    };
    std::array<Found, 3> found = {Found{format.indexOf(u'd'), Part::Day},
                                  Found{format.indexOf(u'M'), Part::Month},
                                  Found{format.indexOf(u'y'), Part::Year}};
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.at < b.at; });
    return {found[0].part, found[1].part, found[2].part};
}

QString shortDateFormatOf(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return QStringLiteral("MM/dd/yyyy");
    return widenedYear(locale.dateFormat(QLocale::ShortFormat));
}

// Words the locale's short format writes literally, such as the "г." after a Bulgarian year.
QStringList literalWordsOfFormat(const QString& format)
{
    QStringList words;
    bool quoted = false;
    QString word;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (quoted && c.isLetter()) {
            word += c;
            continue;
        }
        if (!word.isEmpty())
            words.append(std::exchange(word, QString()));
    }
    return words;
}

// A format of nothing but d, dd, M, MM, yyyy and punctuation is written here directly;
// anything else (names, quoted words, other digits) is left to QLocale.
bool isPlainFormat(const QString& format, const QLocale& locale)
{
    if (locale.zeroDigit() != u"0")
        return false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == u'd' || c == u'M') {
            if (run > 2)
                return false;
        } else if (c == u'y') {
            if (run != 4)
                return false;
        } else if (c.isLetter() || c == u'\'' || c.unicode() >= 0x80) {
            return false;
        }
        i += run;
    }
    return true;
}

// What the date conversions need of a locale; the system locale's format is asked of the
// platform, which is slow, so it is worked out once per locale.
/// One piece of a plain format: a day, month or year of at least \a width digits, or one
/// punctuation character.
struct PlainPiece
{
    std::optional<Part> part;
    int width = 0;
    char16_t literal = 0;
};

struct DateLocale
{
    QString format;
    std::array<Part, 3> order;
    QStringList literalWords;
    bool plainFormat = false;
    std::vector<PlainPiece> pieces; // of a plain format
    /// Every number of the plain format ends at punctuation or at the end, so that its text
    /// can be read back piece by piece.
    bool piecewiseReadable = false;
};

std::vector<PlainPiece> piecesOfPlainFormat(const QString& format)
{
    std::vector<PlainPiece> pieces;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == u'd' || c == u'M' || c == u'y') {
            const Part part = c == u'd' ? Part::Day : c == u'M' ? Part::Month : Part::Year;
            pieces.push_back({part, part == Part::Year ? 4 : static_cast<int>(run), 0});
        } else {
            for (qsizetype k = 0; k < run; ++k)
                pieces.push_back({std::nullopt, 0, c.unicode()});
        }
        i += run;
    }
    return pieces;
}

bool isPiecewiseReadable(const std::vector<PlainPiece>& pieces)
{
    int numbers = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].part) {
            if (pieces[i].literal >= u'0' && pieces[i].literal <= u'9')
                return false;
            continue;
        }
        ++numbers;
        if (i + 1 < pieces.size() && pieces[i + 1].part)
            return false;
    }
    return numbers == 3;
}

const DateLocale& dateLocale(const QLocale& locale)
{
    thread_local LocaleCache<DateLocale> cache;
    return cache.get(locale, [](const QLocale& l) {
        DateLocale info;
        info.format = shortDateFormatOf(l);
        info.order = dateOrderOfFormat(info.format);
        info.literalWords = literalWordsOfFormat(info.format);
        info.plainFormat = isPlainFormat(info.format, l);
        if (info.plainFormat) {
            info.pieces = piecesOfPlainFormat(info.format);
            info.piecewiseReadable = isPiecewiseReadable(info.pieces);
        }
        return info;
    });
}

// Writes a day or month (1-31) with at least \a width (1 or 2) digits, or a year of 1000-9999,
// at \a out; returns the end.
char16_t* writeDatePart(char16_t* out, int value, int width)
{
    const auto digit = [](int d) { return static_cast<char16_t>(u'0' + d); };
    if (value >= 1000) {
        *out++ = digit(value / 1000);
        *out++ = digit(value / 100 % 10);
    }
    if (value >= 10 || width == 2)
        *out++ = digit(value / 10 % 10);
    *out++ = digit(value % 10);
    return out;
}

// The proleptic Gregorian day, month and year of a Julian day (H. Hinnant's days-to-civil),
// without QDate::getDate's general calendar machinery; years before 1 come out astronomically
// numbered (0 for 1 BC), which the callers' year range excludes.
void civilOfJulianDay(qint64 julianDay, int* year, int* month, int* day)
{
    const qint64 z = julianDay - 2440588 + 719468; // days since 0000-03-01
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153; // March is 0
    *day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    *month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    *year = static_cast<int>(qint64(yearOfEra) + era * 400 + (*month <= 2 ? 1 : 0));
}

// The inverse (H. Hinnant's days-from-civil) for years 100 to 9999, an invalid date when the
// day is not one of its month's: QDate's own constructor goes through the calendar machinery,
// a third of the cost of reading a list's date.
QDate dateOfCivil(int year, int month, int day)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return {};
    const int shiftedYear = month <= 2 ? year - 1 : year; // years start in March
    const int era = shiftedYear / 400;
    const auto yearOfEra = static_cast<unsigned>(shiftedYear - era * 400);
    const auto shiftedMonth = static_cast<unsigned>(month > 2 ? month - 3 : month + 9);
    const unsigned dayOfYear = (153 * shiftedMonth + 2) / 5 + static_cast<unsigned>(day) - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return QDate::fromJulianDay(qint64(era) * 146097 + dayOfEra - 719468 + 2440588);
}

// Appends the date in a plain format (see isPlainFormat), as QLocale writes it for years
// 1000-9999.
void appendPlainDate(TextBuffer& text, int year, int month, int day, const std::vector<PlainPiece>& pieces)
{
    // A piece is a literal or a number of at most 4 digits.
    text.appendInPlace(4 * static_cast<qsizetype>(pieces.size()), [&](char16_t* out) {
        for (const PlainPiece& piece : pieces) {
            if (!piece.part)
                *out++ = piece.literal;
            else
                out = writeDatePart(out,
                                    *piece.part == Part::Day     ? day
                                    : *piece.part == Part::Month ? month
                                                                 : year,
                                    piece.width);
        }
        return out;
    });
}

int monthOfName(QStringView word, const QLocale& locale)
{
    const auto strip = [](QString name) {
        name.remove(u'.');
        return name.trimmed();
    };
    for (const QLocale& l : {locale, QLocale::c()}) {
        for (int month = 1; month <= 12; ++month) {
            for (const auto format : {QLocale::LongFormat, QLocale::ShortFormat}) {
                for (const QString& name :
                     {l.monthName(month, format), l.standaloneMonthName(month, format)}) {
                    const QString bare = strip(name);
                    if (!bare.isEmpty() && word.compare(bare, Qt::CaseInsensitive) == 0)
                        return month;
                }
            }
        }
    }
    return 0;
}

struct NumberToken
{
    int value = 0;
    int digits = 0;
};

int fullYear(const NumberToken& year)
{
    if (year.digits <= 2)
        return year.value < 30 ? 2000 + year.value : 1900 + year.value;
    return year.value;
}

std::optional<QDate> makeDate(int year, int month, int day)
{
    if (year < 100 || year > 9999)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

bool isDateSeparator(QChar c)
{
    return c.isSpace() || c == u'/' || c == u'-' || c == u'.' || c == u',';
}

// The digit at text[i] (of any script): its length in UTF-16 units, 0 if there is none.
qsizetype digitAt(QStringView text, qsizetype i, int* value)
{
    const char16_t unit = text.at(i).unicode();
    if (unit >= u'0' && unit <= u'9') { // by far the most common, and cheap to tell
        *value = unit - u'0';
        return 1;
    }
    if (unit < 0x80)
        return 0;
    const qsizetype n = detail::digitLengthAt(text, i);
    if (n)
        *value = detail::digitValueAt(text, i);
    return n;
}

std::optional<QDate> readDatePart(QStringView text, const QLocale& locale)
{
    // A date has two or three numbers; a text with more is no date.
    std::array<NumberToken, 3> numbers;
    std::size_t count = 0;
    int month = 0;
    qsizetype i = 0;
    int digit = 0;
    while (i < text.size()) {
        if (digitAt(text, i, &digit)) {
            if (count == numbers.size())
                return std::nullopt;
            NumberToken& token = numbers[count++];
            while (const qsizetype n = i < text.size() ? digitAt(text, i, &digit) : 0) {
                if (++token.digits > 4)
                    return std::nullopt;
                token.value = token.value * 10 + digit;
                i += n;
            }
        } else if (QChar::isLetter(detail::codePointAt(text, i))) {
            const qsizetype start = i;
            while (i < text.size() && QChar::isLetter(detail::codePointAt(text, i)))
                i += QChar::requiresSurrogates(detail::codePointAt(text, i)) ? 2 : 1;
            const QStringView word = text.mid(start, i - start);
            if (dateLocale(locale).literalWords.contains(word))
                continue;
            if (month != 0)
                return std::nullopt;
            month = monthOfName(word, locale);
            if (month == 0)
                return std::nullopt;
        } else if (isDateSeparator(text.at(i))) {
            ++i;
        } else {
            return std::nullopt;
        }
    }

    const auto order = dateLocale(locale).order;
    const auto position = [&](Part part) {
        return std::find(order.begin(), order.end(), part) - order.begin();
    };

    if (month != 0) {
        if (count != 2)
            return std::nullopt;
        // A number of three or four digits is the year; otherwise the locale's order decides.
        bool yearFirst = position(Part::Year) < position(Part::Day);
        if (numbers[0].digits >= 3)
            yearFirst = true;
        else if (numbers[1].digits >= 3)
            yearFirst = false;
        const NumberToken& year = yearFirst ? numbers[0] : numbers[1];
        const NumberToken& day = yearFirst ? numbers[1] : numbers[0];
        return makeDate(fullYear(year), month, day.value);
    }

    if (count != 3)
        return std::nullopt;
    if (numbers[0].digits >= 3) // year, month, day
        return makeDate(fullYear(numbers[0]), numbers[1].value, numbers[2].value);
    const NumberToken year = numbers[position(Part::Year)];
    const int first = numbers[position(Part::Month)].value;
    const int second = numbers[position(Part::Day)].value;
    if (auto date = makeDate(fullYear(year), first, second))
        return date;
    // As classically, day and month trade places when the locale's order gives no date.
    return makeDate(fullYear(year), second, first);
}

// A text shaped exactly as appendPlainDate writes it (days and months of one or two digits, a
// year of four), read piece by piece; an invalid date for any other text and for a day that
// does not exist, which are left to the general reader. (A plain QDate rather than an optional
// one: copies of optionals through the stack stalled the processor on this path.)
QDate readPlainDate(QStringView text, const std::vector<PlainPiece>& pieces)
{
    int values[3] = {0, 0, 0}; // day, month, year
    qsizetype i = 0;
    for (const PlainPiece& piece : pieces) {
        if (!piece.part) {
            if (i >= text.size() || text[i].unicode() != piece.literal)
                return {};
            ++i;
            continue;
        }
        const qsizetype start = i;
        const qsizetype longest = *piece.part == Part::Year ? 4 : 2;
        int value = 0;
        while (i < text.size() && i - start < longest && text[i].unicode() >= u'0' &&
               text[i].unicode() <= u'9')
            value = value * 10 + (text[i++].unicode() - u'0');
        const qsizetype digits = i - start;
        if (digits == 0 || (*piece.part == Part::Year && digits != 4))
            return {};
        values[static_cast<int>(*piece.part)] = value;
    }
    if (i != text.size() || values[2] < 100) // as makeDate
        return {};
    return dateOfCivil(values[2], values[1], values[0]);
}

std::optional<QDate> readDateUncached(const QString& input, const QLocale& locale)
{
    // Format characters (bidirectional marks) are outside ASCII; most texts need no copy.
    const bool ascii = std::all_of(input.begin(), input.end(), [](QChar c) { return c.unicode() < 0x80; });
    QString text;
    if (ascii) {
        text = input;
    } else {
        for (const QChar c : input)
            if (c.category() != QChar::Other_Format)
                text += c;
    }
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // A time of day may follow the date; it does not change the day.
    if (!text.contains(u':'))
        return readDatePart(text, locale);
    static const QRegularExpression timeOfDay(
        QStringLiteral(R"(^(.*?)\s*\b(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?$)"));
    const auto match = timeOfDay.match(text);
    if (match.hasMatch()) {
        const int hours = match.captured(2).toInt();
        const bool twelveHour = !match.captured(5).isEmpty();
        if (hours > (twelveHour ? 12 : 23) || match.captured(3).toInt() > 59 ||
            match.captured(4).toInt() > 59)
            return std::nullopt;
        if (match.captured(1).isEmpty())
            return dateValueZero();
        text = match.captured(1);
    }
    return readDatePart(text, locale);
}

// Most texts read are dates that dateText wrote, thousands at a time (a list's dates); those
// are read piece by piece. An invalid date: the text is no date.
QDate readDate(const QString& input, const QLocale& locale)
{
    const DateLocale& info = dateLocale(locale);
    QDate date;
    if (info.piecewiseReadable)
        date = readPlainDate(input, info.pieces);
    if (!date.isValid())
        date = readDateUncached(input, locale).value_or(QDate());
    return date;
}

} // namespace

// --- Numbers ----------------------------------------------------------------------------

QString Format(qint64 number, const QString& pattern)
{
    if (pattern.isEmpty())
        return QString::number(number);
    const int zeros = zerosOfPattern(pattern);
    const quint64 magnitude = number < 0 ? 0 - static_cast<quint64>(number) : static_cast<quint64>(number);
    return padded(QString::number(magnitude), number < 0, zeros);
}

QString Format(double number, const QString& pattern)
{
    if (!std::isfinite(number))
        raiseError(err::Overflow);
    const double rounded = std::round(number); // half away from zero
    if (std::fabs(rounded) < 9e18)
        return Format(static_cast<qint64>(rounded), pattern);
    const int zeros = zerosOfPattern(pattern);
    return padded(QString::number(std::fabs(rounded), 'f', 0), rounded < 0, zeros);
}

QString Format(const QString& number, const QString& pattern)
{
    if (pattern.isEmpty())
        return number;
    const int zeros = zerosOfPattern(pattern);
    const auto read = readNumber(number, QLocale::system());
    if (!read)
        return number;
    const auto plain = detail::toPlainDecimal(*read);
    if (!plain)
        return number;
    QStringView digits = *plain;
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits = digits.mid(1);
    const qsizetype point = digits.indexOf(u'.');
    QString whole = (point < 0 ? digits : digits.left(point)).toString();
    if (point >= 0 && point + 1 < digits.size() && digits.at(point + 1) >= u'5')
        whole = incremented(whole);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    return padded(whole.isEmpty() ? QStringLiteral("0") : whole, negative, zeros);
}

double Val(QStringView text)
{
    QString compact;
    for (const QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n')
            compact += c;
    const auto isAsciiDigit = [&](qsizetype i) {
        return i < compact.size() && compact.at(i).isDigit() && compact.at(i) <= u'9';
    };

    qsizetype i = 0;
    if (compact.startsWith(u'&')) {
        int base = 8;
        i = 1;
        if (i < compact.size() && (compact.at(i) == u'H' || compact.at(i) == u'h')) {
            base = 16;
            ++i;
        } else if (i < compact.size() && (compact.at(i) == u'O' || compact.at(i) == u'o')) {
            ++i;
        }
        const qsizetype start = i;
        while (i < compact.size() &&
               (base == 16 ? compact.at(i).isLetterOrNumber() && compact.at(i).toUpper() <= u'F'
                           : compact.at(i) >= u'0' && compact.at(i) <= u'7'))
            ++i;
        if (i == start)
            return 0;
        const auto value = detail::radixLiteralValue(QStringView(compact).mid(start, i - start), base);
        if (!value)
            raiseError(err::Overflow);
        return static_cast<double>(*value);
    }

    std::string number;
    if (i < compact.size() && (compact.at(i) == u'-' || compact.at(i) == u'+')) {
        if (compact.at(i) == u'-')
            number += '-';
        ++i;
    }
    std::string whole, fraction;
    while (isAsciiDigit(i))
        whole += static_cast<char>(compact.at(i++).unicode());
    if (i < compact.size() && compact.at(i) == u'.') {
        ++i;
        while (isAsciiDigit(i))
            fraction += static_cast<char>(compact.at(i++).unicode());
    }
    if (whole.empty() && fraction.empty())
        return 0;
    number += (whole.empty() ? "0" : whole) + '.' + (fraction.empty() ? "0" : fraction);
    if (i < compact.size() && QStringLiteral("EeDd").contains(compact.at(i))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < compact.size() && (compact.at(j) == u'-' || compact.at(j) == u'+'))
            exponent += static_cast<char>(compact.at(j++).unicode());
        bool any = false;
        while (isAsciiDigit(j) && exponent.size() < 12) {
            exponent += static_cast<char>(compact.at(j++).unicode());
            any = true;
        }
        if (any)
            number += exponent;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small reads as zero; too large is an overflow.
        if (number.find("e-") != std::string::npos)
            return 0;
        raiseError(err::Overflow);
    }
    return value == 0 ? 0.0 : value;
}

bool IsNumeric(const QVariant& value, const QLocale& locale)
{
    if (value.isNull())
        return false;
    if (isNumberType(value) || value.typeId() == QMetaType::Bool)
        return true;
    if (value.typeId() == QMetaType::QString)
        return readNumber(value.toString(), locale).has_value();
    return false;
}

double CDbl(const QVariant& value, const QLocale& locale)
{
    if (value.isNull())
        raiseError(err::InvalidUseOfNull);
    if (value.metaType() == QMetaType::fromType<Currency>())
        return value.value<Currency>().toDouble();
    if (isNumberType(value))
        return value.toDouble();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::QDate:
        return toDateValue(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        return toDateValue(moment.date()) + moment.time().msecsSinceStartOfDay() / 86400000.0;
    }
    case QMetaType::QString:
        if (const auto number = readNumber(value.toString(), locale))
            return *detail::toDouble(*number);
        break;
    default:
        break;
    }
    raiseError(err::TypeMismatch);
}

qint32 CLng(const QVariant& value, const QLocale& locale)
{
    const double rounded = std::nearbyint(CDbl(value, locale)); // half to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        raiseError(err::Overflow);
    return static_cast<qint32>(rounded);
}

Currency CCur(const QVariant& value, const QLocale& locale)
{
    if (value.isNull())
        raiseError(err::InvalidUseOfNull);
    if (value.metaType() == QMetaType::fromType<Currency>())
        return *static_cast<const Currency*>(value.constData());
    if (isWholeNumberType(value)) {
        if (value.typeId() == QMetaType::ULongLong && value.toULongLong() > quint64(LLONG_MAX))
            raiseError(err::Overflow);
        return Currency::fromLong(value.toLongLong());
    }
    if (value.typeId() == QMetaType::QString) {
        if (const auto amount = parseCurrency(value.toString(), locale))
            return *amount;
        // What is left: "&H" literals, and numbers beyond the range, which overflow here.
        if (const auto number = readNumber(value.toString(), locale))
            return Currency::fromDouble(*detail::toDouble(*number));
        raiseError(err::TypeMismatch);
    }
    return Currency::fromDouble(CDbl(value, locale));
}

// --- Dates ------------------------------------------------------------------------------

QDate dateValueZero()
{
    return QDate(1899, 12, 30);
}

QDate fromDateValue(double value)
{
    constexpr double kFirst = -657434; // 1 January 100
    constexpr double kLast = 2958465;  // 31 December 9999
    if (!std::isfinite(value))
        raiseError(err::Overflow);
    const double days = std::trunc(value);
    if (days < kFirst || days > kLast)
        raiseError(err::Overflow);
    return dateValueZero().addDays(static_cast<qint64>(days));
}

double toDateValue(QDate date)
{
    if (!date.isValid())
        raiseError(err::TypeMismatch);
    return static_cast<double>(dateValueZero().daysTo(date));
}

QString shortDateFormat(const QLocale& locale)
{
    return dateLocale(locale).format;
}

QString dateText(QDate date, const QLocale& locale)
{
    TextBuffer text;
    appendDateText(text, date, locale);
    return text.toString();
}

void appendDateText(TextBuffer& text, QDate date, const QLocale& locale)
{
    if (!date.isValid())
        return;
    const DateLocale& info = dateLocale(locale);
    if (info.plainFormat) {
        int year = 0, month = 0, day = 0;
        civilOfJulianDay(date.toJulianDay(), &year, &month, &day);
        if (year >= 1000 && year <= 9999)
            return appendPlainDate(text, year, month, day, info.pieces);
    }
    text += locale.toString(date, info.format);
}

std::optional<QDate> readAsDate(const QVariant& value, const QLocale& locale)
{
    // No test for Null: a Null date or text holds no date, and Null has no type.
    QDate date;
    switch (value.typeId()) {
    case QMetaType::QDate:
        date = value.toDate();
        break;
    case QMetaType::QDateTime:
        if (const QDateTime moment = value.toDateTime(); moment.isValid())
            date = moment.date();
        break;
    case QMetaType::QString:
        date = readDate(*static_cast<const QString*>(value.constData()), locale);
        break;
    default:
        break;
    }
    return date.isValid() ? std::optional(date) : std::nullopt;
}

bool IsDate(const QVariant& value, const QLocale& locale)
{
    return readAsDate(value, locale).has_value();
}

QDate CDate(const QVariant& value, const QLocale& locale)
{
    if (value.isNull())
        raiseError(err::InvalidUseOfNull);
    if (const std::optional<QDate> date = readAsDate(value, locale))
        return *date;
    if (value.typeId() == QMetaType::Bool)
        return fromDateValue(value.toBool() ? -1 : 0);
    if (isNumberType(value))
        return fromDateValue(CDbl(value, locale));
    raiseError(err::TypeMismatch);
}

// --- Texts ------------------------------------------------------------------------------

QString CStr(const QVariant& value)
{
    if (value.isNull())
        raiseError(err::InvalidUseOfNull);
    if (value.typeId() == QMetaType::QString) // the most common by far: cells and fields of text
        return *static_cast<const QString*>(value.constData());
    if (value.metaType() == QMetaType::fromType<Currency>())
        return static_cast<const Currency*>(value.constData())->toPlainText();
    if (isWholeNumberType(value))
        return value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong ||
                       value.typeId() == QMetaType::UInt
                   ? QString::number(value.toULongLong())
                   : QString::number(value.toLongLong());
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (number == 0)
            return QStringLiteral("0");
        return QString::number(number, 'g', QLocale::FloatingPointShortest).replace(u'e', u'E');
    }
    case QMetaType::QDate:
        return dateText(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        QString text = dateText(moment.date());
        if (moment.time().msecsSinceStartOfDay() != 0)
            text += u' ' + moment.time().toString(QStringLiteral("HH:mm:ss"));
        return text;
    }
    default:
        if (value.canConvert<QString>())
            return value.toString();
        raiseError(err::TypeMismatch);
    }
}

void appendCellText(TextBuffer& text, const QVariant& value, const QLocale& locale)
{
    // Texts and dates first, without a test for Null: a Null text is empty, and a Null date is
    // invalid and goes on to the test below.
    switch (value.typeId()) {
    case QMetaType::QString:
        text += *static_cast<const QString*>(value.constData()); // no copy of its own
        return;
    case QMetaType::QDate:
        if (const QDate date = value.toDate(); date.isValid())
            return appendDateText(text, date, locale);
        break;
    default:
        break;
    }
    if (!value.isNull())
        text += CStr(value);
}

QString LTrim(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == u' ')
        ++start;
    return text.mid(start);
}

QString RTrim(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

QString Trim(const QString& text)
{
    return LTrim(RTrim(text));
}
QString UCase(const QString& text)
{
    return text.toUpper();
}
QString LCase(const QString& text)
{
    return text.toLower();
}
int Len(const QString& text)
{
    return static_cast<int>(text.size());
}

int InStr(const QString& text, const QString& what)
{
    return InStr(1, text, what);
}

int InStr(int start, const QString& text, const QString& what)
{
    if (start < 1)
        raiseError(err::InvalidProcedureCall);
    if (text.isEmpty() || start > text.size())
        return 0;
    if (what.isEmpty())
        return start;
    return static_cast<int>(text.indexOf(what, start - 1)) + 1;
}

QString Left(const QString& text, int length)
{
    if (length < 0)
        raiseError(err::InvalidProcedureCall);
    return text.left(length);
}

QString Right(const QString& text, int length)
{
    if (length < 0)
        raiseError(err::InvalidProcedureCall);
    return text.right(length);
}

QString Mid(const QString& text, int start, std::optional<int> length)
{
    if (start < 1 || (length && *length < 0))
        raiseError(err::InvalidProcedureCall);
    if (start > text.size())
        return {};
    return length ? text.mid(start - 1, *length) : text.mid(start - 1);
}

} // namespace tavro::vb
