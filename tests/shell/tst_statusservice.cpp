#include "shell/MainWindow.h"
#include "shell/ShellStatusService.h"
#include "shell/StatusArea.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace tavro;

namespace {

/// Runs calls written "7+A" (button 7 on for tag A), "8-" (button 8 off, empty tag),
/// "open:B" (calls naming no window go to B) and "add:B"/"remove:B".
void runCalls(ShellStatusService& status, const QStringList& calls)
{
    for (const QString& call : calls) {
        if (call.startsWith(QLatin1String("add:"))) {
            status.addWindow(call.mid(4));
        } else if (call.startsWith(QLatin1String("remove:"))) {
            status.removeWindow(call.mid(7));
        } else if (call.startsWith(QLatin1String("open:"))) {
            status.setOpeningWindow(call.mid(5));
        } else {
            const qsizetype sign = call.indexOf(QRegularExpression(QStringLiteral("[+-]")));
            status.EnableToolbarButton(call.left(sign).toInt(), call[sign] == u'+', call.mid(sign + 1));
        }
    }
}

/// "A:7=1" -> button 7 of A is on.
void expectStates(const ShellStatusService& status, const QStringList& expected)
{
    for (const QString& e : expected) {
        const QString tag = e.section(u':', 0, 0);
        const int button = e.section(u':', 1).section(u'=', 0, 0).toInt();
        const bool on = e.section(u'=', 1) == QLatin1String("1");
        QVERIFY2(status.isButtonEnabled(tag, button) == on, qPrintable(e));
    }
}

} // namespace

class tst_StatusService : public QObject
{
    Q_OBJECT

private slots:
    void shouldKeepButtonStatesPerWindow_data()
    {
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("new window: New and Close on, the rest off")
            << QStringList{"add:A"} << QStringList{"A:6=1", "A:12=1", "A:7=0", "A:8=0", "A:9=0", "A:14=0"};
        QTest::newRow("empty tag while a window opens goes to that window")
            << QStringList{"add:A", "add:B", "open:B", "7+", "6-"}
            << QStringList{"B:7=1", "B:6=0", "A:7=0", "A:6=1"};
        QTest::newRow("empty tag with no window opening is dropped")
            << QStringList{"add:A", "7+", "12-"} << QStringList{"A:7=0", "A:12=1", ":7=0"};
        QTest::newRow("removed window forgets its states")
            << QStringList{"add:A", "7+A", "remove:A", "add:A"} << QStringList{"A:7=0"};
    }

    void shouldKeepButtonStatesPerWindow()
    {
        QFETCH(QStringList, calls);
        QFETCH(QStringList, expected);
        ShellStatusService status;
        runCalls(status, calls);
        expectStates(status, expected);
    }

    void shouldShowStatusWarningAndReadyInTheStatusArea()
    {
        ShellStatusService status;
        MainWindow window(status, {}, QStringLiteral("Confirm Payment"));
        status.ShowWarning(QStringLiteral("Invalid"));
        QVERIFY(window.statusArea()->isWarning() && status.isWarning());
        status.ShowStatus(QStringLiteral("Saving")); // a status after a warning is plain again
        status.SetReady(false);
        QCOMPARE(window.statusArea()->text(), QStringLiteral("Saving"));
        QVERIFY(!window.statusArea()->isWarning() && !status.isWarning());
        QVERIFY(!window.statusArea()->isReady());
    }
};

QTEST_MAIN(tst_StatusService)
#include "tst_statusservice.moc"
