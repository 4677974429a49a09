#include "protocol/NumberRules.h"

#include <QTest>

using namespace tavro::protocol;

namespace {

QString withCheck(const QString& digits)
{
    return digits + QString::number(checkDigit(digits));
}

} // namespace

class TestNumberRules : public QObject
{
    Q_OBJECT

private slots:
    void checkDigitShouldMatchPublishedExamples_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<int>("expected");
        // Published Luhn examples (card and identification numbers).
        QTest::newRow("wikipedia") << "7992739871" << 3;
        QTest::newRow("leading zeros change nothing") << "0007992739871" << 3;
        QTest::newRow("letter") << "12a45" << -1;
        QTest::newRow("arabic-indic digit") << QString(QChar(0x0661)) << -1;
    }
    void checkDigitShouldMatchPublishedExamples()
    {
        QFETCH(QString, digits);
        QFETCH(int, expected);
        QCOMPARE(checkDigit(digits), expected);
    }

    void validateNumberShouldAcceptOrRefuse_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("message");

        const QString good = withCheck(QStringLiteral("0012345"));
        const QString goodShort = QStringLiteral("12345-") + good.back();
        QString bad = good;
        bad.back() = QChar(u'0' + (bad.back().digitValue() + 1) % 10);
        // clang-format off
        QTest::newRow("D eight digits") << "D" << "00123456" << false << "The number may have at most 7 digits";
        QTest::newRow("D with check digit") << "D" << good.left(7) + "-" + good.back() << true << "";
        QTest::newRow("D check digit over unpadded number") << "D" << goodShort << true << "";
        QTest::newRow("D wrong check digit") << "D" << bad.left(7) + "-" + bad.back() << false << "The check digit does not match";
        QTest::newRow("D two dashes") << "D" << "12-34-5" << false << "Only one check digit may follow the dash";
        QTest::newRow("D blank around") << "D" << " 12345" << false << "The number may contain only digits, a dash and one check digit";
        QTest::newRow("D null") << "D" << QString() << false << "Enter a number";
        QTest::newRow("unknown type follows D") << "Q" << bad.left(7) + "-" + bad.back() << false << "The check digit does not match";
        QTest::newRow("A padded type, ten digits") << "A " << "0123456789" << true << "";
        QTest::newRow("A eleven digits") << "A" << "01234567890" << false << "The number may have at most 10 digits";
        QTest::newRow("A refuses a dash") << "A" << good.left(7) + "-" + good.back() << false << "An account number may contain only digits";
        // clang-format on
    }
    void validateNumberShouldAcceptOrRefuse()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, message);
        QString why = QStringLiteral("left over");
        QCOMPARE(validateNumber(type, text, &why), valid);
        QCOMPARE(why, message);
        QCOMPARE(validateNumber(type, text, nullptr), valid);
    }
};

QTEST_GUILESS_MAIN(TestNumberRules)
#include "tst_numberrules.moc"
