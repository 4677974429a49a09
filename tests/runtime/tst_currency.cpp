#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <cmath>
#include <limits>
#include <QTest>

using tavro::Currency;
using Make = std::function<Currency()>;

namespace {
constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
constexpr int kOverflow = tavro::err::Overflow;

Currency units(qint64 u)
{
    return Currency::fromUnits(u);
}
} // namespace

class TestCurrency : public QObject
{
    Q_OBJECT

private slots:
    void arithmeticAndConversionsShouldOverflowPastTheRange_data()
    {
        QTest::addColumn<Make>("make");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<int>("error");

        const auto row = [](const char* name, qint64 expected, int error, Make make) {
            QTest::newRow(name) << make << expected << error;
        };
        row("max + 1 unit", 0, kOverflow, [] { return units(kMax) + units(1); });
        row("0 - min", 0, kOverflow, [] { return units(0) - units(kMin); });
        row("negate min", 0, kOverflow, [] { return -units(kMin); });
        row("past the whole amounts", 0, kOverflow, [] { return Currency::fromLong(-922337203685478); });
        // 0.00025 and 0.00035 scale to exact halves in double arithmetic.
        row("half down to even", 2, 0, [] { return Currency::fromDouble(0.00025); });
        row("half up to even", -4, 0, [] { return Currency::fromDouble(-0.00035); });
        row("largest double and a half", 9223372036854775000, 0,
            [] { return Currency::fromDouble(922337203685477.5); });
        row("just past the largest double", 0, kOverflow,
            [] { return Currency::fromDouble(922337203685477.625); });
        row("not a number", 0, kOverflow, [] { return Currency::fromDouble(std::nan("")); });
    }

    void arithmeticAndConversionsShouldOverflowPastTheRange()
    {
        QFETCH(Make, make);
        QFETCH(qint64, expected);
        QFETCH(int, error);
        qint64 result = 0;
        const auto raised = tavro::captureError([&] { result = make().units(); });
        QCOMPARE(raised ? raised->number() : 0, error);
        QCOMPARE(result, expected);
    }

    void failedCompoundAssignmentShouldKeepTheAmount()
    {
        Currency kept = units(kMax - 5);
        QVERIFY(tavro::captureError([&] { kept += units(6); }));
        QCOMPARE(kept.units(), kMax - 5);
    }

    void sumsOfManySmallAmountsShouldBeExact()
    {
        const Currency dime = Currency::fromDouble(0.1);
        Currency sum;
        for (int i = 0; i < 1000000; ++i)
            sum += dime;
        QCOMPARE(sum.units(), qint64(1000000000));
    }

    void plainTextShouldReadAndWriteExactDecimals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<QString>("written"); // empty: the text itself

        QTest::newRow("decimal") << "12.5" << true << qint64(125000) << "";
        QTest::newRow("fifth decimal half, to even up") << "0.00015" << true << qint64(2) << "0.0002";
        QTest::newRow("maximum") << "922337203685477.5807" << true << kMax << "";
        QTest::newRow("rounding onto the minimum")
            << "-922337203685477.58075" << true << kMin << "-922337203685477.5808";
        QTest::newRow("rounding past the maximum") << "922337203685477.58075" << false << qint64(0) << "";
        QTest::newRow("empty") << "" << false << qint64(0) << "";
        QTest::newRow("other digits") << "\u0661\u0662" << false << qint64(0) << "";
    }

    void plainTextShouldReadAndWriteExactDecimals()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, expected);
        QFETCH(QString, written);
        const auto amount = Currency::fromPlainText(text);
        QCOMPARE(amount.has_value(), valid);
        if (valid) {
            QCOMPARE(amount->units(), expected);
            QCOMPARE(amount->toPlainText(), written.isEmpty() ? text : written);
        }
    }

    void formattedTextShouldReadBackRoundedToTheLocaleDecimals_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<qint64>("expected");

        struct Row
        {
            const char* name;
            qint64 amount, atTwoDecimals, atNoDecimals;
        };
        const Row rows[] = {
            {"-350.5", -3505000, -3505000, -3510000},
            {"minus half a cent", -50, -100, 0},
            {"maximum", kMax, 9223372036854775800, 9223372036854770000},
            {"minimum", kMin, -9223372036854775800, -9223372036854770000},
        };
        for (const char* name : {"en_US", "de_DE", "fr_FR", "de_CH", "nl_NL", "en_IN", "ja_JP"}) {
            const QLocale locale(QString::fromLatin1(name));
            for (const Row& row : rows)
                QTest::addRow("%s %s", name, row.name)
                    << locale << row.amount
                    << (tavro::currencyDecimals(locale) == 0 ? row.atNoDecimals : row.atTwoDecimals);
        }
    }

    void formattedTextShouldReadBackRoundedToTheLocaleDecimals()
    {
        QFETCH(QLocale, locale);
        QFETCH(qint64, amount);
        QFETCH(qint64, expected);
        const QString text = tavro::formatCurrency(units(amount), locale);
        if (amount > -100000000000000 &&
            amount < 100000000000000) // where a double holds every digit, write what Qt writes
            QCOMPARE(text, locale.toCurrencyString(units(expected).toDouble()));
        const auto back = tavro::parseCurrency(text, locale);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(back->units(), expected);
        QCOMPARE(tavro::formatCurrency(*back, locale), text);
    }

    void largeAmountsShouldKeepEveryDigit_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en_US odd cents")
            << QLocale("en_US") << qint64(9007199254740993) << u"$900,719,925,474.10"_qs;
        QTest::newRow("ja_JP top is cut, not rounded out of range")
            << QLocale("ja_JP") << kMax << u"\uffe5922,337,203,685,477"_qs;
    }

    void largeAmountsShouldKeepEveryDigit()
    {
        QFETCH(QLocale, locale);
        QFETCH(qint64, amount);
        QFETCH(QString, expected);
        QCOMPARE(tavro::formatCurrency(units(amount), locale), expected);
    }

    void handWrittenAmountsShouldBeRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("expected"); // -1: no amount

        const QLocale us("en_US");
        QTest::newRow("minus after number") << "5.00-" << us << qint64(-50000);
        QTest::newRow("parentheses") << "(5.25)" << us << qint64(-52500);
        QTest::newRow("Arabic-Indic digits")
            << "\u0661\u0662\u066b\u0665" << QLocale("ar_EG") << qint64(125000);
        QTest::newRow("de_DE point is grouping") << "350.5" << QLocale("de_DE") << qint64(35050000);
        QTest::newRow("fr_FR plain blank grouping")
            << "1 234,56 \u20ac" << QLocale("fr_FR") << qint64(12345600);
        QTest::newRow("de_CH symbol, minus, apostrophe")
            << "CHF-1'234.50" << QLocale("de_CH") << qint64(-12345000);
        QTest::newRow("empty") << "" << us << qint64(-1);
        QTest::newRow("blank is no grouping in en_US") << "5 5" << us << qint64(-1);
        QTest::newRow("another locale's symbol") << "\u20ac5" << us << qint64(-1);
        QTest::newRow("ja_JP rounded beyond the range")
            << "\uffe5922,337,203,685,478" << QLocale("ja_JP") << qint64(-1);
    }

    void handWrittenAmountsShouldBeRead()
    {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QFETCH(qint64, expected);
        const auto amount = tavro::parseCurrency(text, locale);
        QCOMPARE(amount.has_value(), expected != -1);
        if (amount)
            QCOMPARE(amount->units(), expected);
    }

    void currencyTextShouldConvertToDouble_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("parentheses") << "($1,234.50)" << -1234.5 << 0;
        QTest::newRow("word") << "abc" << 0.0 << int(tavro::err::TypeMismatch);
        QTest::newRow("beyond a double") << "1e400" << 0.0 << kOverflow;
    }

    void currencyTextShouldConvertToDouble()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QFETCH(int, error);
        double value = 0;
        const auto raised =
            tavro::captureError([&] { value = tavro::currencyTextToDouble(text, QLocale("en_US")); });
        QCOMPARE(raised ? raised->number() : 0, error);
        QCOMPARE(value, expected);
    }
};

QTEST_GUILESS_MAIN(TestCurrency)
#include "tst_currency.moc"
