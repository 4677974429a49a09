#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <cmath>
#include <limits>
#include <QSize>
#include <QTest>

using namespace Qt::StringLiterals;
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

    void sumsOfManySmallAmountsShouldBeExact()
    {
        const Currency dime = Currency::fromDouble(0.1);
        Currency sum;
        for (int i = 0; i < 1000000; ++i)
            sum += dime;
        QCOMPARE(sum.units(), qint64(1000000000));
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

    void valuesShouldReadAsAmountsByTheirText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<std::optional<qint64>>("expected");
        QTest::newRow("Null") << QVariant() << std::optional<qint64>();
        QTest::newRow("Null text") << QVariant(QMetaType::fromType<QString>()) << std::optional<qint64>();
        QTest::newRow("currency text") << QVariant(u"$1,234.50"_qs) << std::optional<qint64>(12345000);
        QTest::newRow("other text") << QVariant(u"12 dollars"_qs) << std::optional<qint64>();
        QTest::newRow("double") << QVariant(12.5) << std::optional<qint64>(125000);
        QTest::newRow("amount") << QVariant::fromValue(units(-70000)) << std::optional<qint64>(-70000);
        QTest::newRow("Boolean") << QVariant(true) << std::optional<qint64>();
        QTest::newRow("no text") << QVariant(QSize(1, 2)) << std::optional<qint64>();
    }
    void valuesShouldReadAsAmountsByTheirText()
    {
        QFETCH(QVariant, value);
        QFETCH(std::optional<qint64>, expected);
        const std::optional<Currency> amount = tavro::readAsCurrency(value, QLocale("en_US"));
        QCOMPARE(amount.has_value(), expected.has_value());
        if (amount)
            QCOMPARE(amount->units(), *expected);
    }
};

QTEST_GUILESS_MAIN(TestCurrency)
#include "tst_currency.moc"
