#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <limits>
#include <QDateTime>
#include <QTest>
#include <stdexcept>

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

QVariant money(qint64 units)
{
    return QVariant::fromValue(Currency::fromUnits(units));
}
} // namespace

class TestClassic : public QObject
{
    Q_OBJECT

private slots:
    void errorsShouldBeCapturedAndPassedOverByNumber()
    {
        const auto own =
            tavro::captureError([] { tavro::raiseError(err::SaveCancelled, u"Save was cancelled."_qs); });
        QCOMPARE(own->number(), int(err::SaveCancelled));
        QCOMPARE(own->description(), u"Save was cancelled."_qs);
        const auto standard = tavro::captureError([] { throw std::runtime_error("socket closed"); });
        QCOMPARE(standard->number(), int(err::AutomationError));
        QCOMPARE(standard->description(), u"socket closed"_qs);
        QCOMPARE(errorOf([] { throw 42; }), int(err::AutomationError));
        QCOMPARE(errorOf([] {}), 0);

        for (const int raised : {int(err::FileNotFound), int(err::TypeMismatch)}) {
            bool nextRan = false;
            const int trapped = errorOf([&] {
                tavro::passOver(err::FileNotFound, [&] { tavro::raiseError(raised); });
                nextRan = true;
            });
            QCOMPARE(trapped, raised == err::FileNotFound ? 0 : raised);
            QCOMPARE(nextRan, trapped == 0);
        }
    }

    void formatShouldPadNumbers()
    {
        const QString seven = u"0000000"_qs;
        QCOMPARE(vb::Format(qint64(12345), seven), u"0012345"_qs);
        QCOMPARE(vb::Format(-123.5, seven), u"-0000124"_qs); // half away from zero
        QCOMPARE(vb::Format(u"9999999.5"_qs, seven), u"10000000"_qs);
        QCOMPARE(vb::Format(u"12a4"_qs, seven), u"12a4"_qs); // letters stay as they are
        QCOMPARE(vb::Format(u"&H10"_qs, seven), u"0000016"_qs);
        QCOMPARE(errorOf([] { vb::Format(qint64(42), u"00-00"_qs); }), int(err::InvalidProcedureCall));
        QCOMPARE(errorOf([&] { vb::Format(std::numeric_limits<double>::infinity(), seven); }),
                 int(err::Overflow));
    }

    void valAndIsNumericShouldReadNumbersClassically()
    {
        QCOMPARE(vb::Val(u"0012345-6"_qs), 12345.0); // the dash stops the number
        QCOMPARE(vb::Val(u"&HFFFF"_qs), -1.0);       // 16-bit hexadecimal is signed
        QCOMPARE(errorOf([] { vb::Val(u"1e400"_qs); }), int(err::Overflow));
        const QLocale us("en_US");
        QVERIFY(vb::IsNumeric(u"($1,234.50)"_qs, us));
        QVERIFY(vb::IsNumeric(money(30000), us));
        QVERIFY(!vb::IsNumeric(QVariant(), us));
        QVERIFY(!vb::IsNumeric(u"0012345-6"_qs, us));
        QVERIFY(!vb::IsNumeric(u"1e400"_qs, us));
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
        row("past the largest long", u"2147483648"_qs, 2147483648.0, 0, 0, overflow, 21474836480000, 0);
        row("past the whole currency range", qint64(922337203685478), 922337203685478.0, 0, 0, overflow, 0,
            overflow);
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

    void dateValuesShouldCountFromTheEndOf1899()
    {
        QCOMPARE(vb::fromDateValue(0.0), QDate(1899, 12, 30));
        QCOMPARE(vb::toDateValue(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(vb::fromDateValue(-1.5), QDate(1899, 12, 29)); // time of day dropped toward zero
        QCOMPARE(vb::fromDateValue(2958465.0), QDate(9999, 12, 31));
        QCOMPARE(vb::toDateValue(QDate(9999, 12, 31)), 2958465.0);
        QCOMPARE(errorOf([] { vb::fromDateValue(2958466.0); }), int(err::Overflow));
    }

    void dateTextShouldUseFourDigitYearsAndReadBack_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected"); // of 6 December 2026
        QTest::newRow("en_US") << QLocale("en_US") << "12/6/2026";
        QTest::newRow("ko_KR") << QLocale("ko_KR") << "2026. 12. 6.";
    }

    void dateTextShouldUseFourDigitYearsAndReadBack()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(vb::dateText(QDate(2026, 12, 6), locale), expected);
        QCOMPARE(vb::dateText(QDate(), locale), QString());
        for (const QDate date : {QDate(1899, 12, 30), QDate(9999, 12, 31), QDate(105, 2, 3)}) {
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
        row("de_DE month name", u"6. Dezember 2026"_qs, QLocale("de_DE"), QDate(2026, 12, 6));
        row("empty", u""_qs, c, QDate(), no);
        row("Null", QVariant(), c, QDate(), err::InvalidUseOfNull);
    }

    void cdateShouldReadTextsAndValues()
    {
        QFETCH(QVariant, value);
        QFETCH(QLocale, locale);
        QFETCH(QDate, expected);
        QFETCH(int, error);
        QCOMPARE(vb::IsDate(value, locale), error == 0);
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
        QTest::newRow("negative Currency") << money(-1) << "-0.0001" << 0;
        QTest::newRow("date and time")
            << QVariant(QDateTime(QDate(2026, 12, 6), QTime(10, 30))) << day + u" 10:30:00"_qs << 0;
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

    void textFunctionsShouldBehaveClassically()
    {
        QCOMPARE(vb::Trim(u"\ta b \t  "_qs), u"\ta b \t"_qs); // tabs are kept
        QCOMPARE(vb::InStr(u"abc"_qs, u""_qs), 1);
        QCOMPARE(vb::Mid(u"abc"_qs, 5), QString());
        const int bad = err::InvalidProcedureCall;
        QCOMPARE(errorOf([] { vb::Mid(u"abc"_qs, 0); }), bad);
        QCOMPARE(errorOf([] { vb::Left(u"12"_qs, -1); }), bad);
    }
};

QTEST_GUILESS_MAIN(TestClassic)
#include "tst_classic.moc"
