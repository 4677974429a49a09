#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <cmath>
#include <limits>
#include <QTest>

using tavro::Currency;

namespace {
constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
constexpr int kOverflow = tavro::err::Overflow;

// Units of \a body's result, or the number of the error it raised.
struct Outcome
{
    qint64 units = 0;
    int error = 0;
};

Outcome outcomeOf(const std::function<Currency()>& body)
{
    Outcome outcome;
    if (const auto raised = tavro::captureError([&] { outcome.units = body().units(); }))
        outcome.error = raised->number();
    return outcome;
}
} // namespace

class TestCurrency : public QObject
{
    Q_OBJECT

private slots:
    void arithmeticShouldOverflowAtTheLimits_data();
    void arithmeticShouldOverflowAtTheLimits();
    void fromLongShouldOverflowPastTheWholeRange_data();
    void fromLongShouldOverflowPastTheWholeRange();
    void fromDoubleShouldRoundHalfToEven_data();
    void fromDoubleShouldRoundHalfToEven();
    void sumsOfManySmallAmountsShouldBeExact_data();
    void sumsOfManySmallAmountsShouldBeExact();
    void fromPlainTextShouldReadDecimalTextExactly_data();
    void fromPlainTextShouldReadDecimalTextExactly();
    void toPlainTextShouldWriteTheShortestDecimal_data();
    void toPlainTextShouldWriteTheShortestDecimal();
};

void TestCurrency::arithmeticShouldOverflowAtTheLimits_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<QChar>("op");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("max + 0") << kMax << QChar(u'+') << qint64(0) << kMax << 0;
    QTest::newRow("max + 1 unit") << kMax << QChar(u'+') << qint64(1) << qint64(0) << kOverflow;
    QTest::newRow("max - 1 unit") << kMax << QChar(u'-') << qint64(1) << kMax - 1 << 0;
    QTest::newRow("min - 1 unit") << kMin << QChar(u'-') << qint64(1) << qint64(0) << kOverflow;
    QTest::newRow("min + max") << kMin << QChar(u'+') << kMax << qint64(-1) << 0;
    QTest::newRow("0 - min") << qint64(0) << QChar(u'-') << kMin << qint64(0) << kOverflow;
    QTest::newRow("min + min") << kMin << QChar(u'+') << kMin << qint64(0) << kOverflow;
    QTest::newRow("negate max") << kMax << QChar(u'n') << qint64(0) << -kMax << 0;
    QTest::newRow("negate min") << kMin << QChar(u'n') << qint64(0) << qint64(0) << kOverflow;
    QTest::newRow("+= past max") << kMax - 5 << QChar(u'a') << qint64(6) << qint64(0) << kOverflow;
    QTest::newRow("-= to min") << kMin + 5 << QChar(u's') << qint64(5) << kMin << 0;
}

void TestCurrency::arithmeticShouldOverflowAtTheLimits()
{
    QFETCH(qint64, a);
    QFETCH(QChar, op);
    QFETCH(qint64, b);
    QFETCH(qint64, expected);
    QFETCH(int, error);
    const Currency x = Currency::fromUnits(a), y = Currency::fromUnits(b);
    Currency kept = x;
    const Outcome outcome = outcomeOf([&] {
        switch (op.unicode()) {
        case u'+':
            return x + y;
        case u'-':
            return x - y;
        case u'n':
            return -x;
        case u'a':
            return kept += y;
        default:
            return kept -= y;
        }
    });
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.units, expected);
    if (error != 0)
        QCOMPARE(kept, x); // a failed compound assignment leaves the amount as it was
}

void TestCurrency::fromLongShouldOverflowPastTheWholeRange_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<int>("error");

    QTest::newRow("zero") << qint64(0) << qint64(0) << 0;
    QTest::newRow("largest whole amount") << qint64(922337203685477) << qint64(9223372036854770000) << 0;
    QTest::newRow("smallest whole amount") << qint64(-922337203685477) << qint64(-9223372036854770000) << 0;
    QTest::newRow("one more") << qint64(922337203685478) << qint64(0) << kOverflow;
    QTest::newRow("one less") << qint64(-922337203685478) << qint64(0) << kOverflow;
}

void TestCurrency::fromLongShouldOverflowPastTheWholeRange()
{
    QFETCH(qint64, value);
    QFETCH(qint64, expected);
    QFETCH(int, error);
    const Outcome outcome = outcomeOf([&] { return Currency::fromLong(value); });
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.units, expected);
}

void TestCurrency::fromDoubleShouldRoundHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<int>("error");

    // 0.00025, 0.00035 and 0.00045 scale to exact halves in double arithmetic.
    QTest::newRow("half down to even") << 0.00025 << qint64(2) << 0;
    QTest::newRow("half up to even") << 0.00035 << qint64(4) << 0;
    QTest::newRow("another half down to even") << 0.00045 << qint64(4) << 0;
    QTest::newRow("negative half to even") << -0.00025 << qint64(-2) << 0;
    QTest::newRow("above half") << 1.23456 << qint64(12346) << 0;
    QTest::newRow("below half") << 1.23454 << qint64(12345) << 0;
    QTest::newRow("ordinary") << 12.5 << qint64(125000) << 0;
    QTest::newRow("largest whole amount") << 922337203685477.0 << qint64(9223372036854770000) << 0;
    QTest::newRow("largest whole amount and a half") << 922337203685477.5 << qint64(9223372036854775000) << 0;
    QTest::newRow("smallest whole amount and a half")
        << -922337203685477.5 << qint64(-9223372036854775000) << 0;
    QTest::newRow("just past the largest amount") << 922337203685477.625 << qint64(0) << kOverflow;
    QTest::newRow("beyond the range") << 1e15 << qint64(0) << kOverflow;
    QTest::newRow("below the range") << -1e15 << qint64(0) << kOverflow;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << qint64(0) << kOverflow;
    QTest::newRow("not a number") << std::nan("") << qint64(0) << kOverflow;
}

void TestCurrency::fromDoubleShouldRoundHalfToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QFETCH(int, error);
    const Outcome outcome = outcomeOf([&] { return Currency::fromDouble(value); });
    QCOMPARE(outcome.error, error);
    QCOMPARE(outcome.units, expected);
}

void TestCurrency::sumsOfManySmallAmountsShouldBeExact_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("a million dimes") << 0.1 << 1000000 << qint64(1000000000);
    QTest::newRow("a million cents") << 0.01 << 1000000 << qint64(100000000);
    QTest::newRow("a million smallest units") << 0.0001 << 1000000 << qint64(1000000);
    QTest::newRow("seven cents, a third of a million times") << 0.07 << 333333 << qint64(233333100);
}

void TestCurrency::sumsOfManySmallAmountsShouldBeExact()
{
    QFETCH(double, amount);
    QFETCH(int, count);
    QFETCH(qint64, expected);
    const Currency step = Currency::fromDouble(amount);
    Currency sum;
    for (int i = 0; i < count; ++i)
        sum += step;
    QCOMPARE(sum.units(), expected);
    for (int i = 0; i < count; ++i)
        sum -= step;
    QCOMPARE(sum.units(), qint64(0));
}

void TestCurrency::fromPlainTextShouldReadDecimalTextExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("decimal") << "12.5" << true << qint64(125000);
    QTest::newRow("negative whole") << "-3" << true << qint64(-30000);
    QTest::newRow("smallest unit") << "0.0001" << true << qint64(1);
    QTest::newRow("plus") << "+7" << true << qint64(70000);
    QTest::newRow("blanks around") << " 5 " << true << qint64(50000);
    QTest::newRow("trailing point") << "1." << true << qint64(10000);
    QTest::newRow("leading point") << ".5" << true << qint64(5000);
    QTest::newRow("fifth decimal half, to even down") << "0.00005" << true << qint64(0);
    QTest::newRow("fifth decimal half, to even up") << "0.00015" << true << qint64(2);
    QTest::newRow("above half") << "0.000250001" << true << qint64(3);
    QTest::newRow("negative half to even") << "-0.00015" << true << qint64(-2);
    QTest::newRow("maximum") << "922337203685477.5807" << true << kMax;
    QTest::newRow("minimum") << "-922337203685477.5808" << true << kMin;
    QTest::newRow("half below the maximum stays") << "922337203685477.58065" << true << kMax - 1;
    QTest::newRow("half at the minimum stays") << "-922337203685477.58085" << true << kMin;
    QTest::newRow("rounding onto the minimum") << "-922337203685477.58075" << true << kMin;
    QTest::newRow("rounding past the maximum") << "922337203685477.58075" << false << qint64(0);
    QTest::newRow("past the maximum") << "922337203685477.5808" << false << qint64(0);
    QTest::newRow("past the minimum") << "-922337203685477.5809" << false << qint64(0);
    QTest::newRow("many digits") << "99999999999999999999" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("sign only") << "+" << false << qint64(0);
    QTest::newRow("point only") << "." << false << qint64(0);
    QTest::newRow("two signs") << "--1" << false << qint64(0);
    QTest::newRow("two points") << "1.2.3" << false << qint64(0);
    QTest::newRow("exponent") << "1e5" << false << qint64(0);
    QTest::newRow("grouping") << "1,000" << false << qint64(0);
    QTest::newRow("letters") << "12a" << false << qint64(0);
    QTest::newRow("other digits") << "\u0661\u0662" << false << qint64(0);
}

void TestCurrency::fromPlainTextShouldReadDecimalTextExactly()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, expected);
    const auto amount = Currency::fromPlainText(text);
    QCOMPARE(amount.has_value(), valid);
    if (valid)
        QCOMPARE(amount->units(), expected);
}

void TestCurrency::toPlainTextShouldWriteTheShortestDecimal_data()
{
    QTest::addColumn<qint64>("units");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("whole") << qint64(10000) << "1";
    QTest::newRow("trailing zeros dropped") << qint64(125000) << "12.5";
    QTest::newRow("negative whole") << qint64(-30000) << "-3";
    QTest::newRow("smallest unit") << qint64(1) << "0.0001";
    QTest::newRow("negative smallest unit") << qint64(-1) << "-0.0001";
    QTest::newRow("maximum") << kMax << "922337203685477.5807";
    QTest::newRow("minimum") << kMin << "-922337203685477.5808";
}

void TestCurrency::toPlainTextShouldWriteTheShortestDecimal()
{
    QFETCH(qint64, units);
    QFETCH(QString, expected);
    const Currency amount = Currency::fromUnits(units);
    QCOMPARE(amount.toPlainText(), expected);
    QCOMPARE(Currency::fromPlainText(expected), std::optional<Currency>(amount));
}

QTEST_GUILESS_MAIN(TestCurrency)
#include "tst_currency.moc"
