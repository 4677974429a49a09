#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <cmath>
#include <limits>
#include <new>
#include <QDateTime>
#include <QTest>
#include <stdexcept>

namespace vb = tavro::vb;
namespace err = tavro::err;
using tavro::Currency;
using Call = std::function<QString()>;
using Body = std::function<void()>;

namespace {
// The number of the error \a body raises, 0 when it raises none.
int errorOf(const std::function<void()>& body)
{
    const auto raised = tavro::captureError(body);
    return raised ? raised->number() : 0;
}

QVariant money(qint64 units)
{
    return QVariant::fromValue(Currency::fromUnits(units));
}
} // namespace

class TestClassic : public QObject
{
    Q_OBJECT

private slots:
    void captureErrorShouldTurnEveryExceptionIntoAClassicError_data()
    {
        QTest::addColumn<Body>("body");
        QTest::addColumn<int>("number"); // 0: nothing raised
        QTest::addColumn<QString>("description");

        QTest::newRow("nothing") << Body([] {}) << 0 << "";
        QTest::newRow("own text") << Body([] {
            tavro::raiseError(err::SaveCancelled, u"Save was cancelled."_qs);
        }) << int(err::SaveCancelled)
                                  << "Save was cancelled.";
        QTest::newRow("out of memory")
            << Body([] { throw std::bad_alloc(); }) << int(err::OutOfMemory) << "Out of memory";
        QTest::newRow("standard exception keeps its text")
            << Body([] { throw std::runtime_error("socket closed"); }) << int(err::AutomationError)
            << "socket closed";
        QTest::newRow("anything else")
            << Body([] { throw 42; }) << int(err::AutomationError) << "Automation error";
    }

    void captureErrorShouldTurnEveryExceptionIntoAClassicError()
    {
        QFETCH(Body, body);
        QFETCH(int, number);
        QFETCH(QString, description);
        const auto raised = tavro::captureError(body);
        QCOMPARE(raised ? raised->number() : 0, number);
        if (raised)
            QCOMPARE(raised->description(), description);
    }

    void passOverShouldDropOnlyItsOwnNumber_data()
    {
        QTest::addColumn<int>("raisedInStep"); // 0: the step raises nothing
        QTest::addColumn<int>("reachesTrap");
        QTest::newRow("its number is dropped") << int(err::FileNotFound) << 0;
        QTest::newRow("another number reaches the trap") << int(err::TypeMismatch) << int(err::TypeMismatch);
        QTest::newRow("quiet abort reaches the trap") << int(err::QuietAbort) << int(err::QuietAbort);
    }

    void passOverShouldDropOnlyItsOwnNumber()
    {
        QFETCH(int, raisedInStep);
        QFETCH(int, reachesTrap);
        bool nextRan = false;
        QCOMPARE(errorOf([&] {
                     tavro::passOver(err::FileNotFound, [&] {
                         if (raisedInStep != 0)
                             tavro::raiseError(raisedInStep);
                     });
                     nextRan = true;
                 }),
                 reachesTrap);
        QCOMPARE(nextRan, reachesTrap == 0);
    }

    void formatShouldPadNumbers_data()
    {
        QTest::addColumn<QVariant>("number"); // whole, double or text
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("error");

        const auto row = [](const char* name, const QVariant& number, const char* pattern,
                            const char* expected, int error = 0) {
            QTest::newRow(name) << number << QString::fromLatin1(pattern) << QString::fromLatin1(expected)
                                << error;
        };
        row("seven digits", qint64(12345), "0000000", "0012345");
        row("minimum", std::numeric_limits<qint64>::min(), "0000000", "-9223372036854775808");
        row("other patterns are refused", qint64(42), "00-00", "", err::InvalidProcedureCall);
        row("double half away from zero", -123.5, "0000000", "-0000124");
        row("double beyond 64 bits", 1e20, "0000000", "100000000000000000000");
        row("infinity", std::numeric_limits<double>::infinity(), "0000000", "", err::Overflow);
        row("text", u"12345"_qs, "0000000000", "0000012345");
        row("letters stay as they are", u"12a4"_qs, "0000000", "12a4");
        row("text that rounds to zero", u"-0.4"_qs, "0000000", "0000000");
        row("carry into a new digit", u"9999999.5"_qs, "0000000", "10000000");
        row("text beyond a double, exact", u"123456789012345678901234"_qs, "0000000",
            "123456789012345678901234");
        row("hexadecimal text", u"&H10"_qs, "0000000", "0000016");
        row("part after a dash is no number", u"123-4"_qs, "0000000", "123-4");
    }

    void formatShouldPadNumbers()
    {
        QFETCH(QVariant, number);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QFETCH(int, error);
        QString text;
        QCOMPARE(errorOf([&] {
                     if (number.typeId() == QMetaType::LongLong)
                         text = vb::Format(number.toLongLong(), pattern);
                     else if (number.typeId() == QMetaType::Double)
                         text = vb::Format(number.toDouble(), pattern);
                     else
                         text = vb::Format(number.toString(), pattern);
                 }),
                 error);
        QCOMPARE(text, expected);
    }

    void valShouldReadTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::addColumn<int>("error");

        QTest::newRow("leading zeros") << "0012345" << 12345.0 << 0;
        QTest::newRow("blanks anywhere") << " 1 2 3 " << 123.0 << 0;
        QTest::newRow("sign and blank") << "- 12" << -12.0 << 0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2 << 0;
        QTest::newRow("dash stops") << "0012345-6" << 12345.0 << 0;
        QTest::newRow("D exponent") << "1D2" << 100.0 << 0;
        QTest::newRow("hexadecimal 16 bits is signed") << "&HFFFF" << -1.0 << 0;
        QTest::newRow("hexadecimal beyond 16 bits") << "&H10000" << 65536.0 << 0;
        QTest::newRow("beyond a double") << "1e400" << 0.0 << int(err::Overflow);
        QTest::newRow("hexadecimal beyond 32 bits") << "&H100000000" << 0.0 << int(err::Overflow);
    }

    void valShouldReadTheLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QFETCH(int, error);
        double value = 0;
        QCOMPARE(errorOf([&] { value = vb::Val(text); }), error);
        QCOMPARE(value, expected);
    }

    void isNumericShouldAcceptWhatReadsAsANumber_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("expected");

        QTest::newRow("Null") << QVariant() << false;
        QTest::newRow("empty") << QVariant(QString()) << false;
        QTest::newRow("currency in parentheses") << QVariant(u"($1,234.50)"_qs) << true;
        QTest::newRow("hexadecimal") << QVariant(u"&H1F"_qs) << true;
        QTest::newRow("letters") << QVariant(u"12a4567"_qs) << false;
        QTest::newRow("number and check digit") << QVariant(u"0012345-6"_qs) << false;
        QTest::newRow("beyond a double") << QVariant(u"1e400"_qs) << false;
        QTest::newRow("another locale's symbol") << QVariant(u"\u20ac5"_qs) << false;
        QTest::newRow("Currency") << money(30000) << true;
        QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << false;
    }

    void isNumericShouldAcceptWhatReadsAsANumber()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, expected);
        QCOMPARE(vb::IsNumeric(value, QLocale("en_US")), expected);
    }

    void conversionsToNumbersShouldRoundAndRaiseClassically_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("asDouble");
        QTest::addColumn<int>("doubleError");
        QTest::addColumn<int>("asLong");
        QTest::addColumn<int>("longError");
        QTest::addColumn<qint64>("asCurrency");
        QTest::addColumn<int>("currencyError");

        const int mismatch = err::TypeMismatch, null = err::InvalidUseOfNull, overflow = err::Overflow;
        const auto row = [](const char* name, const QVariant& value, double d, int de, int l, int le,
                            qint64 c,
                            int ce) { QTest::newRow(name) << value << d << de << l << le << c << ce; };
        row("half rounds to even, down", u"2.5"_qs, 2.5, 0, 2, 0, 25000, 0);
        row("currency text", u"(1,234.50)"_qs, -1234.5, 0, -1234, 0, -12345000, 0);
        row("past the largest long", u"2147483648"_qs, 2147483648.0, 0, 0, overflow, 21474836480000, 0);
        row("fifth decimal of a text, half to even", u"0.00025"_qs, 0.00025, 0, 0, 0, 2, 0);
        row("past the whole currency range", qint64(922337203685478), 922337203685478.0, 0, 0, overflow, 0,
            overflow);
        row("date", QDate(1900, 1, 1), 2.0, 0, 2, 0, 20000, 0);
        row("Currency", money(-15000), -1.5, 0, -2, 0, -15000, 0);
        row("empty text", u""_qs, 0.0, mismatch, 0, mismatch, 0, mismatch);
        row("Null", QVariant(), 0.0, null, 0, null, 0, null);
    }

    void conversionsToNumbersShouldRoundAndRaiseClassically()
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

    void dateValuesShouldCountFromTheEndOf1899_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("error");

        QTest::newRow("zero") << 0.0 << QDate(1899, 12, 30) << 0;
        QTest::newRow("time of day is dropped") << 38378.75 << QDate(2005, 1, 26) << 0;
        QTest::newRow("negative time of day is dropped toward zero") << -1.5 << QDate(1899, 12, 29) << 0;
        QTest::newRow("last day") << 2958465.0 << QDate(9999, 12, 31) << 0;
        QTest::newRow("after the last day") << 2958466.0 << QDate() << int(err::Overflow);
        QTest::newRow("not a number") << std::nan("") << QDate() << int(err::Overflow);
    }

    void dateValuesShouldCountFromTheEndOf1899()
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

    void dateTextShouldUseFourDigitYearsAndReadBack_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected"); // of 6 December 2026
        QTest::newRow("en_US") << QLocale("en_US") << "12/6/2026";
        QTest::newRow("de_DE") << QLocale("de_DE") << "06.12.2026";
        QTest::newRow("fr_FR") << QLocale("fr_FR") << "06/12/2026";
        QTest::newRow("de_CH") << QLocale("de_CH") << "06.12.2026";
        QTest::newRow("nl_NL") << QLocale("nl_NL") << "06-12-2026";
        QTest::newRow("en_IN") << QLocale("en_IN") << "06/12/2026";
        QTest::newRow("ja_JP") << QLocale("ja_JP") << "2026/12/06";
        QTest::newRow("ko_KR") << QLocale("ko_KR") << "2026. 12. 6.";
    }

    void dateTextShouldUseFourDigitYearsAndReadBack()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(vb::dateText(QDate(2026, 12, 6), locale), expected);
        QCOMPARE(vb::dateText(QDate(), locale), QString());
        for (const QDate date : {QDate(2026, 12, 6), QDate(1899, 12, 30), QDate(2029, 7, 13),
                                 QDate(1930, 2, 28), QDate(9999, 12, 31), QDate(105, 2, 3)}) {
            const QString text = vb::dateText(date, locale);
            QVERIFY2(vb::IsDate(text, locale), qPrintable(text));
            QCOMPARE(vb::CDate(text, locale), date);
        }
    }

    void cdateShouldReadTextsAndValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<int>("error");

        const QLocale c = QLocale::c();
        const int no = err::TypeMismatch;
        const auto row = [](const char* name, const QVariant& value, const QLocale& locale, QDate expected,
                            int error = 0) { QTest::newRow(name) << value << locale << expected << error; };
        row("day and month swap when needed", u"13/05/2005"_qs, c, QDate(2005, 5, 13));
        row("two-digit year from 30", u"1/5/30"_qs, c, QDate(1930, 1, 5));
        row("long month name first", u"January 26, 2005"_qs, c, QDate(2005, 1, 26));
        row("with a time", u"1/5/2005 10:30:00 AM"_qs, c, QDate(2005, 1, 5));
        row("time only", u"10:30"_qs, c, QDate(1899, 12, 30));
        row("de_DE month name", u"6. Dezember 2026"_qs, QLocale("de_DE"), QDate(2026, 12, 6));
        row("de_DE English month name", u"6 December 2026"_qs, QLocale("de_DE"), QDate(2026, 12, 6));
        row("empty", u""_qs, c, QDate(), no);
        row("unknown word", u"26 Foo 2005"_qs, c, QDate(), no);
        row("no day and month fit", u"13/13/2005"_qs, c, QDate(), no);
        row("no such day", u"2/30/2005"_qs, c, QDate(), no);
        row("impossible hour", u"1/5/2005 25:00"_qs, c, QDate(), no);
        row("year too large", u"1/5/10000"_qs, c, QDate(), no);
        row("date and time", QDateTime(QDate(2026, 12, 6), QTime(10, 30)), c, QDate(2026, 12, 6));
        row("date value with time, no date", 2.9, c, QDate(1900, 1, 1));
        row("Null", QVariant(), c, QDate(), err::InvalidUseOfNull);
        row("invalid date", QDate(), c, QDate(), no);
        row("too large a date value", 1e9, c, QDate(), err::Overflow);
    }

    void cdateShouldReadTextsAndValues()
    {
        QFETCH(QVariant, value);
        QFETCH(QLocale, locale);
        QFETCH(QDate, expected);
        QFETCH(int, error);
        // Only texts and dates count as dates; numbers convert but are none.
        QCOMPARE(vb::IsDate(value, locale), error == 0 && value.typeId() != QMetaType::Double);
        QDate date;
        QCOMPARE(errorOf([&] { date = vb::CDate(value, locale); }), error);
        QCOMPARE(date, expected);
    }

    void cstrShouldWriteTheClassicText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("error");

        const QString day = vb::dateText(QDate(2026, 12, 6));
        QTest::newRow("negative zero") << QVariant(-0.0) << "0" << 0;
        QTest::newRow("large double") << QVariant(1e20) << "1E+20" << 0;
        QTest::newRow("negative Currency") << money(-1) << "-0.0001" << 0;
        QTest::newRow("date and time")
            << QVariant(QDateTime(QDate(2026, 12, 6), QTime(10, 30))) << day + u" 10:30:00"_qs << 0;
        QTest::newRow("midnight shows the date only")
            << QVariant(QDateTime(QDate(2026, 12, 6), QTime(0, 0))) << day << 0;
        QTest::newRow("True") << QVariant(true) << "True" << 0;
        QTest::newRow("Null") << QVariant() << "" << int(err::InvalidUseOfNull);
    }

    void cstrShouldWriteTheClassicText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QFETCH(int, error);
        QString text;
        QCOMPARE(errorOf([&] { text = vb::CStr(value); }), error);
        QCOMPARE(text, expected);
        if (value.typeId() == QMetaType::Double) // a double's text reads back as the same double
            QCOMPARE(vb::CDbl(text), value.toDouble());
    }

    void textFunctionsShouldBehaveClassically_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("error");

        const auto n = [](int value) { return QString::number(value); };
        const int bad = err::InvalidProcedureCall;
        QTest::newRow("Trim keeps tabs")
            << Call([] { return vb::Trim(u"\ta b \t  "_qs); }) << "\ta b \t" << 0;
        QTest::newRow("InStr of nothing")
            << Call([=] { return n(vb::InStr(u"abc"_qs, u""_qs)); }) << "1" << 0;
        QTest::newRow("InStr in nothing") << Call([=] { return n(vb::InStr(u""_qs, u""_qs)); }) << "0" << 0;
        QTest::newRow("InStr from zero")
            << Call([=] { return n(vb::InStr(0, u"abc"_qs, u"a"_qs)); }) << "" << bad;
        QTest::newRow("Left negative") << Call([] { return vb::Left(u"12"_qs, -1); }) << "" << bad;
        QTest::newRow("Mid past the end") << Call([] { return vb::Mid(u"abc"_qs, 5); }) << "" << 0;
        QTest::newRow("Mid from zero") << Call([] { return vb::Mid(u"abc"_qs, 0); }) << "" << bad;
        QTest::newRow("Mid negative length") << Call([] { return vb::Mid(u"abc"_qs, 1, -1); }) << "" << bad;
    }

    void textFunctionsShouldBehaveClassically()
    {
        QFETCH(Call, call);
        QFETCH(QString, expected);
        QFETCH(int, error);
        QString text;
        QCOMPARE(errorOf([&] { text = call(); }), error);
        QCOMPARE(text, expected);
    }
};

QTEST_GUILESS_MAIN(TestClassic)
#include "tst_classic.moc"
