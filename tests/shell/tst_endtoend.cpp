// An officer's day on the real shell: the real screen plugin, the embedded back end on a fresh
// SQLite file, the real widgets driven offscreen.
#include "LiveShellTest.h"
#include "runtime/CurrencyFormat.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QImage>
#include <QPlainTextEdit>
#include <QSqlError>
#include <QSqlQuery>

using namespace tavro;

class tst_EndToEnd : public test::LiveShellTest
{
    Q_OBJECT

private:
    QString m_batch;
    qint64 m_lastAuditBefore = 0; // the demo data's own audit rows end here

    QString cell(int row, int column) const
    {
        const auto* view = control<QWidget>("mSdgCnfrmPymt")->findChild<QAbstractItemView*>();
        return view->model()->index(row, column).data().toString();
    }
    bool optionOn(int index) const
    {
        return control<QAbstractButton>(index ? "mOptCnfrmPymt_1" : "mOptCnfrmPymt_0")->isChecked();
    }
    /// The first value \a sql reads through a separate connection on the back end's file.
    QVariant value(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(QSqlDatabase::database("check"));
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec())
            qWarning() << q.lastError().text();
        return q.next() ? q.value(0) : QVariant();
    }
    /// An aggregate over the batch's receipts: batchValue("COUNT(*)", "AND cnfrmtn_nbr IS NULL").
    qint64 batchValue(const char* aggregate, const char* condition = "", const QVariantList& more = {})
    {
        return value(
                   QStringLiteral("SELECT %1 FROM rcpt WHERE dly_rcpt_nbr = ? %2").arg(aggregate, condition),
                   QVariantList{m_batch.toLongLong()} + more)
            .toLongLong();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        ShellOptions options;
        options.database = m_dir.filePath("tavro.sqlite");
        options.pluginDir = QStringLiteral(TAVRO_PLUGIN_DIR);
        options.timeoutMs = 20000;
        m_shell = std::make_unique<Shell>(options);
        QString error;
        QVERIFY2(m_shell->start(&error), qPrintable(error));
        QVERIFY(QTest::qWaitForWindowExposed(main()));
        m_batch = m_shell->sampleBatch();
        QVERIFY(!m_batch.isEmpty());
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(m_shell->databasePath());
        QVERIFY(db.open());
        m_lastAuditBefore = value("SELECT MAX(audit_id) FROM cnfrmtn_audit").toLongLong();
    }

    void shouldListTheBatchWithItsTotal()
    {
        QVERIFY(ScreenDriver(document()).search(m_batch));
        const qint64 expectedRows = batchValue("COUNT(*)");
        QVERIFY(expectedRows > 0);
        QTRY_COMPARE_WITH_TIMEOUT(rows(), int(expectedRows), 20000);

        const qint64 sum = batchValue("SUM(rcpt_amt)");
        const QString totalText = control<QLabel>("mLblCnfrmPymt_2")->text();
        const auto total = parseCurrency(totalText);
        QVERIFY2(total, qPrintable(totalText));
        // The screen shows the locale's decimals; the store keeps ten-thousandths.
        QVERIFY2(qAbs(total->units() - sum) < 100, qPrintable(totalText));

        // The officer may save the listed batch: button 7 of this window is on.
        QTRY_VERIFY(main()->toolbarAction(7)->isEnabled());
        QVERIFY(optionOn(1));
    }

    void shouldOpenAndCloseTheDetailForms_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("Receipt Detail") << QString("mCmdCnfrmPymt_2") << QString("Receipt Details");
        QTest::newRow("Funds Detail") << QString("mCmdCnfrmPymt_3") << QString("Funds Detail");
    }

    void shouldOpenAndCloseTheDetailForms()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        ScreenDriver driver(document());
        QVERIFY(driver.selectRow(0));
        QTRY_VERIFY(control<QAbstractButton>(qPrintable(button))->isEnabled());

        // The form is modal inside the reply handling: look at it from a timer; the driver
        // takes its picture and closes it.
        QString seenTitle;
        int listedRows = 0;
        QTimer look;
        look.callOnTimeout(this, [&] {
            auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!form || qobject_cast<QMessageBox*>(form))
                return;
            look.stop();
            seenTitle = form->windowTitle();
            for (QAbstractItemView* view : form->findChildren<QAbstractItemView*>())
                listedRows += view->model() ? view->model()->rowCount() : 0;
        });
        look.start(30);
        const QString file = m_dir.filePath(button + ".png");
        QVERIFY(driver.captureForm(button, file, 20000));
        QCOMPARE(seenTitle, title);
        QVERIFY(listedRows > 0);
        QVERIFY(QImage(file).width() > 100);
        // Back on the list, which is still there.
        QVERIFY(rows() > 0);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void shouldConfirmTheBatchWithToolbarButton7()
    {
        const QString number = takeNumber();
        QVERIFY(!number.isEmpty());
        main()->toolbarAction(7)->trigger();

        // The reply switches the screen to the confirmed receipts and searches again.
        QTRY_VERIFY_WITH_TIMEOUT(optionOn(0), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0 && !cell(0, 3).trimmed().isEmpty(), 20000);
        for (int r = 0; r < rows(); ++r)
            QCOMPARE(cell(r, 3).left(7), number);
        QCOMPARE(batchValue("COUNT(*)", "AND cnfrmtn_nbr IS NULL"), 0);
    }

    void shouldUnconfirmTheBatchWithAReason()
    {
        clickLeftEdge(control<QAbstractButton>("chkToUnconfirm"));
        auto* editor = control<QWidget>("txtComment")->findChild<QPlainTextEdit*>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->isEnabled());
        editor->setFocus();
        // The box shows the batch's earlier comment; the officer replaces it.
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("Deposit slip did not match the bank"));

        const auto box = test::answerNextBox(QStringLiteral("OK"));
        main()->toolbarAction(7)->trigger();
        QVERIFY(box->answered);
        QCOMPARE(box->title, QStringLiteral("Unconfirm This Batch of Receipts"));
        QVERIFY(box->text.contains(m_batch));

        QTRY_VERIFY_WITH_TIMEOUT(optionOn(1), 20000);
        const qint64 receipts = batchValue("COUNT(*)");
        QTRY_COMPARE_WITH_TIMEOUT(rows(), int(receipts), 20000);
        for (int r = 0; r < rows(); ++r)
            QVERIFY(cell(r, 3).trimmed().isEmpty());

        // Both changes are in the audit, in order, with the reason kept.
        const QString audit = "FROM cnfrmtn_audit WHERE audit_id > ? AND dly_rcpt_nbr = ? AND user_id = ?";
        const QVariantList ours{m_lastAuditBefore, m_batch.toLongLong(), m_shell->session().profile.userId};
        QCOMPARE(
            value("SELECT GROUP_CONCAT(action) FROM (SELECT action " + audit + " ORDER BY audit_id)", ours)
                .toString(),
            QStringLiteral("UPD,UNCONFIRM"));
        const QString reason = value("SELECT cmmt_txt " + audit + " ORDER BY audit_id DESC", ours).toString();
        QCOMPARE(reason, QStringLiteral("Deposit slip did not match the bank"));
    }

    void shouldKeepTwoWindowsApart()
    {
        DocumentWindow* first = main()->activeDocumentWindow();
        // The listed batch still counts as changed, so leaving the window asks about it.
        const auto box = test::answerNextBox(QStringLiteral("No"));
        DocumentWindow* second = main()->openDocument();
        QTRY_VERIFY(box->answered);
        QVERIFY2(box->text.startsWith("Information on the active window has changed."),
                 qPrintable(box->text));
        QCOMPARE(box->title, QStringLiteral("Confirm Payment"));
        QVERIFY(second && second->tag() != first->tag());
        QCOMPARE(second->windowTitle(), QStringLiteral("Confirm Payment"));
        QTRY_COMPARE(main()->activeDocumentWindow(), second);
        // A fresh screen offers no save, whatever the first window shows.
        QVERIFY(!main()->toolbarAction(7)->isEnabled());
        QVERIFY(main()->toolbarAction(12)->isEnabled());
        QCOMPARE(rows(), 0);
    }

    void shouldCloseAWindowWithAnUnsavedBatchOnlyAfterItsSaveReplied()
    {
        // The fresh second window: list the batch and take a number, then close without saving.
        QVERIFY(ScreenDriver(document()).search(m_batch));
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0, 20000);
        const QString number = takeNumber();
        QVERIFY(!number.isEmpty());

        QStringList order;
        QPointer<DocumentWindow> window = main()->activeDocumentWindow();
        connect(VeskMessage::GetInstance(), &VeskMessage::DataReady, this, [&] { order << "reply"; });
        connect(window, &QObject::destroyed, this, [&] { order << "closed"; });

        const auto box = test::answerNextBox(QStringLiteral("Yes"));
        main()->toolbarAction(12)->trigger();
        QVERIFY(box->answered);
        QCOMPARE(box->text,
                 QStringLiteral("Confirm Payment data has changed.  Do you wish to save these changes?"));
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
        // The save's reply comes first; the search that the reply starts may answer before the
        // document's wait notices, but the window never goes before a reply.
        QVERIFY2(order.size() >= 2 && order.first() == "reply" && order.indexOf("closed") > 0,
                 qPrintable(order.join(',')));
        QCOMPARE(batchValue("COUNT(*)", "AND cnfrmtn_nbr = ?", {number}), batchValue("COUNT(*)"));
    }

    void cleanupTestCase()
    {
        m_shell.reset();
        QSqlDatabase::removeDatabase("check");
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
