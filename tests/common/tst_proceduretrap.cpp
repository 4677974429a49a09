#include "common/ProcedureTrap.h"
#include "runtime/App.h"
#include "runtime/Seam.h"
#include "support/CallLog.h"
#include "support/CommonFakes.h"
#include "support/RuntimeFakes.h"

#include <QTest>
#include <stdexcept>

using namespace tavro;
using namespace tavro::test;

namespace {

// A reporter that fails, as a broken message box might.
class ThrowingReporter final : public ErrorReporter
{
public:
    void Report(const QString&, const QString&, const QString&, const QVariant& = {}) override
    {
        ++calls;
        throw std::runtime_error("no display");
    }
    int calls = 0;
};

} // namespace

class tst_ProcedureTrap : public QObject
{
    Q_OBJECT
private slots:
    void shouldReportOnlyErrorsThatAreNotQuiet_data();
    void shouldReportOnlyErrorsThatAreNotQuiet();
    void shouldNotThrowWhenTheReporterFails();
    void shouldShowACriticalBoxNamingTheProcedureByDefault();
};

void tst_ProcedureTrap::shouldReportOnlyErrorsThatAreNotQuiet_data()
{
    QTest::addColumn<QString>("raise"); // "none", "classic", "std"
    QTest::addColumn<int>("number");
    QTest::addColumn<QList<qint32>>("quiet");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("reported"); // empty: nothing reported
    QTest::addColumn<int>("returned");     // 0: nullopt

    const QList<qint32> dispatchQuiet{err::QuietAbort};
    const QList<qint32> saveQuiet{err::SaveCancelled, err::QuietAbort};
    QTest::newRow("body runs to its end") << "none" << 0 << dispatchQuiet << false << "" << 0;
    QTest::newRow("quiet abort") << "classic" << int(err::QuietAbort) << dispatchQuiet << false << ""
                                 << int(err::QuietAbort);
    QTest::newRow("second quiet number")
        << "classic" << int(err::SaveCancelled) << saveQuiet << false << "" << int(err::SaveCancelled);
    QTest::newRow("quiet number of another procedure")
        << "classic" << int(err::SaveCancelled) << dispatchQuiet << false
        << "Application-defined or object-defined error" << int(err::SaveCancelled);
    QTest::newRow("number and description") << "classic" << int(err::TypeMismatch) << QList<qint32>{} << true
                                            << "13:Type mismatch" << int(err::TypeMismatch);
    QTest::newRow("negative number in decimal")
        << "classic" << int(err::vbObjectError + 5) << QList<qint32>{} << true
        << "-2147221499:Application-defined or object-defined error" << int(err::vbObjectError + 5);
    QTest::newRow("foreign exception")
        << "std" << 0 << dispatchQuiet << false << "bad grid state" << int(err::AutomationError);
}

void tst_ProcedureTrap::shouldReportOnlyErrorsThatAreNotQuiet()
{
    QFETCH(QString, raise);
    QFETCH(int, number);
    QFETCH(QList<qint32>, quiet);
    QFETCH(bool, numbered);
    QFETCH(QString, reported);
    QFETCH(int, returned);

    CallLog log;
    RecordingErrorReporter reporter(log);
    ScopedSeam<ErrorReporter> seam(reporter);

    bool after = false;
    const auto error =
        runProcedure("TAVRO_CnfrmPymt.mVeskMessage_DataReady",
                     [&] {
                         if (raise == u"classic")
                             raiseError(number);
                         if (raise == u"std")
                             throw std::runtime_error("bad grid state");
                         after = true;
                     },
                     {quiet, numbered ? ReportStyle::NumberAndDescription : ReportStyle::Description});

    QCOMPARE(after, raise == u"none");
    QCOMPARE(error ? error->number() : 0, returned);
    if (reported.isEmpty()) {
        QVERIFY(reporter.reports.isEmpty());
        return;
    }
    QCOMPARE(reporter.reports.size(), 1);
    QCOMPARE(reporter.reports.at(0).message, reported);
    QCOMPARE(reporter.reports.at(0).appText, App::Title());
    QCOMPARE(reporter.reports.at(0).label, QStringLiteral("TAVRO_CnfrmPymt.mVeskMessage_DataReady"));
    QVERIFY(!reporter.reports.at(0).fourth.isValid());
}

void tst_ProcedureTrap::shouldNotThrowWhenTheReporterFails()
{
    ThrowingReporter reporter;
    ScopedSeam<ErrorReporter> seam(reporter);
    std::optional<ClassicError> error;
    try {
        error = runProcedure("TAVRO_CnfrmPymt.ClearData", [] { raiseError(err::Overflow); });
    } catch (...) {
        QFAIL("runProcedure let an exception escape");
    }
    QCOMPARE(reporter.calls, 1);
    QVERIFY(error);
    QCOMPARE(error->number(), err::Overflow);
}

void tst_ProcedureTrap::shouldShowACriticalBoxNamingTheProcedureByDefault()
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

QTEST_GUILESS_MAIN(tst_ProcedureTrap)
#include "tst_proceduretrap.moc"
