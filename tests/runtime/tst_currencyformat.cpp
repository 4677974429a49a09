#include "runtime/ClassicError.h"
#include "runtime/CurrencyFormat.h"

#include <limits>
#include <QTest>

using tavro::Currency;

namespace {
Currency units(qint64 u)
{
    return Currency::fromUnits(u);
}

QList<QLocale> everyLocale()
{
    return QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
}

// Amounts that are no halfway case at two decimals, so that a double formats them the same way.
const QList<qint64> kOrdinaryAmounts = {0,           15000,        -15000,   3505000,
                                        12345678900, -12345678900, -1000000, 10000000000};
} // namespace

class TestCurrencyFormat : public QObject
{
    Q_OBJECT

private slots:
    void shouldWriteWhatQtWritesForOrdinaryAmounts_data();
    void shouldWriteWhatQtWritesForOrdinaryAmounts();
    void shouldReadBackItsOwnTextRoundedToTheLocaleDecimals_data();
    void shouldReadBackItsOwnTextRoundedToTheLocaleDecimals();
    void shouldReadBackInEveryLocale_data();
    void shouldReadBackInEveryLocale();
    void shouldKeepEveryDigitOfLargeAmounts_data();
    void shouldKeepEveryDigitOfLargeAmounts();
    void shouldReadHandWrittenAmounts_data();
    void shouldReadHandWrittenAmounts();
    void shouldRejectWhatIsNoAmount_data();
    void shouldRejectWhatIsNoAmount();
    void shouldConvertCurrencyTextToDouble_data();
    void shouldConvertCurrencyTextToDouble();
};

void TestCurrencyFormat::shouldWriteWhatQtWritesForOrdinaryAmounts_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale : everyLocale())
        QTest::addRow("%s", qPrintable(locale.name())) << locale;
    QTest::addRow("system") << QLocale::system();
}

void TestCurrencyFormat::shouldWriteWhatQtWritesForOrdinaryAmounts()
{
    QFETCH(QLocale, locale);
    for (const qint64 amount : kOrdinaryAmounts)
        QCOMPARE(tavro::formatCurrency(units(amount), locale),
                 locale.toCurrencyString(units(amount).toDouble()));
}

void TestCurrencyFormat::shouldReadBackItsOwnTextRoundedToTheLocaleDecimals_data()
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
        {"zero", 0, 0, 0},
        {"one cent", 100, 100, 0},
        {"minus one cent", -100, -100, 0},
        {"350.5", 3505000, 3505000, 3510000},
        {"-350.5", -3505000, -3505000, -3510000},
        {"1234567.89", 12345678900, 12345678900, 12345680000},
        {"-1234567.89", -12345678900, -12345678900, -12345680000},
        {"half a cent rounds away from zero", 50, 100, 0},
        {"minus half a cent", -50, -100, 0},
        {"just under half a cent", 49, 0, 0},
        {"near the top", 9223372036854770000, 9223372036854770000, 9223372036854770000},
        {"maximum", std::numeric_limits<qint64>::max(), 9223372036854775800, 9223372036854770000},
        {"minimum", std::numeric_limits<qint64>::min(), -9223372036854775800, -9223372036854770000},
    };
    const struct
    {
        const char* name;
        int decimals;
    } locales[] = {{"en_US", 2}, {"de_DE", 2}, {"fr_FR", 2}, {"de_CH", 2},
                   {"nl_NL", 2}, {"en_IN", 2}, {"ja_JP", 0}};
    for (const auto& locale : locales) {
        for (const Row& row : rows)
            QTest::addRow("%s %s", locale.name, row.name)
                << QLocale(QString::fromLatin1(locale.name)) << row.amount
                << (locale.decimals == 2 ? row.atTwoDecimals : row.atNoDecimals);
    }
}

void TestCurrencyFormat::shouldReadBackItsOwnTextRoundedToTheLocaleDecimals()
{
    QFETCH(QLocale, locale);
    QFETCH(qint64, amount);
    QFETCH(qint64, expected);
    const QString text = tavro::formatCurrency(units(amount), locale);
    const auto back = tavro::parseCurrency(text, locale);
    QVERIFY2(back.has_value(), qPrintable(text));
    QCOMPARE(back->units(), expected);
    // Formatting a formatted amount again yields the same text.
    QCOMPARE(tavro::formatCurrency(*back, locale), text);
}

void TestCurrencyFormat::shouldReadBackInEveryLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale : everyLocale())
        QTest::addRow("%s", qPrintable(locale.name())) << locale;
}

void TestCurrencyFormat::shouldReadBackInEveryLocale()
{
    QFETCH(QLocale, locale);
    const QList<qint64> amounts = {0,
                                   1,
                                   -1,
                                   1234567891,
                                   -1234567891,
                                   123456789012345678,
                                   -123456789012345678,
                                   std::numeric_limits<qint64>::max(),
                                   std::numeric_limits<qint64>::min()};
    for (const qint64 amount : amounts) {
        const QString text = tavro::formatCurrency(units(amount), locale);
        const auto back = tavro::parseCurrency(text, locale);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(tavro::formatCurrency(*back, locale), text);
        QVERIFY2(back->units() == 0 || (back->units() < 0) == (amount < 0), qPrintable(text));
    }
}

void TestCurrencyFormat::shouldKeepEveryDigitOfLargeAmounts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<qint64>("amount");
    QTest::addColumn<QString>("expected");

    QTest::newRow("en_US top") << QLocale("en_US") << std::numeric_limits<qint64>::max()
                               << QStringLiteral("$922,337,203,685,477.58");
    QTest::newRow("en_US bottom") << QLocale("en_US") << std::numeric_limits<qint64>::min()
                                  << QStringLiteral("($922,337,203,685,477.58)");
    QTest::newRow("en_US odd cents") << QLocale("en_US") << qint64(9007199254740993)
                                     << QStringLiteral("$900,719,925,474.10");
    QTest::newRow("de_DE") << QLocale("de_DE") << qint64(-9223372036854775801)
                           << QStringLiteral("-922.337.203.685.477,58\u00a0\u20ac");
    QTest::newRow("en_IN") << QLocale("en_IN") << qint64(1234567890123456789)
                           << QStringLiteral("\u20b912,34,56,78,90,12,345.68");
    QTest::newRow("ja_JP top is cut, not rounded out of range")
        << QLocale("ja_JP") << std::numeric_limits<qint64>::max()
        << QStringLiteral("\uffe5922,337,203,685,477");
}

void TestCurrencyFormat::shouldKeepEveryDigitOfLargeAmounts()
{
    QFETCH(QLocale, locale);
    QFETCH(qint64, amount);
    QFETCH(QString, expected);
    QCOMPARE(tavro::formatCurrency(units(amount), locale), expected);
}

void TestCurrencyFormat::shouldReadHandWrittenAmounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<qint64>("expected");

    const QLocale us("en_US");
    QTest::newRow("plain") << "350.5" << us << qint64(3505000);
    QTest::newRow("plain grouped") << "1,234.56" << us << qint64(12345600);
    QTest::newRow("blanks and tabs around") << " \t $1,234.56 \t" << us << qint64(12345600);
    QTest::newRow("minus before symbol") << "-$5.00" << us << qint64(-50000);
    QTest::newRow("minus after symbol") << "$-5.00" << us << qint64(-50000);
    QTest::newRow("minus after number") << "5.00-" << us << qint64(-50000);
    QTest::newRow("parentheses without symbol") << "(5.25)" << us << qint64(-52500);
    QTest::newRow("plus sign") << "+7" << us << qint64(70000);
    QTest::newRow("leading point") << ".5" << us << qint64(5000);
    QTest::newRow("trailing point") << "5." << us << qint64(50000);
    QTest::newRow("ISO code") << "USD 12.00" << us << qint64(120000);
    QTest::newRow("exponent") << "1.5E2" << us << qint64(1500000);
    QTest::newRow("five decimals round half to even down") << "0.00005" << us << qint64(0);
    QTest::newRow("five decimals round half to even up") << "0.00015" << us << qint64(2);
    QTest::newRow("Arabic-Indic digits") << "\u0661\u0662\u066b\u0665" << QLocale("ar_EG") << qint64(125000);
    QTest::newRow("de_DE grouped") << "1.234,56" << QLocale("de_DE") << qint64(12345600);
    QTest::newRow("de_DE point is grouping") << "350.5" << QLocale("de_DE") << qint64(35050000);
    QTest::newRow("de_DE U+2212") << "\u22125,00 \u20ac" << QLocale("de_DE") << qint64(-50000);
    QTest::newRow("de_DE ISO code") << "EUR 5,00" << QLocale("de_DE") << qint64(50000);
    QTest::newRow("fr_FR plain blank grouping") << "1 234,56 \u20ac" << QLocale("fr_FR") << qint64(12345600);
    QTest::newRow("fr_FR no-break grouping") << "1\u00a0234,56" << QLocale("fr_FR") << qint64(12345600);
    QTest::newRow("fr_FR plain point") << "350.5" << QLocale("fr_FR") << qint64(3505000);
    QTest::newRow("de_CH apostrophe") << "CHF 1'234.50" << QLocale("de_CH") << qint64(12345000);
    QTest::newRow("de_CH symbol then minus") << "CHF-1\u2019234.50" << QLocale("de_CH") << qint64(-12345000);
    QTest::newRow("nl_NL parentheses") << "(\u20ac 1.234,50)" << QLocale("nl_NL") << qint64(-12345000);
    QTest::newRow("en_IN grouping") << "12,34,567.89" << QLocale("en_IN") << qint64(12345678900);
    QTest::newRow("ja_JP") << "\uffe51,235" << QLocale("ja_JP") << qint64(12350000);
    QTest::newRow("sv_SE U+2212 and no-break grouping")
        << "\u22121\u00a0234,50\u00a0kr" << QLocale("sv_SE") << qint64(-12345000);
}

void TestCurrencyFormat::shouldReadHandWrittenAmounts()
{
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(qint64, expected);
    const auto amount = tavro::parseCurrency(text, locale);
    QVERIFY(amount.has_value());
    QCOMPARE(amount->units(), expected);
}

void TestCurrencyFormat::shouldRejectWhatIsNoAmount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");

    const QLocale us("en_US");
    QTest::newRow("empty") << "" << us;
    QTest::newRow("blanks") << "   " << us;
    QTest::newRow("word") << "abc" << us;
    QTest::newRow("symbol only") << "$" << us;
    QTest::newRow("sign only") << "-" << us;
    QTest::newRow("empty parentheses") << "()" << us;
    QTest::newRow("sign inside parentheses") << "(-5)" << us;
    QTest::newRow("two signs") << "--5" << us;
    QTest::newRow("sign in the middle") << "5-5" << us;
    QTest::newRow("two symbols") << "$5$" << us;
    QTest::newRow("unclosed parenthesis") << "(5" << us;
    QTest::newRow("blank is no grouping in en_US") << "5 5" << us;
    QTest::newRow("doubled group separator") << "1,,234" << us;
    QTest::newRow("leading group separator") << ",234" << us;
    QTest::newRow("trailing group separator") << "1,234," << us;
    QTest::newRow("grouping after the point") << "1.234,56" << us;
    QTest::newRow("two points") << "1.2.3" << us;
    QTest::newRow("letters after digits") << "12a" << us;
    QTest::newRow("exponent without digits") << "1e" << us;
    QTest::newRow("another locale's symbol") << "\u20ac5" << us;
    QTest::newRow("hexadecimal literal") << "&H10" << us;
    QTest::newRow("above the range") << "922,337,203,685,477.5808" << us;
    QTest::newRow("below the range") << "(922,337,203,685,477.5809)" << us;
    QTest::newRow("huge exponent") << "1e400" << us;
    QTest::newRow("ja_JP rounded beyond the range") << "\uffe5922,337,203,685,478" << QLocale("ja_JP");
}

void TestCurrencyFormat::shouldRejectWhatIsNoAmount()
{
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QCOMPARE(tavro::parseCurrency(text, locale), std::nullopt);
}

void TestCurrencyFormat::shouldConvertCurrencyTextToDouble_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("error");

    const QLocale us("en_US");
    QTest::newRow("empty counts as zero") << "" << us << 0.0 << 0;
    QTest::newRow("blank counts as zero") << "  " << us << 0.0 << 0;
    QTest::newRow("parentheses") << "($1,234.50)" << us << -1234.5 << 0;
    QTest::newRow("de_DE") << "-1.234,50\u00a0\u20ac" << QLocale("de_DE") << -1234.5 << 0;
    QTest::newRow("beyond the currency range") << "1e20" << us << 1e20 << 0;
    QTest::newRow("many decimals are kept") << "0.000001" << us << 0.000001 << 0;
    QTest::newRow("word") << "abc" << us << 0.0 << int(tavro::err::TypeMismatch);
    QTest::newRow("beyond a double") << "1e400" << us << 0.0 << int(tavro::err::Overflow);
}

void TestCurrencyFormat::shouldConvertCurrencyTextToDouble()
{
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(double, expected);
    QFETCH(int, error);
    double value = -1;
    const auto raised = tavro::captureError([&] { value = tavro::currencyTextToDouble(text, locale); });
    QCOMPARE(raised ? raised->number() : 0, error);
    if (!raised)
        QCOMPARE(value, expected);
}

QTEST_GUILESS_MAIN(TestCurrencyFormat)
#include "tst_currencyformat.moc"
