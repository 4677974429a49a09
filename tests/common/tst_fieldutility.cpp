#include "common/FieldUtility.h"
#include "common/FormNumberCollection.h"
#include "common/ReplyStore.h"
#include "common/UserProfile.h"
#include "common/VeskMessage.h"
#include "controls/TextBox.h"
#include "runtime/Seam.h"
#include "support/FakeTransport.h"

#include <QLabel>
#include <QTest>

using namespace tavro;
using tavro::test::FakeTransport;

class tst_FieldUtility : public QObject
{
    Q_OBJECT
private slots:
    void shouldFilterKeysAgainstTheBoxText_data();
    void shouldFilterKeysAgainstTheBoxText();
    void shouldRestoreTheOwnLookWhenAHighlightIsCleared_data();
    void shouldRestoreTheOwnLookWhenAHighlightIsCleared();
    void shouldJoinTheLatestReplyErrors();
    void shouldRequestFormNumbersFromTheBackEnd();
};

void tst_FieldUtility::shouldFilterKeysAgainstTheBoxText_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("accepted");

    const auto row = [](const char* name, const char* type, const char* text, int key, bool accepted) {
        QTest::newRow(name) << QString(type) << QString(text) << key << accepted;
    };
    row("digit", "D", "", '5', true);
    row("backspace", "D", "123", 8, true);
    row("letter", "D", "123", 'a', false);
    row("dash after digits", "D", "0012345", '-', true);
    row("dash first", "D", "", '-', false);
    row("second dash", "D", "12-", '-', false);
    row("dash in an account number", "A", "123", '-', false);
}

void tst_FieldUtility::shouldFilterKeysAgainstTheBoxText()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(bool, accepted);

    TextBox box;
    box.setText(text);
    int keyAscii = key;
    QCOMPARE(FieldUtility::instance().FilterKey(type, &box, keyAscii), accepted);
    QCOMPARE(keyAscii, key); // discarding a rejected key is the caller's decision
}

void tst_FieldUtility::shouldRestoreTheOwnLookWhenAHighlightIsCleared_data()
{
    QTest::addColumn<QString>("ownStyle");
    QTest::addColumn<int>("highlights");
    QTest::addColumn<int>("clears");

    QTest::newRow("own style sheet kept") << "color: navy;" << 1 << 1;
    QTest::newRow("marked twice, cleared once") << "font-weight: bold;" << 2 << 1;
    QTest::newRow("cleared without a mark") << "color: navy;" << 0 << 2;
}

void tst_FieldUtility::shouldRestoreTheOwnLookWhenAHighlightIsCleared()
{
    QFETCH(QString, ownStyle);
    QFETCH(int, highlights);
    QFETCH(int, clears);

    QLabel display;
    display.setStyleSheet(ownStyle);
    FieldUtility& fields = FieldUtility::instance();
    for (int i = 0; i < highlights; ++i)
        fields.HighlightControl(&display);
    if (highlights > 0) {
        QVERIFY(display.property(HighlightProperty).toBool());
        QVERIFY(display.styleSheet() != ownStyle);
    }
    for (int i = 0; i < clears; ++i)
        fields.ClearHighlight(&display);
    QCOMPARE(display.styleSheet(), ownStyle);
    QVERIFY(!display.property(HighlightProperty).toBool());
}

void tst_FieldUtility::shouldJoinTheLatestReplyErrors()
{
    ReplyStore store;
    ScopedSeam<ReplyStore> seam(store);
    FieldUtility& fields = FieldUtility::instance();
    const QString label = "TAVRO_CnfrmPymt.veskMessage_DataReady";

    QCOMPARE(fields.CheckReplyErrors("TAVRO_CnfrmPymt", label, 0), QString());
    store.store("TAVRO_CNFRMPYMT", "K1", {},
                {{"CONFIRMED", "The batch was confirmed by someone else."}, {"NO_TEXT", QString()}});
    QCOMPARE(fields.CheckReplyErrors(" tavro_cnfrmpymt", label, 0),
             QStringLiteral("The batch was confirmed by someone else.\nNO_TEXT"));
    store.store("TAVRO_CnfrmPymt", "K2", {}, {});
    QCOMPARE(fields.CheckReplyErrors("TAVRO_CnfrmPymt", label, 0), QString());
}

void tst_FieldUtility::shouldRequestFormNumbersFromTheBackEnd()
{
    VeskMessage* service = VeskMessage::GetInstance();
    auto owned = std::make_unique<FakeTransport>();
    FakeTransport* transport = owned.get();
    auto previous = service->setTransport(std::move(owned));
    UserProfile::instance().setProfile({"jdoe", {}, {}, 1, {}});

    FormNumberCollection stale(QStringList{"0000001"});
    FormNumberCollection* ready = &stale; // must be overwritten
    const QString key = FieldUtility::instance().RequestFormNumber("F", "TAVRO_CNFRMPYMT", ready);

    QVERIFY(ready == nullptr);
    QCOMPARE(transport->sent.size(), 1);
    const protocol::Request& sent = transport->sent.at(0);
    QCOMPARE(sent.requestCode, 90);
    QCOMPARE(sent.criteria.size(), 1);
    QCOMPARE(QStringList(
                 {sent.key, sent.requester, sent.userId, sent.criteria.at(0).key, sent.criteria.at(0).value}),
             QStringList({key, "TAVRO_CNFRMPYMT", "jdoe", "key:FORM_TYP_CD", "F"}));
    QCOMPARE(service->outstandingKeys(), QStringList{key});

    service->discardOutstanding();
    service->setTransport(std::move(previous));
}

QTEST_MAIN(tst_FieldUtility)
#include "tst_fieldutility.moc"
