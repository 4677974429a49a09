#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <cmath>
#include <limits>
#include <QDateTime>
#include <QTest>

namespace vb = tavro::vb;
namespace err = tavro::err;
using tavro::Currency;

namespace {
// The number of the error \a body raises, 0 when it raises none.
int errorOf(const std::function<void()>& body)
{
    const auto raised = tavro::captureError(body);
    return raised ? raised->number() : 0;
}
} // namespace

class TestClassic : public QObject
{
    Q_OBJECT

private slots:
    void formatShouldPadWholeNumbers_data();
    void formatShouldPadWholeNumbers();
    void formatShouldRoundDoubles_data();
    void formatShouldRoundDoubles();
    void formatShouldPadNumericTexts_data();
    void formatShouldPadNumericTexts();
    void valShouldReadTheLeadingNumber_data();
    void valShouldReadTheLeadingNumber();
    void isNumericShouldAcceptWhatReadsAsANumber_data();
    void isNumericShouldAcceptWhatReadsAsANumber();
    void conversionsToNumbersShouldRoundAndRaiseClassically_data();
    void conversionsToNumbersShouldRoundAndRaiseClassically();
    void dateValuesShouldCountFromTheEndOf1899_data();
    void dateValuesShouldCountFromTheEndOf1899();
    void dateTextShouldUseTheShortFormatWithFourDigitYears_data();
    void dateTextShouldUseTheShortFormatWithFourDigitYears();
    void dateTextShouldReadBackInEveryLocale_data();
    void dateTextShouldReadBackInEveryLocale();
    void datesShouldBeReadFromText_data();
    void datesShouldBeReadFromText();
    void cdateShouldConvertValues_data();
    void cdateShouldConvertValues();
    void cstrShouldWriteTheClassicText_data();
    void cstrShouldWriteTheClassicText();
    void textFunctionsShouldBehaveClassically_data();
    void textFunctionsShouldBehaveClassically();
};

void TestClassic::formatShouldPadWholeNumbers_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("seven digits") << qint64(12345) << "0000000"
                                  << "0012345" << 0;
    QTest::newRow("ten digits") << qint64(12345) << "0000000000"
                                << "0000012345" << 0;
    QTest::newRow("zero") << qint64(0) << "0000000"
                          << "0000000" << 0;
    QTest::newRow("longer than the pattern is never cut") << qint64(123456789) << "0000000"
                                                          << "123456789" << 0;
    QTest::newRow("negative") << qint64(-123) << "0000000"
                              << "-0000123" << 0;
    QTest::newRow("minimum") << std::numeric_limits<qint64>::min() << "0000000"
                             << "-9223372036854775808" << 0;
    QTest::newRow("optional digits") << qint64(42) << "#0000"
                                     << "0042" << 0;
    QTest::newRow("zero with optional digits only") << qint64(0) << "###"
                                                    << "" << 0;
    QTest::newRow("no pattern") << qint64(-42) << ""
                                << "-42" << 0;
    QTest::newRow("other patterns are refused") << qint64(42) << "00-00"
                                                << "" << int(err::InvalidProcedureCall);
}

void TestClassic::formatShouldPadWholeNumbers()
{
    QFETCH(qint64, number);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QFETCH(int, error);
    QString text;
    QCOMPARE(errorOf([&] { text = vb::Format(number, pattern); }), error);
    QCOMPARE(text, expected);
}

void TestClassic::formatShouldRoundDoubles_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("rounds down") << 123.4 << "0000123" << 0;
    QTest::newRow("half away from zero") << 2.5 << "0000003" << 0;
    QTest::newRow("negative half away from zero") << -123.5 << "-0000124" << 0;
    QTest::newRow("beyond 64 bits") << 1e20 << "100000000000000000000" << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "" << int(err::Overflow);
}

void TestClassic::formatShouldRoundDoubles()
{
    QFETCH(double, number);
    QFETCH(QString, expected);
    QFETCH(int, error);
    QString text;
    QCOMPARE(errorOf([&] { text = vb::Format(number, u"0000000"_qs); }), error);
    QCOMPARE(text, expected);
}

void TestClassic::formatShouldPadNumericTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digits") << "12345"
                            << "0000000"
                            << "0012345";
    QTest::newRow("already padded") << "0012345"
                                    << "0000000"
                                    << "0012345";
    QTest::newRow("ten digits") << "12345"
                                << "0000000000"
                                << "0000012345";
    QTest::newRow("blanks around") << "  123 "
                                   << "0000000"
                                   << "0000123";
    QTest::newRow("empty stays empty") << ""
                                       << "0000000"
                                       << "";
    QTest::newRow("letters stay as they are") << "12a4"
                                              << "0000000"
                                              << "12a4";
    QTest::newRow("word") << "abc"
                          << "0000000"
                          << "abc";
    QTest::newRow("decimal rounds down") << "123.4"
                                         << "0000000"
                                         << "0000123";
    QTest::newRow("decimal rounds half away from zero") << "123.5"
                                                        << "0000000"
                                                        << "0000124";
    QTest::newRow("negative decimal") << "-123.5"
                                      << "0000000"
                                      << "-0000124";
    QTest::newRow("negative that rounds to zero") << "-0.4"
                                                  << "0000000"
                                                  << "0000000";
    QTest::newRow("carry into a new digit") << "9999999.5"
                                            << "0000000"
                                            << "10000000";
    QTest::newRow("beyond a double, exact") << "123456789012345678901234"
                                            << "0000000"
                                            << "123456789012345678901234";
    QTest::newRow("grouped") << "1,234"
                             << "0000000"
                             << "0001234";
    QTest::newRow("exponent") << "1.5e3"
                              << "0000000"
                              << "0001500";
    QTest::newRow("hexadecimal") << "&H10"
                                 << "0000000"
                                 << "0000016";
    QTest::newRow("part after a dash is no number") << "123-4"
                                                    << "0000000"
                                                    << "123-4";
    QTest::newRow("lone point") << "."
                                << "0000000"
                                << ".";
}

void TestClassic::formatShouldPadNumericTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(vb::Format(text, pattern), expected);
}

void TestClassic::valShouldReadTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("leading zeros") << "0012345" << 12345.0 << 0;
    QTest::newRow("stops at a letter") << "12a4" << 12.0 << 0;
    QTest::newRow("empty") << "" << 0.0 << 0;
    QTest::newRow("word") << "abc" << 0.0 << 0;
    QTest::newRow("blanks anywhere") << " 1 2 3 " << 123.0 << 0;
    QTest::newRow("tabs and line feeds") << "\t1\n2" << 12.0 << 0;
    QTest::newRow("carriage return stops") << "\r5" << 0.0 << 0;
    QTest::newRow("sign and blank") << "- 12" << -12.0 << 0;
    QTest::newRow("plus") << "+5" << 5.0 << 0;
    QTest::newRow("leading point") << ".5" << 0.5 << 0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2 << 0;
    QTest::newRow("dash stops") << "0012345-6" << 12345.0 << 0;
    QTest::newRow("comma stops") << "1,234" << 1.0 << 0;
    QTest::newRow("exponent") << "1.5e3" << 1500.0 << 0;
    QTest::newRow("D exponent") << "1D2" << 100.0 << 0;
    QTest::newRow("negative exponent") << "1E-2" << 0.01 << 0;
    QTest::newRow("exponent without digits") << "7e+" << 7.0 << 0;
    QTest::newRow("hexadecimal") << "&H1F" << 31.0 << 0;
    QTest::newRow("hexadecimal 16 bits is signed") << "&HFFFF" << -1.0 << 0;
    QTest::newRow("hexadecimal beyond 16 bits") << "&H10000" << 65536.0 << 0;
    QTest::newRow("hexadecimal 32 bits is signed") << "&HFFFFFFFF" << -1.0 << 0;
    QTest::newRow("octal") << "&O17" << 15.0 << 0;
    QTest::newRow("octal without O") << "&17" << 15.0 << 0;
    QTest::newRow("octal stops at 8") << "&O78" << 7.0 << 0;
    QTest::newRow("prefix without digits") << "&H" << 0.0 << 0;
    QTest::newRow("tiny") << "1e-400" << 0.0 << 0;
    QTest::newRow("beyond a double") << "1e400" << 0.0 << int(err::Overflow);
    QTest::newRow("hexadecimal beyond 32 bits") << "&H100000000" << 0.0 << int(err::Overflow);
}

void TestClassic::valShouldReadTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QFETCH(int, error);
    double value = 0;
    QCOMPARE(errorOf([&] { value = vb::Val(text); }), error);
    QCOMPARE(value, expected);
}

void TestClassic::isNumericShouldAcceptWhatReadsAsANumber_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("expected");

    const QLocale us("en_US");
    QTest::newRow("Null") << QVariant() << us << false;
    QTest::newRow("empty") << QVariant(QString()) << us << false;
    QTest::newRow("blank") << QVariant(u" "_qs) << us << false;
    QTest::newRow("digits") << QVariant(u"0012345"_qs) << us << true;
    QTest::newRow("blanks around") << QVariant(u"  12  "_qs) << us << true;
    QTest::newRow("grouped decimal") << QVariant(u"1,234.5"_qs) << us << true;
    QTest::newRow("currency") << QVariant(u"$1,234.50"_qs) << us << true;
    QTest::newRow("currency in parentheses") << QVariant(u"($1,234.50)"_qs) << us << true;
    QTest::newRow("trailing minus") << QVariant(u"5-"_qs) << us << true;
    QTest::newRow("exponent") << QVariant(u"1e3"_qs) << us << true;
    QTest::newRow("hexadecimal") << QVariant(u"&H1F"_qs) << us << true;
    QTest::newRow("letters") << QVariant(u"12a4567"_qs) << us << false;
    QTest::newRow("lone point") << QVariant(u"."_qs) << us << false;
    QTest::newRow("two points") << QVariant(u"1.2.3"_qs) << us << false;
    QTest::newRow("number and check digit") << QVariant(u"0012345-6"_qs) << us << false;
    QTest::newRow("beyond a double") << QVariant(u"1e400"_qs) << us << false;
    QTest::newRow("de_DE currency") << QVariant(u"-1.234,50\u00a0\u20ac"_qs) << QLocale("de_DE") << true;
    QTest::newRow("another locale's symbol") << QVariant(u"\u20ac5"_qs) << us << false;
    QTest::newRow("whole number") << QVariant(5) << us << true;
    QTest::newRow("double") << QVariant(2.5) << us << true;
    QTest::newRow("Currency") << QVariant::fromValue(Currency::fromLong(3)) << us << true;
    QTest::newRow("Boolean") << QVariant(true) << us << true;
    QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << us << false;
}

void TestClassic::isNumericShouldAcceptWhatReadsAsANumber()
{
    QFETCH(QVariant, value);
    QFETCH(QLocale, locale);
    QFETCH(bool, expected);
    QCOMPARE(vb::IsNumeric(value, locale), expected);
}

void TestClassic::conversionsToNumbersShouldRoundAndRaiseClassically_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("asDouble");
    QTest::addColumn<int>("doubleError");
    QTest::addColumn<int>("asLong");
    QTest::addColumn<int>("longError");
    QTest::addColumn<qint64>("asCurrency");
    QTest::addColumn<int>("currencyError");

    const int mismatch = err::TypeMismatch, null = err::InvalidUseOfNull, overflow = err::Overflow;
    const auto row = [](const char* name, const QVariant& value, double d, int de, int l, int le, qint64 c,
                        int ce) { QTest::newRow(name) << value << d << de << l << le << c << ce; };
    row("half rounds to even, down", u"2.5"_qs, 2.5, 0, 2, 0, 25000, 0);
    row("half rounds to even, up", u"3.5"_qs, 3.5, 0, 4, 0, 35000, 0);
    row("negative half", -2.5, -2.5, 0, -2, 0, -25000, 0);
    row("currency text", u"(1,234.50)"_qs, -1234.5, 0, -1234, 0, -12345000, 0);
    row("largest long", u"2147483647"_qs, 2147483647.0, 0, 2147483647, 0, 21474836470000, 0);
    row("past the largest long", u"2147483648"_qs, 2147483648.0, 0, 0, overflow, 21474836480000, 0);
    row("smallest long", qint64(-2147483648LL), -2147483648.0, 0, std::numeric_limits<int>::min(), 0,
        -21474836480000, 0);
    row("fifth decimal of a text, half to even", u"0.00025"_qs, 0.00025, 0, 0, 0, 2, 0);
    row("hexadecimal", u"&H10"_qs, 16.0, 0, 16, 0, 160000, 0);
    row("beyond the currency range", u"1e15"_qs, 1e15, 0, 0, overflow, 0, overflow);
    row("largest whole currency", qint64(922337203685477), 922337203685477.0, 0, 0, overflow,
        9223372036854770000, 0);
    row("past the whole currency range", qint64(922337203685478), 922337203685478.0, 0, 0, overflow, 0,
        overflow);
    row("True", true, -1.0, 0, -1, 0, -10000, 0);
    row("date", QDate(1900, 1, 1), 2.0, 0, 2, 0, 20000, 0);
    row("Currency", QVariant::fromValue(Currency::fromUnits(-15000)), -1.5, 0, -2, 0, -15000, 0);
    row("empty text", u""_qs, 0.0, mismatch, 0, mismatch, 0, mismatch);
    row("word", u"abc"_qs, 0.0, mismatch, 0, mismatch, 0, mismatch);
    row("Null", QVariant(), 0.0, null, 0, null, 0, null);
}

void TestClassic::conversionsToNumbersShouldRoundAndRaiseClassically()
{
    QFETCH(QVariant, value);
    QFETCH(double, asDouble);
    QFETCH(int, doubleError);
    QFETCH(int, asLong);
    QFETCH(int, longError);
    QFETCH(qint64, asCurrency);
    QFETCH(int, currencyError);
    const QLocale us("en_US");
    double d = 0;
    QCOMPARE(errorOf([&] { d = vb::CDbl(value, us); }), doubleError);
    QCOMPARE(d, asDouble);
    qint32 l = 0;
    QCOMPARE(errorOf([&] { l = vb::CLng(value, us); }), longError);
    QCOMPARE(l, asLong);
    Currency c;
    QCOMPARE(errorOf([&] { c = vb::CCur(value, us); }), currencyError);
    QCOMPARE(c.units(), asCurrency);
}

void TestClassic::dateValuesShouldCountFromTheEndOf1899_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("error");

    QTest::newRow("zero") << 0.0 << QDate(1899, 12, 30) << 0;
    QTest::newRow("one") << 1.0 << QDate(1899, 12, 31) << 0;
    QTest::newRow("two is the first day of 1900") << 2.0 << QDate(1900, 1, 1) << 0;
    QTest::newRow("minus one") << -1.0 << QDate(1899, 12, 29) << 0;
    QTest::newRow("a day in 2005") << 38378.0 << QDate(2005, 1, 26) << 0;
    QTest::newRow("time of day is dropped") << 38378.75 << QDate(2005, 1, 26) << 0;
    QTest::newRow("negative time of day is dropped toward zero") << -1.5 << QDate(1899, 12, 29) << 0;
    QTest::newRow("last day") << 2958465.0 << QDate(9999, 12, 31) << 0;
    QTest::newRow("first day") << -657434.0 << QDate(100, 1, 1) << 0;
    QTest::newRow("after the last day") << 2958466.0 << QDate() << int(err::Overflow);
    QTest::newRow("before the first day") << -657435.0 << QDate() << int(err::Overflow);
    QTest::newRow("not a number") << std::nan("") << QDate() << int(err::Overflow);
}

void TestClassic::dateValuesShouldCountFromTheEndOf1899()
{
    QFETCH(double, value);
    QFETCH(QDate, date);
    QFETCH(int, error);
    QDate day;
    QCOMPARE(errorOf([&] { day = vb::fromDateValue(value); }), error);
    QCOMPARE(day, date);
    if (error == 0)
        QCOMPARE(vb::toDateValue(day), std::trunc(value));
}

void TestClassic::dateTextShouldUseTheShortFormatWithFourDigitYears_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");

    const QDate day(2026, 12, 6);
    QTest::newRow("C") << QLocale::c() << day << "12/06/2026";
    QTest::newRow("en_US") << QLocale("en_US") << day << "12/6/2026";
    QTest::newRow("de_DE") << QLocale("de_DE") << day << "06.12.2026";
    QTest::newRow("fr_FR") << QLocale("fr_FR") << day << "06/12/2026";
    QTest::newRow("nl_NL") << QLocale("nl_NL") << day << "06-12-2026";
    QTest::newRow("en_IN") << QLocale("en_IN") << day << "06/12/2026";
    QTest::newRow("ja_JP") << QLocale("ja_JP") << day << "2026/12/06";
    QTest::newRow("ko_KR") << QLocale("ko_KR") << day << "2026. 12. 6.";
    QTest::newRow("first century") << QLocale::c() << QDate(105, 2, 3) << "02/03/0105";
    QTest::newRow("invalid") << QLocale::c() << QDate() << "";
}

void TestClassic::dateTextShouldUseTheShortFormatWithFourDigitYears()
{
    QFETCH(QLocale, locale);
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(vb::dateText(date, locale), expected);
}

void TestClassic::dateTextShouldReadBackInEveryLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::addRow("%s", qPrintable(locale.name())) << locale;
    QTest::addRow("system") << QLocale::system();
}

void TestClassic::dateTextShouldReadBackInEveryLocale()
{
    QFETCH(QLocale, locale);
    for (const QDate date : {QDate(2026, 12, 6), QDate(2005, 1, 26), QDate(1899, 12, 30), QDate(2029, 7, 13),
                             QDate(1930, 2, 28), QDate(9999, 12, 31)}) {
        const QString text = vb::dateText(date, locale);
        QVERIFY2(vb::IsDate(text, locale), qPrintable(text));
        QCOMPARE(vb::CDate(text, locale), date);
    }
}

void TestClassic::datesShouldBeReadFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDate>("expected"); // invalid: not a date

    const QLocale c = QLocale::c();
    QTest::newRow("default text") << "12/06/2026" << c << QDate(2026, 12, 6);
    QTest::newRow("no leading zeros") << "1/5/2005" << c << QDate(2005, 1, 5);
    QTest::newRow("day and month swap when needed") << "13/05/2005" << c << QDate(2005, 5, 13);
    QTest::newRow("year first") << "2005-01-26" << c << QDate(2005, 1, 26);
    QTest::newRow("dashes") << "01-26-2005" << c << QDate(2005, 1, 26);
    QTest::newRow("blanks around") << "  1/5/2005 " << c << QDate(2005, 1, 5);
    QTest::newRow("two-digit year before 30") << "1/5/29" << c << QDate(2029, 1, 5);
    QTest::newRow("two-digit year from 30") << "1/5/30" << c << QDate(1930, 1, 5);
    QTest::newRow("short month name") << "26 Jan 2005" << c << QDate(2005, 1, 26);
    QTest::newRow("long month name first") << "January 26, 2005" << c << QDate(2005, 1, 26);
    QTest::newRow("month name in capitals") << "26-JAN-05" << c << QDate(2005, 1, 26);
    QTest::newRow("with a time") << "1/5/2005 10:30:00 AM" << c << QDate(2005, 1, 5);
    QTest::newRow("time only") << "10:30" << c << QDate(1899, 12, 30);
    QTest::newRow("de_DE") << "06.12.2026" << QLocale("de_DE") << QDate(2026, 12, 6);
    QTest::newRow("de_DE month name") << "6. Dezember 2026" << QLocale("de_DE") << QDate(2026, 12, 6);
    QTest::newRow("de_DE English month name") << "6 December 2026" << QLocale("de_DE") << QDate(2026, 12, 6);
    QTest::newRow("ja_JP") << "2026/12/06" << QLocale("ja_JP") << QDate(2026, 12, 6);
    QTest::newRow("empty") << "" << c << QDate();
    QTest::newRow("word") << "abc" << c << QDate();
    QTest::newRow("unknown word") << "26 Foo 2005" << c << QDate();
    QTest::newRow("no day and month fit") << "13/13/2005" << c << QDate();
    QTest::newRow("no such day") << "2/30/2005" << c << QDate();
    QTest::newRow("no year") << "1/5" << c << QDate();
    QTest::newRow("number") << "12345" << c << QDate();
    QTest::newRow("four numbers") << "1/5/2005/1" << c << QDate();
    QTest::newRow("other separators") << "1+5+2005" << c << QDate();
    QTest::newRow("impossible hour") << "1/5/2005 25:00" << c << QDate();
    QTest::newRow("year too large") << "1/5/10000" << c << QDate();
}

void TestClassic::datesShouldBeReadFromText()
{
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(QDate, expected);
    QCOMPARE(vb::IsDate(text, locale), expected.isValid());
    QDate date;
    QCOMPARE(errorOf([&] { date = vb::CDate(text, locale); }),
             expected.isValid() ? 0 : int(err::TypeMismatch));
    QCOMPARE(date, expected);
}

void TestClassic::cdateShouldConvertValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("isDate");
    QTest::addColumn<QDate>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << true << QDate(2026, 12, 6) << 0;
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2026, 12, 6), QTime(10, 30))) << true
                                   << QDate(2026, 12, 6) << 0;
    QTest::newRow("date value") << QVariant(38378) << false << QDate(2005, 1, 26) << 0;
    QTest::newRow("date value with time") << QVariant(2.9) << false << QDate(1900, 1, 1) << 0;
    QTest::newRow("Currency") << QVariant::fromValue(Currency::fromLong(2)) << false << QDate(1900, 1, 1)
                              << 0;
    QTest::newRow("True") << QVariant(true) << false << QDate(1899, 12, 29) << 0;
    QTest::newRow("Null") << QVariant() << false << QDate() << int(err::InvalidUseOfNull);
    QTest::newRow("invalid date") << QVariant(QDate()) << false << QDate() << int(err::TypeMismatch);
    QTest::newRow("too large a date value") << QVariant(1e9) << false << QDate() << int(err::Overflow);
}

void TestClassic::cdateShouldConvertValues()
{
    QFETCH(QVariant, value);
    QFETCH(bool, isDate);
    QFETCH(QDate, expected);
    QFETCH(int, error);
    QCOMPARE(vb::IsDate(value), isDate);
    QDate date;
    QCOMPARE(errorOf([&] { date = vb::CDate(value); }), error);
    QCOMPARE(date, expected);
}

void TestClassic::cstrShouldWriteTheClassicText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("text") << QVariant(u" abc "_qs) << " abc " << 0;
    QTest::newRow("empty text") << QVariant(u""_qs) << "" << 0;
    QTest::newRow("whole number") << QVariant(42) << "42" << 0;
    QTest::newRow("negative") << QVariant(-7) << "-7" << 0;
    QTest::newRow("largest 64-bit") << QVariant(std::numeric_limits<qint64>::max()) << "9223372036854775807"
                                    << 0;
    QTest::newRow("largest unsigned")
        << QVariant(std::numeric_limits<quint64>::max()) << "18446744073709551615" << 0;
    QTest::newRow("one tenth") << QVariant(0.1) << "0.1" << 0;
    QTest::newRow("a third") << QVariant(1.0 / 3) << "0.3333333333333333" << 0;
    QTest::newRow("whole double") << QVariant(12345.0) << "12345" << 0;
    QTest::newRow("negative double") << QVariant(-1.5) << "-1.5" << 0;
    QTest::newRow("negative zero") << QVariant(-0.0) << "0" << 0;
    QTest::newRow("large double") << QVariant(1e20) << "1E+20" << 0;
    QTest::newRow("small double") << QVariant(1e-5) << "1E-05" << 0;
    QTest::newRow("Currency") << QVariant::fromValue(Currency::fromUnits(125000)) << "12.5" << 0;
    QTest::newRow("negative Currency") << QVariant::fromValue(Currency::fromUnits(-1)) << "-0.0001" << 0;
    QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << vb::dateText(QDate(2026, 12, 6)) << 0;
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2026, 12, 6), QTime(10, 30)))
                                   << vb::dateText(QDate(2026, 12, 6)) + u" 10:30:00"_qs << 0;
    QTest::newRow("midnight shows the date only")
        << QVariant(QDateTime(QDate(2026, 12, 6), QTime(0, 0))) << vb::dateText(QDate(2026, 12, 6)) << 0;
    QTest::newRow("True") << QVariant(true) << "True" << 0;
    QTest::newRow("False") << QVariant(false) << "False" << 0;
    QTest::newRow("Null") << QVariant() << "" << int(err::InvalidUseOfNull);
}

void TestClassic::cstrShouldWriteTheClassicText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QFETCH(int, error);
    QString text;
    QCOMPARE(errorOf([&] { text = vb::CStr(value); }), error);
    QCOMPARE(text, expected);
    // A double's text reads back as the same double.
    if (value.typeId() == QMetaType::Double)
        QCOMPARE(vb::CDbl(text), value.toDouble());
}

void TestClassic::textFunctionsShouldBehaveClassically_data()
{
    // Each row: a call, its result as text, and the error it raises.
    QTest::addColumn<std::function<QString()>>("call");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("error");

    const auto number = [](int n) { return QString::number(n); };
    const int bad = err::InvalidProcedureCall;
    QTest::newRow("Trim blanks") << std::function([] { return vb::Trim(u"  a b  "_qs); }) << "a b" << 0;
    QTest::newRow("Trim keeps tabs") << std::function([] { return vb::Trim(u"\ta\t"_qs); }) << "\ta\t" << 0;
    QTest::newRow("Trim keeps no-break blanks")
        << std::function([] { return vb::Trim(u"\u00a0a "_qs); }) << "\u00a0a" << 0;
    QTest::newRow("Trim of blanks only") << std::function([] { return vb::Trim(u"   "_qs); }) << "" << 0;
    QTest::newRow("LTrim") << std::function([] { return vb::LTrim(u"  a  "_qs); }) << "a  " << 0;
    QTest::newRow("RTrim") << std::function([] { return vb::RTrim(u"  a  "_qs); }) << "  a" << 0;
    QTest::newRow("UCase") << std::function([] { return vb::UCase(u"tavro_cnfrmpymt"_qs); })
                           << "TAVRO_CNFRMPYMT" << 0;
    QTest::newRow("LCase") << std::function([] { return vb::LCase(u"ABC"_qs); }) << "abc" << 0;
    QTest::newRow("Len") << std::function([=] { return number(vb::Len(u"abc"_qs)); }) << "3" << 0;
    QTest::newRow("InStr found") << std::function([=] { return number(vb::InStr(u"12-34-5"_qs, u"-"_qs)); })
                                 << "3" << 0;
    QTest::newRow("InStr absent") << std::function([=] { return number(vb::InStr(u"12345"_qs, u"-"_qs)); })
                                  << "0" << 0;
    QTest::newRow("InStr of nothing")
        << std::function([=] { return number(vb::InStr(u"abc"_qs, u""_qs)); }) << "1" << 0;
    QTest::newRow("InStr in nothing")
        << std::function([=] { return number(vb::InStr(u""_qs, u""_qs)); }) << "0" << 0;
    QTest::newRow("InStr from a start")
        << std::function([=] { return number(vb::InStr(4, u"12-34-5"_qs, u"-"_qs)); }) << "6" << 0;
    QTest::newRow("InStr from past the end")
        << std::function([=] { return number(vb::InStr(9, u"abc"_qs, u""_qs)); }) << "0" << 0;
    QTest::newRow("InStr from zero") << std::function([=] {
        return number(vb::InStr(0, u"abc"_qs, u"a"_qs));
    }) << "" << bad;
    QTest::newRow("Left") << std::function([] { return vb::Left(u"0012345-6"_qs, 7); }) << "0012345" << 0;
    QTest::newRow("Left beyond the end") << std::function([] { return vb::Left(u"12"_qs, 7); }) << "12" << 0;
    QTest::newRow("Left negative") << std::function([] { return vb::Left(u"12"_qs, -1); }) << "" << bad;
    QTest::newRow("Right") << std::function([] { return vb::Right(u"0012345-6"_qs, 2); }) << "-6" << 0;
    QTest::newRow("Right negative") << std::function([] { return vb::Right(u"12"_qs, -1); }) << "" << bad;
    QTest::newRow("Mid") << std::function([] { return vb::Mid(u"abcdef"_qs, 2, 3); }) << "bcd" << 0;
    QTest::newRow("Mid to the end") << std::function([] { return vb::Mid(u"abcdef"_qs, 2); }) << "bcdef" << 0;
    QTest::newRow("Mid past the end") << std::function([] { return vb::Mid(u"abc"_qs, 5); }) << "" << 0;
    QTest::newRow("Mid from zero") << std::function([] { return vb::Mid(u"abc"_qs, 0); }) << "" << bad;
    QTest::newRow("Mid negative length")
        << std::function([] { return vb::Mid(u"abc"_qs, 1, -1); }) << "" << bad;
}

void TestClassic::textFunctionsShouldBehaveClassically()
{
    using Call = std::function<QString()>;
    QFETCH(Call, call);
    QFETCH(QString, expected);
    QFETCH(int, error);
    QString text;
    QCOMPARE(errorOf([&] { text = call(); }), error);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestClassic)
#include "tst_classic.moc"
