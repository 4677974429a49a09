// The common library: data sets on the wire, the reply store, the field utility's own defaults,
// the procedure trap and the message service's request lifecycle.
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/ReplyStore.h"
#include "common/VeskMessage.h"
#include "common/VeskRequest.h"
#include "runtime/App.h"
#include "runtime/Currency.h"
#include "runtime/Seam.h"
#include "support/CallLog.h"
#include "support/CommonFakes.h"
#include "support/FakeTransport.h"
#include "support/RuntimeFakes.h"

#include <limits>
#include <QLabel>
#include <QTest>
#include <stdexcept>

using namespace tavro;
using namespace tavro::test;

namespace {

// One field, one record, sent through the real codec and delivered back.
DataSetPtr throughTheWire(const DataSet& set)
{
    protocol::Request request;
    request.key = QStringLiteral("K");
    request.requestCode = protocol::Save;
    request.dataSets.insert(set.Name(), set.toWire());
    const protocol::DecodeResult decoded = protocol::decode(protocol::encode(request));
    if (!decoded.message)
        qFatal("codec refused the request: %s", qPrintable(decoded.error.text));
    const auto& back = std::get<protocol::Request>(*decoded.message);
    return DataSet::fromWire(set.Name(), back.dataSets.value(set.Name()));
}

QVariant currency(qint64 units)
{
    return QVariant::fromValue(Currency::fromUnits(units));
}

protocol::DataSet numbers(const QList<qint64>& values)
{
    protocol::DataSet set;
    set.fields = {{"F", protocol::FieldType::Long}};
    for (qint64 value : values)
        set.records.append(QList<protocol::Value>{value});
    return set;
}

} // namespace

class tst_Common : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_store = std::make_unique<ReplyStore>();
        m_storeSeam = std::make_unique<ScopedSeam<ReplyStore>>(*m_store);
        auto transport = std::make_unique<FakeTransport>();
        m_transport = transport.get();
        m_previous = m_service->setTransport(std::move(transport));
        m_events.clear();
        m_onDataReady = nullptr;
        connect(m_service, &VeskMessage::MsgTimeout, this,
                [this](QString& name) { m_events.append(QStringLiteral("MsgTimeout(%1)").arg(name)); });
        connect(m_service, &VeskMessage::DataReady, this, [this](QVariant& name) {
            const QString document = name.toString();
            QStringList codes;
            for (const auto& error : ReplyStore::instance().latestErrors(document))
                codes.append(error.code);
            const DataSetPtr set = ReplyStore::instance().GetDataSet(
                "RECEIPT", document, ReplyStore::instance().latestKey(document));
            m_events.append(
                QStringLiteral("DataReady(%1) receipts=%2 errors=%3")
                    .arg(document, set ? QString::number(set->RecordCount()) : "none", codes.join(u',')));
            if (m_onDataReady)
                m_onDataReady(document);
        });
    }

    void cleanup()
    {
        disconnect(m_service, nullptr, this, nullptr);
        m_service->discardOutstanding();
        m_service->setTransport(std::move(m_previous));
        m_service->setTimeoutMs(30000);
        m_storeSeam.reset();
        m_store.reset();
    }

    void shouldEndEachRequestOnce_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("expected");
        const auto ended = [](const char* code) {
            return QStringList{"MsgTimeout(DOC)",
                               QStringLiteral("DataReady(DOC) receipts=none errors=") + code};
        };
        QTest::newRow("reply") << "reply" << QStringList{"DataReady(DOC) receipts=2 errors="};
        QTest::newRow("reply with errors")
            << "errors" << QStringList{"DataReady(DOC) receipts=none errors=CONFIRMED"};
        QTest::newRow("time-out") << "time-out" << ended("TIMEOUT");
        QTest::newRow("lost connection") << "lost" << ended("CONNECTION_LOST");
        QTest::newRow("no transport") << "no transport" << ended("NOT_CONNECTED");
    }

    void shouldEndEachRequestOnce()
    {
        QFETCH(QString, way);
        QFETCH(QStringList, expected);

        std::unique_ptr<MessageTransport> removed;
        if (way == u"no transport")
            removed = m_service->setTransport(nullptr);
        const QString key = send("DOC", way == u"time-out" ? 30 : 30000);
        QVERIFY(m_events.isEmpty()); // never announced from inside Send

        if (way == u"reply")
            m_transport->deliverReply(key, {{"RECEIPT", numbers({1, 2})}});
        else if (way == u"errors")
            m_transport->deliverReply(key, {}, {{"CONFIRMED", "Already confirmed"}});
        else if (way == u"lost")
            m_transport->loseConnection();
        QTRY_COMPARE(m_events, expected);
        QVERIFY(m_service->outstandingKeys().isEmpty());
        QVERIFY(m_service->announcedKey().isEmpty());

        // Whatever comes for it afterwards changes nothing.
        if (removed)
            m_service->setTransport(std::move(removed));
        m_transport->deliverReply(key, {{"RECEIPT", numbers({1, 2, 3, 4, 5})}});
        QVERIFY(!m_transport->deliverTimeout(key));
        QTest::qWait(60);
        QCOMPARE(m_events, expected);
    }

    void shouldRestoreTheAnnouncedKeyAfterANestedAnnouncement()
    {
        const QString outer = send("DOC_A");
        const QString inner = send("DOC_B");
        QStringList keysSeen;
        // DOC_A's handler waits in a nested loop (a modal form) while DOC_B's reply arrives.
        m_onDataReady = [&](const QString& document) {
            keysSeen.append(m_service->announcedKey());
            if (document == u"DOC_A") {
                m_transport->deliverReply(inner, {});
                keysSeen.append(m_service->announcedKey());
            }
        };
        m_transport->deliverReply(outer, {});
        QCOMPARE(keysSeen, (QStringList{outer, inner, outer}));
        QVERIFY(m_service->announcedKey().isEmpty());
    }

    void shouldRoundTripEveryFieldTypeThroughTheWire_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("value");

        const auto text = int(FieldType::Text), lng = int(FieldType::Long), dbl = int(FieldType::Double),
                   cur = int(FieldType::Currency), date = int(FieldType::Date),
                   boolean = int(FieldType::Bool);
        QTest::newRow("text with line breaks") << text << QVariant(QStringLiteral("a\r\nb\nc"));
        QTest::newRow("empty text is not Null") << text << QVariant(QString(""));
        QTest::newRow("text null") << text << QVariant();
        QTest::newRow("long min") << lng << QVariant::fromValue(std::numeric_limits<qint64>::min());
        QTest::newRow("double") << dbl << QVariant(0.1);
        QTest::newRow("currency max") << cur << currency(std::numeric_limits<qint64>::max());
        QTest::newRow("currency min") << cur << currency(std::numeric_limits<qint64>::min());
        QTest::newRow("date zero") << date << QVariant(QDate(1899, 12, 30));
        QTest::newRow("bool false") << boolean << QVariant(false);
    }

    void shouldRoundTripEveryFieldTypeThroughTheWire()
    {
        QFETCH(int, type);
        QFETCH(QVariant, value);

        DataSet set;
        set.Define(QStringLiteral("CONFIRMATION"));
        set.Prepare();
        set.Recordset()->appendField(QStringLiteral("VALUE"), FieldType(type));
        set.AddNew();
        set.Fields().Item(QStringLiteral("value")).setValue(value);
        set.Update();

        const DataSetPtr back = throughTheWire(set);
        QCOMPARE(back->Name(), QStringLiteral("CONFIRMATION"));
        QCOMPARE(back->RecordCount(), 1);
        QCOMPARE(int(back->Recordset()->fieldType(0)), type);
        back->Prepare();
        back->MoveFirst();
        const QVariant read = back->Fields().Item(QStringLiteral("VALUE")).Value();
        QCOMPARE(read.isNull(), value.isNull());
        if (!value.isNull()) {
            QCOMPARE(read.metaType(), value.metaType());
            if (FieldType(type) == FieldType::Currency)
                QCOMPARE(read.value<Currency>().units(), value.value<Currency>().units());
            else
                QCOMPARE(read, value);
        }
    }

    void shouldVisitRecordsInSortOrderUntilEof_data()
    {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QStringList>("expected");

        const QVariantList mixed{QStringLiteral("B"), QVariant(), QStringLiteral("A"), QStringLiteral("C")};
        QTest::newRow("ascending, Null first")
            << mixed << QStringLiteral("NAME") << QStringList{"<null>", "A", "B", "C"};
        QTest::newRow("descending") << mixed << QStringLiteral("NAME DESC")
                                    << QStringList{"C", "B", "A", "<null>"};
        QTest::newRow("no records") << QVariantList{} << QStringLiteral("NAME") << QStringList{};
    }

    void shouldVisitRecordsInSortOrderUntilEof()
    {
        QFETCH(QVariantList, values);
        QFETCH(QString, sort);
        QFETCH(QStringList, expected);

        DataSet set;
        set.Define(QStringLiteral("RECEIPT"));
        set.Prepare();
        set.Recordset()->appendField(QStringLiteral("NAME"), FieldType::Text);
        for (const QVariant& value : values) {
            set.AddNew();
            set.Fields().Item(QStringLiteral("NAME")).setValue(value);
            set.Update();
        }
        set.Recordset()->setSort(sort);

        // Read the way the reply dispatch reads: Prepare, MoveFirst, then until Eof.
        QStringList visited;
        set.Prepare();
        set.MoveFirst();
        while (!set.Eof()) {
            const QVariant value = set.Fields().Item(QStringLiteral("NAME")).Value();
            visited.append(value.isNull() ? QStringLiteral("<null>") : value.toString());
            set.MoveNext();
        }
        QCOMPARE(visited, expected);
        QCOMPARE(set.RecordCount(), expected.size());
    }

    void shouldGiveEveryCallerItsOwnCopy()
    {
        ReplyStore store;
        store.store("DOC", "K1", {{"FUND", numbers({1, 2, 3})}}, {});

        const DataSetPtr first = store.GetDataSet("FUND", "DOC", "K1");
        first->MoveNext();
        first->MoveNext();
        first->Fields().Item("F").setValue(QVariant::fromValue<qint64>(99));

        const DataSetPtr second = store.GetDataSet("FUND", "DOC", "K1");
        QVERIFY(!second->Eof());
        QCOMPARE(second->Fields().Item("F").Value().toLongLong(), 1);
        second->Recordset()->setAbsolutePosition(2);
        QCOMPARE(second->Fields().Item("F").Value().toLongLong(), 3);
    }

    void shouldKeepTheLatestRepliesWithinCountAndRecordBudget_data()
    {
        QTest::addColumn<int>("retain");
        QTest::addColumn<int>("budget");
        QTest::addColumn<QList<int>>("sizes"); // records of each reply, oldest first
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("count") << 2 << 100 << QList<int>{1, 1, 1} << QStringList{"K1", "K2"};
        QTest::newRow("budget at the limit") << 8 << 5 << QList<int>{2, 3} << QStringList{"K0", "K1"};
        QTest::newRow("budget passed") << 8 << 5 << QList<int>{2, 3, 1} << QStringList{"K1", "K2"};
        QTest::newRow("latest over budget") << 8 << 5 << QList<int>{1, 9} << QStringList{"K1"};
    }
    void shouldKeepTheLatestRepliesWithinCountAndRecordBudget()
    {
        QFETCH(int, retain);
        QFETCH(int, budget);
        QFETCH(QList<int>, sizes);
        QFETCH(QStringList, kept);
        ReplyStore store;
        store.setRetainPerDocument(retain);
        store.setRecordBudgetPerDocument(budget);
        for (int i = 0; i < sizes.size(); ++i)
            store.store("DOC", QStringLiteral("K%1").arg(i), {{"FUND", numbers(QList<qint64>(sizes[i], 1))}},
                        {});
        QStringList found;
        for (int i = 0; i < sizes.size(); ++i)
            if (store.contains("doc ", QStringLiteral("K%1").arg(i)))
                found.append(QStringLiteral("K%1").arg(i));
        QCOMPARE(found, kept);
        QCOMPARE(store.GetDataSet("FUND", "DOC", kept.last())->Recordset()->RecordCount(), sizes.last());
    }

    void shouldRestoreTheOwnLookWhenAHighlightIsCleared()
    {
        const QString ownStyle = QStringLiteral("color: navy;");
        QLabel display;
        display.setStyleSheet(ownStyle);
        FieldUtility& fields = FieldUtility::instance();
        fields.HighlightControl(&display);
        fields.HighlightControl(&display);
        QVERIFY(display.property(HighlightProperty).toBool());
        QVERIFY(display.styleSheet() != ownStyle);
        // Marked twice, cleared once; then cleared again without a mark.
        for (int clears = 0; clears < 2; ++clears) {
            fields.ClearHighlight(&display);
            QCOMPARE(display.styleSheet(), ownStyle);
            QVERIFY(!display.property(HighlightProperty).toBool());
        }
    }

    void shouldJoinTheLatestReplyErrors()
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

    void shouldReportOnlyErrorsThatAreNotQuiet_data()
    {
        QTest::addColumn<int>("number"); // 0: a foreign exception
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<QString>("reported"); // empty: nothing reported
        QTest::addColumn<int>("returned");

        QTest::newRow("quiet abort") << int(err::QuietAbort) << false << "" << int(err::QuietAbort);
        QTest::newRow("quiet number of another procedure")
            << int(err::SaveCancelled) << false << "Application-defined or object-defined error"
            << int(err::SaveCancelled);
        QTest::newRow("negative number in decimal")
            << int(err::vbObjectError + 5) << true
            << "-2147221499:Application-defined or object-defined error" << int(err::vbObjectError + 5);
        QTest::newRow("foreign exception") << 0 << false << "bad grid state" << int(err::AutomationError);
    }

    void shouldReportOnlyErrorsThatAreNotQuiet()
    {
        QFETCH(int, number);
        QFETCH(bool, numbered);
        QFETCH(QString, reported);
        QFETCH(int, returned);

        CallLog log;
        RecordingErrorReporter reporter(log);
        ScopedSeam<ErrorReporter> seam(reporter);
        const auto error = runProcedure(
            "TAVRO_CnfrmPymt.mVeskMessage_DataReady",
            [&] {
                if (number == 0)
                    throw std::runtime_error("bad grid state");
                raiseError(number);
            },
            {{err::QuietAbort}, numbered ? ReportStyle::NumberAndDescription : ReportStyle::Description});

        QCOMPARE(error ? error->number() : 0, returned);
        QCOMPARE(reporter.reports.size(), reported.isEmpty() ? 0 : 1);
        if (reported.isEmpty())
            return;
        QCOMPARE(reporter.reports.at(0).message, reported);
        QCOMPARE(reporter.reports.at(0).appText, App::Title());
        QCOMPARE(reporter.reports.at(0).label, QStringLiteral("TAVRO_CnfrmPymt.mVeskMessage_DataReady"));
    }

    void shouldShowACriticalBoxNamingTheProcedureByDefault()
    {
        CallLog log;
        ScriptedMessageBox box(log);
        ScopedSeam<MessageBox> seam(box);
        ErrorReporter::setInstance(nullptr);
        runProcedure("TAVRO_CnfrmPymt.SaveData: Validate", [] { raiseError(err::TypeMismatch); });
        QCOMPARE(box.shown.size(), 1);
        QCOMPARE(box.shown.at(0).style, vb::vbCritical + vb::vbOKOnly);
        QCOMPARE(box.shown.at(0).title, App::Title());
        QVERIFY(box.shown.at(0).prompt.contains(u"Type mismatch"));
        QVERIFY(box.shown.at(0).prompt.contains(u"TAVRO_CnfrmPymt.SaveData: Validate"));
    }

private:
    QString send(const QString& requester, int timeoutMs = 30000)
    {
        m_service->setTimeoutMs(timeoutMs);
        VeskRequest request;
        request.setRequester(requester);
        request.setRequestCode(protocol::Search);
        request.Send();
        return request.RequestKey();
    }

    VeskMessage* m_service = VeskMessage::GetInstance();
    FakeTransport* m_transport = nullptr;
    std::unique_ptr<MessageTransport> m_previous;
    std::unique_ptr<ReplyStore> m_store;
    std::unique_ptr<ScopedSeam<ReplyStore>> m_storeSeam;
    QStringList m_events;
    std::function<void(const QString&)> m_onDataReady;
};

QTEST_MAIN(tst_Common)
#include "tst_common.moc"
