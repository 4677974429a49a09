#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/TextBuffer.h"

#include <limits>
#include <QDate>
#include <QSize>
#include <QTest>
#include <stdexcept>

namespace vb = tavro::vb;
namespace err = tavro::err;
using tavro::Currency;
using tavro::TextBuffer;

namespace {
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
    void errorsShouldBeCapturedAndPassedOverByNumber()
    {
        const auto standard = tavro::captureError([] { throw std::runtime_error("socket closed"); });
        QCOMPARE(standard->number(), int(err::AutomationError));
        QCOMPARE(standard->description(), u"socket closed"_qs);
        QCOMPARE(errorOf([] { throw 42; }), int(err::AutomationError));

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

    void conversionsToNumbersShouldRoundAndRaiseClassically_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("asDouble");
        QTest::addColumn<int>("doubleError");
        QTest::addColumn<int>("asLong");
        QTest::addColumn<int>("longError");
        QTest::addColumn<qint64>("asCurrency");
        QTest::addColumn<int>("currencyError");

        const int null = err::InvalidUseOfNull, overflow = err::Overflow;
        const auto row = [](const char* name, const QVariant& value, double d, int de, int l, int le,
                            qint64 c,
                            int ce) { QTest::newRow(name) << value << d << de << l << le << c << ce; };
        row("past the largest long", u"2147483648"_qs, 2147483648.0, 0, 0, overflow, 21474836480000, 0);
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

    void cellTextShouldBeCStr_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected"); // "" where it is the system locale's
        QTest::addColumn<int>("error");
        QTest::newRow("text") << QVariant(u"0012325"_qs) << "0012325" << 0;
        QTest::newRow("empty text") << QVariant(QString()) << "" << 0;
        QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << "" << 0;
        QTest::newRow("invalid date") << QVariant(QDate()) << "" << 0;
        QTest::newRow("whole number") << QVariant(qint64(-1234)) << "-1234" << 0;
        QTest::newRow("currency") << QVariant::fromValue(Currency::fromUnits(12345)) << "1.2345" << 0;
        QTest::newRow("Boolean") << QVariant(true) << "True" << 0;
        QTest::newRow("no text") << QVariant(QSize(1, 2)) << "" << int(err::TypeMismatch);
    }

    void cellTextShouldBeCStr()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QFETCH(int, error);
        TextBuffer text;
        text += u"1\t";
        QCOMPARE(errorOf([&] { vb::appendCellText(text, value); }), error);
        if (error) {
            QCOMPARE(text.toString(), u"1\t"_qs); // left as it was
            return;
        }
        QCOMPARE(text.toString(), u"1\t"_qs + vb::CStr(value));
        if (!expected.isEmpty())
            QCOMPARE(vb::CStr(value), expected);
    }

    void textBufferShouldGrowPastItsOwnRoomKeepingEveryPiece()
    {
        // Written in place, a piece may need room beyond the buffer's 256 characters (the
        // buffer moves to the heap mid-text); texts appended, and single characters, too.
        const QLocale us("en_US");
        TextBuffer text;
        QString expected;
        for (int i = 0; i < 100; ++i) {
            const QDate day = QDate(2026, 1, 1).addDays(i * 37);
            vb::appendDateText(text, day, us);
            text += u'\t';
            text += QStringLiteral("%1").arg(i);
            expected += vb::dateText(day, us) + u'\t' + QString::number(i);
        }
        QVERIFY(text.size() > 256);
        QCOMPARE(text.toString(), expected);
        QCOMPARE(text.rawString(), expected);
        text.clear();
        QVERIFY(text.isEmpty());
        text += u"again";
        QCOMPARE(text.toString(), u"again"_qs);
    }

    void nullShouldBeAnEmptyCellAndNoDate()
    {
        for (const QVariant& null :
             {QVariant(), QVariant(QMetaType::fromType<QDate>()), QVariant(QMetaType::fromType<QString>()),
              QVariant(QMetaType::fromType<qint64>())}) {
            TextBuffer text;
            text += u"1\t";
            vb::appendCellText(text, null);
            QCOMPARE(text.toString(), u"1\t"_qs);
            QVERIFY(!vb::IsDate(null));
            QCOMPARE(errorOf([&] { vb::CDate(null); }), int(err::InvalidUseOfNull));
        }
    }
};

QTEST_GUILESS_MAIN(TestClassic)
#include "tst_classic.moc"
