#include "harness/FuzzChecks.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tavro::fuzz;

namespace {
QFileInfoList filesIn(const QString& sub)
{
    return QDir(QStringLiteral(TAVRO_FUZZ_DIR "/") + sub).entryInfoList(QDir::Files, QDir::Name);
}
} // namespace

class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    // A wrong path would otherwise make the replay pass on nothing.
    void corpusShouldBeThereAndSmall()
    {
        for (const char* folder : {"corpus/decode", "corpus/request"}) {
            const QFileInfoList files = filesIn(QLatin1String(folder));
            qint64 bytes = 0;
            for (const QFileInfo& file : files)
                bytes += file.size();
            QVERIFY2(files.size() >= 20 && bytes < 512 * 1024,
                     qPrintable(u"%1: %2 files, %3 bytes"_qs.arg(folder).arg(files.size()).arg(bytes)));
        }
    }

    // Every request input is a frame too, so the frame check reads both folders. Inputs kept in
    // crashes/ fail their check until the code is fixed; one that passes (XPASS) belongs in the corpus.
    void corpusShouldPassAndFindingsStillFail_data()
    {
        QTest::addColumn<bool>("request");
        QTest::addColumn<bool>("finding");
        QTest::addColumn<QString>("path");
        for (const QString& folder : {u"decode"_qs, u"request"_qs}) {
            for (const QFileInfo& file : filesIn(u"corpus/"_qs + folder)) {
                const QString name = folder + u'/' + file.fileName();
                QTest::addRow("frame %s", qPrintable(name)) << false << false << file.filePath();
                if (folder == u"request")
                    QTest::addRow("request %s", qPrintable(name)) << true << false << file.filePath();
            }
        }
        for (const QFileInfo& file : filesIn(u"crashes"_qs)) {
            const bool request = file.fileName().startsWith(u"request-");
            if (request || file.fileName().startsWith(u"decode-"))
                QTest::newRow(qPrintable(file.fileName())) << request << true << file.filePath();
        }
    }

    void corpusShouldPassAndFindingsStillFail()
    {
        QFETCH(bool, request);
        QFETCH(bool, finding);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const QString why = request ? checkRequest(data) : checkFrame(data);
        if (finding)
            QEXPECT_FAIL("", "a known finding, not fixed yet", Continue);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
