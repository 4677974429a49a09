#pragma once

#include <optional>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>

namespace tavro {
class Currency;
class TextBuffer;
} // namespace tavro

/// \brief The classic conversions of values, numbers, dates and texts, each in one place.
///
/// They behave as their classic namesakes for the inputs the screen uses, and raise
/// ClassicErrors with the classic numbers where the classic functions raise errors
/// (13 "Type mismatch", 94 "Invalid use of Null", 5 "Invalid procedure call or argument",
/// 6 "Overflow"). Null is a null QVariant. Texts that depend on regional settings use
/// QLocale::system() unless a locale is given.
/// \code
/// vb::Format(u"12345"_s, u"0000000"_s); // "0012345"
/// vb::Val(u" 0012345-6");               // 12345
/// vb::CDate(vb::dateText(day)) == day;  // true
/// \endcode
namespace tavro::vb {

// --- Numbers ------------------------------------------------------------------------

/// A number written with a digit pattern of '0' (a digit always shown) and '#' (a digit
/// shown when needed): at least as many digits as the pattern has zeros, never cut.
/// Negative numbers get a leading "-" before the padded digits ("-0000123"); a number that
/// is zero after rounding is written without sign. Raises 5 for any other pattern.
QString Format(qint64 number, const QString& pattern);
inline QString Format(int number, const QString& pattern)
{
    return Format(qint64(number), pattern);
}

/// The same for a double, rounded to a whole number half away from zero (2.5 gives "3").
/// Raises 6 for infinity and NaN.
QString Format(double number, const QString& pattern);

/// The same for a text: a numeric text (see IsNumeric) is read, rounded to a whole number
/// half away from zero ("123.5" gives "0000124"), and written as above, exactly, whatever
/// its length. A text that is not numeric comes back unchanged (so does the empty text).
QString Format(const QString& number, const QString& pattern);

/// The classic leading-number reader: skips blanks, tabs and line feeds anywhere, reads an
/// optional sign, digits, one '.', and an exponent (E or D), or an "&H"/"&O" literal, and
/// stops at the first other character. Locale-independent. "0012345" gives 12345, "12a4"
/// 12, "" 0, "&HFFFF" -1. Raises 6 when the number exceeds a double.
double Val(QStringView text);

/// True for numbers, Currency and Booleans, and for texts that read fully as a number:
/// blanks around, the locale's grouping and currency symbol, a sign before or after or
/// parentheses, an exponent, an "&H"/"&O" literal. False for Null, "", dates and other texts.
bool IsNumeric(const QVariant& value, const QLocale& locale = QLocale::system());

/// The classic CDbl: numbers as they are, True as -1, dates as date values, texts as
/// IsNumeric reads them. Raises 94 for Null, 13 for a text that is not a number.
double CDbl(const QVariant& value, const QLocale& locale = QLocale::system());

/// The classic CLng: CDbl rounded half to even; raises 6 outside the 32-bit range.
qint32 CLng(const QVariant& value, const QLocale& locale = QLocale::system());

/// The classic CCur: a Currency as it is, integers exactly, doubles rounded half to even at the
/// fourth decimal, texts as the locale's currency or number texts read (parseCurrency).
/// Raises 94 for Null, 13 for a text that is not an amount, 6 outside the Currency range.
Currency CCur(const QVariant& value, const QLocale& locale = QLocale::system());

// --- Dates --------------------------------------------------------------------------

/// Date value 0: 30 December 1899.
QDate dateValueZero();
/// The day of a classic date value (days since date value 0; the time of day, the
/// fraction, is dropped toward zero as in the classic encoding). Raises 6 outside the
/// years 100 to 9999.
QDate fromDateValue(double value);
/// Days since date value 0. Raises 13 for an invalid date.
double toDateValue(QDate date);

/// The locale's short date format with the year widened to four digits ("M/d/yyyy" in
/// en_US, "dd.MM.yyyy" in de_DE). The C locale writes "MM/dd/yyyy", as its POSIX
/// namesake does.
QString shortDateFormat(const QLocale& locale = QLocale::system());
/// The default text of a date in shortDateFormat(); IsDate and CDate read it back as the
/// same date. An invalid date gives "".
QString dateText(QDate date, const QLocale& locale = QLocale::system());
/// Appends dateText(date) to \a text, for lists of thousands of dates: no string of its own.
void appendDateText(TextBuffer& text, QDate date, const QLocale& locale = QLocale::system());

/// True for valid dates and for texts that read as one: three numbers in the locale's
/// order (a leading number of three or four digits is the year, and day and month swap
/// when the locale's order gives no valid date), or a day, a month name (the locale's or
/// English, long or short) and a year; two-digit years 00-29 are 2000-2029, 30-99
/// 1930-1999; a time of day may follow. False for Null, numbers and other texts.
bool IsDate(const QVariant& value, const QLocale& locale = QLocale::system());
/// IsDate and CDate in one reading: the date when IsDate holds, nothing otherwise.
std::optional<QDate> readAsDate(const QVariant& value, const QLocale& locale = QLocale::system());

/// The classic CDate, to the day: dates as they are, numbers as date values, texts as
/// IsDate reads them. Raises 94 for Null, 13 for a text that is not a date.
QDate CDate(const QVariant& value, const QLocale& locale = QLocale::system());

// --- Texts --------------------------------------------------------------------------

/// The classic text of a value: a text as it is; whole numbers in decimal; doubles as the
/// shortest text that reads back as the same double, with '.' and an "E+20" style exponent;
/// Currency as Currency::toPlainText; dates as dateText; Booleans "True"/"False".
/// Raises 94 for Null and 13 for a value that has no text.
QString CStr(const QVariant& value);
/// Appends CStr(value) to \a text, dates in \a locale's format, and nothing for Null (an empty
/// cell of a list); raises as CStr does for a value without a text, leaving \a text as it was.
void appendCellText(TextBuffer& text, const QVariant& value, const QLocale& locale = QLocale::system());

/// Removes leading and trailing blanks (U+0020 only, as classically: tabs stay).
QString Trim(const QString& text);
QString LTrim(const QString& text);
QString RTrim(const QString& text);
QString UCase(const QString& text);
QString LCase(const QString& text);
int Len(const QString& text);

/// 1-based position of \a what in \a text from \a start, 0 when absent; an empty \a what
/// is found at \a start, nothing is found in an empty text. Raises 5 when start < 1.
int InStr(const QString& text, const QString& what);
int InStr(int start, const QString& text, const QString& what);

/// The first (last) \a length characters; raises 5 for a negative length.
QString Left(const QString& text, int length);
QString Right(const QString& text, int length);
/// \a length characters from the 1-based \a start, or all the rest when \a length is
/// omitted. Raises 5 when start < 1 or length < 0.
QString Mid(const QString& text, int start, std::optional<int> length = std::nullopt);

} // namespace tavro::vb
