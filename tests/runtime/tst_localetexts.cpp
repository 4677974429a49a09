// Date and currency texts written and read without asking QLocale each time: in every locale
// they must be what QLocale writes, and read back as the general reader reads them.
#include "runtime/Classic.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/TextBuffer.h"

#include <limits>
#include <QTest>

using tavro::Currency;
using tavro::TextBuffer;
namespace vb = tavro::vb;

namespace {

QList<QLocale> everyLocale()
{
    QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry);
    QLocale grouped("en_US"); // the same locale with its grouping turned off
    grouped.setNumberOptions(QLocale::OmitGroupSeparator);
    locales << grouped << QLocale::system();
    return locales;
}

void addLocaleRows()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale : everyLocale()) {
        const bool omits = locale.numberOptions().testFlag(QLocale::OmitGroupSeparator);
        QTest::addRow("%s%s", qPrintable(locale.name()), omits ? " without grouping" : "") << locale;
    }
}

/// The general reader's answer: a leading blank keeps the text off the shortcut for
/// texts shaped exactly as formatCurrency writes them.
std::optional<Currency> readGenerally(const QString& text, const QLocale& locale)
{
    return tavro::parseCurrency(u' ' + text, locale);
}

} // namespace

class TestLocaleTexts : public QObject
{
    Q_OBJECT

private slots:
    void dateTextShouldBeWhatQLocaleWrites_data() { addLocaleRows(); }
    void dateTextShouldBeWhatQLocaleWrites()
    {
        QFETCH(QLocale, locale);
        const QString format = vb::shortDateFormat(locale);
        for (const QDate date :
             {QDate(2026, 12, 6), QDate(2001, 1, 9), QDate(2026, 1, 13), QDate(2000, 2, 29),
              QDate(2100, 3, 1), QDate(1600, 2, 29), QDate(1899, 12, 30), QDate(1000, 10, 10),
              QDate(9999, 12, 31), QDate(999, 5, 5), QDate(105, 2, 3)}) {
            const QString text = vb::dateText(date, locale);
            QCOMPARE(text, locale.toString(date, format));
            QCOMPARE(vb::CDate(text, locale), date);
            TextBuffer appended;
            appended += u'\t';
            vb::appendDateText(appended, date, locale);
            QCOMPARE(appended.toString(), u"\t"_qs + text);
        }
    }

    void datesShapedAsWrittenShouldReadAsGenerally_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale us("en_US"), de("de_DE"), sv("sv_SE"), c = QLocale::c();
        QTest::newRow("en_US as written") << us << "12/6/2026";
        QTest::newRow("en_US two-digit day and month") << us << "01/02/2026";
        QTest::newRow("en_US day and month swapped") << us << "13/1/2026";
        QTest::newRow("en_US no such day") << us << "2/30/2026";
        QTest::newRow("en_US leap day") << us << "2/29/2024";
        QTest::newRow("en_US leap day of a century") << us << "2/29/2000";
        QTest::newRow("en_US no leap day in a century") << us << "2/29/1900";
        QTest::newRow("en_US no leap day") << us << "2/29/2026";
        QTest::newRow("en_US the last day") << us << "12/31/9999";
        QTest::newRow("en_US day 31 of a short month") << us << "4/31/2026";
        QTest::newRow("en_US month 0") << us << "0/12/2026";
        QTest::newRow("en_US two-digit year") << us << "1/2/26";
        QTest::newRow("en_US three-digit day") << us << "1/002/2026";
        QTest::newRow("en_US five-digit year") << us << "1/2/20260";
        QTest::newRow("en_US other separator") << us << "1-2-2026";
        QTest::newRow("en_US trailing separator") << us << "1/2/2026/";
        QTest::newRow("en_US blank after") << us << "1/2/2026 ";
        QTest::newRow("en_US time of day") << us << "1/2/2026 10:30";
        QTest::newRow("de_DE as written") << de << "06.12.2026";
        QTest::newRow("de_DE one digit") << de << "6.1.2026";
        QTest::newRow("sv_SE year first") << sv << "2026-12-06";
        QTest::newRow("sv_SE no such month") << sv << "2026-13-06";
        QTest::newRow("C locale") << c << "12/06/2026";
        QTest::newRow("empty") << us << "";
    }
    void datesShapedAsWrittenShouldReadAsGenerally()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        // A leading blank keeps a text off the shortcut for texts shaped as dateText writes them.
        const QString general = u' ' + text;
        QCOMPARE(vb::IsDate(text, locale), vb::IsDate(general, locale));
        if (vb::IsDate(text, locale))
            QCOMPARE(vb::CDate(text, locale), vb::CDate(general, locale));
    }

    void currencyTextShouldBeWhatQLocaleWritesAndReadAsGenerally_data() { addLocaleRows(); }
    void currencyTextShouldBeWhatQLocaleWritesAndReadAsGenerally()
    {
        QFETCH(QLocale, locale);
        // Amounts a double holds exactly at every locale's decimals, across every digit count.
        for (const qint64 units :
             {qint64(0), qint64(50000), qint64(-50000), qint64(2500), qint64(-7500), qint64(12345678900000),
              qint64(-98765432100000000), qint64(900000000000000000)}) {
            const QString text = tavro::formatCurrency(Currency::fromUnits(units), locale);
            QCOMPARE(text, locale.toCurrencyString(Currency::fromUnits(units).toDouble()));
            TextBuffer appended;
            appended += u'\t';
            tavro::appendCurrency(appended, Currency::fromUnits(units), locale);
            QCOMPARE(appended.toString(), u"\t"_qs + text);
            const auto read = tavro::parseCurrency(text, locale);
            const auto general = readGenerally(text, locale);
            QVERIFY2(read.has_value() && general.has_value(), qPrintable(text));
            QCOMPARE(read->units(), general->units());
        }
        // What is shown is what reads back, at the ends of the range and at half a cent too.
        for (const qint64 units :
             {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), qint64(-50), qint64(50),
              qint64(5), qint64(-12345678905000), qint64(12344999)}) {
            const Currency amount = Currency::fromUnits(units);
            const QString text = tavro::formatCurrency(amount, locale);
            const auto read = tavro::parseCurrency(text, locale);
            QVERIFY2(read.has_value(), qPrintable(text));
            QCOMPARE(tavro::formatCurrency(*read, locale), text);
        }
    }

    void handWrittenAmountsShouldReadAsGenerally_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale us("en_US"), de("de_DE"), fr("fr_FR"), in("en_IN");
        QTest::newRow("no grouping") << us << "$1234567.89";
        QTest::newRow("grouping at odd places") << us << "$1,23,4.5";
        QTest::newRow("four decimals") << us << "$1.2345";
        QTest::newRow("five decimals") << us << "$1.23455";
        QTest::newRow("point without decimals") << us << "$12.";
        QTest::newRow("separator at the end") << us << "$12,";
        QTest::newRow("separator first") << us << "$,12";
        QTest::newRow("fourteen digits") << us << "$99,999,999,999,999.99";
        QTest::newRow("fifteen digits") << us << "$922,337,203,685,477.58";
        QTest::newRow("beyond the range") << us << "$922,337,203,685,478.00";
        QTest::newRow("negative beyond the range") << us << "($922,337,203,685,477.59)";
        QTest::newRow("symbol alone") << us << "$";
        QTest::newRow("negative style alone") << us << "()";
        QTest::newRow("de_DE point as decimal") << de << "1.5 €";
        QTest::newRow("fr_FR plain blank grouping") << fr << "1 234,56 €";
        QTest::newRow("en_IN Indian grouping") << in << "₹12,34,567.00";
    }
    void handWrittenAmountsShouldReadAsGenerally()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        const auto read = tavro::parseCurrency(text, locale);
        const auto general = readGenerally(text, locale);
        QCOMPARE(read.has_value(), general.has_value());
        if (read)
            QCOMPARE(read->units(), general->units());
    }

    void localesShouldNotBorrowEachOthersFormats()
    {
        // More locales than are kept, in turns: each text must still be its own locale's.
        const QList<QLocale> locales{QLocale("en_US"), QLocale("de_DE"), QLocale("ja_JP"), QLocale("fr_CH"),
                                     QLocale("en_IN"), QLocale("ar_EG"), QLocale::system()};
        const Currency amount = Currency::fromUnits(123456789000);
        const QDate date(2026, 3, 4);
        for (int round = 0; round < 3; ++round) {
            for (const QLocale& locale : locales) {
                QCOMPARE(tavro::formatCurrency(amount, locale), locale.toCurrencyString(amount.toDouble()));
                QCOMPARE(vb::dateText(date, locale), locale.toString(date, vb::shortDateFormat(locale)));
            }
        }
        // The same text is another date in another locale, even right after it was read.
        QCOMPARE(vb::CDate(QStringLiteral("03/04/2026"), QLocale("en_US")), QDate(2026, 3, 4));
        QCOMPARE(vb::CDate(QStringLiteral("03/04/2026"), QLocale("en_GB")), QDate(2026, 4, 3));
        QVERIFY(vb::IsDate(QStringLiteral("4/5/2026"), QLocale("en_US")));
        QVERIFY(!vb::IsDate(QStringLiteral("4/5/2026 soon"), QLocale("en_US")));
        QVERIFY(vb::IsDate(QStringLiteral("4/5/2026"), QLocale("en_US")));
    }
};

QTEST_GUILESS_MAIN(TestLocaleTexts)
#include "tst_localetexts.moc"
