#include "harness/FuzzChecks.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

using namespace tavro::fuzz;

namespace {

enum class Check
{
    Frame,
    Request
};

QString fuzzDir(const QString& sub)
{
    return QStringLiteral(TAVRO_FUZZ_DIR "/") + sub;
}

QStringList filesIn(const QString& sub)
{
    QStringList files;
    QDirIterator it(fuzzDir(sub), QDir::Files);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString run(Check check, const QByteArray& data)
{
    return check == Check::Frame ? checkFrame(data) : checkRequest(data);
}

} // namespace

Q_DECLARE_METATYPE(Check)

class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    void corpusIsThereAndSmall_data();
    void corpusIsThereAndSmall();
    void corpusPasses_data();
    void corpusPasses();
    void findingsStillFail_data();
    void findingsStillFail();
};

void TestFuzzCorpus::corpusIsThereAndSmall_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("decode") << QStringLiteral("corpus/decode");
    QTest::newRow("request") << QStringLiteral("corpus/request");
}

// A wrong path would otherwise make the replay pass on nothing.
void TestFuzzCorpus::corpusIsThereAndSmall()
{
    QFETCH(QString, folder);
    const QStringList files = filesIn(folder);
    QVERIFY2(files.size() >= 20, qPrintable(QStringLiteral("%1 files in %2").arg(files.size()).arg(folder)));
    qint64 bytes = 0;
    for (const QString& file : files)
        bytes += QFileInfo(file).size();
    QVERIFY2(bytes < 512 * 1024, qPrintable(QStringLiteral("%1 holds %2 bytes").arg(folder).arg(bytes)));
}

void TestFuzzCorpus::corpusPasses_data()
{
    QTest::addColumn<Check>("check");
    QTest::addColumn<QString>("path");
    // Every request input is a frame too, so the frame check reads both folders.
    for (const QString& folder : {QStringLiteral("decode"), QStringLiteral("request")}) {
        for (const QString& path : filesIn(QStringLiteral("corpus/") + folder)) {
            const QString name = folder + u'/' + QFileInfo(path).fileName();
            QTest::newRow(qPrintable(QStringLiteral("frame ") + name)) << Check::Frame << path;
            if (folder == u"request")
                QTest::newRow(qPrintable(QStringLiteral("request ") + name)) << Check::Request << path;
        }
    }
}

void TestFuzzCorpus::corpusPasses()
{
    QFETCH(Check, check);
    QFETCH(QString, path);
    const QString why = run(check, contents(path));
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestFuzzCorpus::findingsStillFail_data()
{
    QTest::addColumn<Check>("check");
    QTest::addColumn<QString>("path");
    for (const QString& path : filesIn(QStringLiteral("crashes"))) {
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(u"decode-"))
            QTest::newRow(qPrintable(name)) << Check::Frame << path;
        else if (name.startsWith(u"request-"))
            QTest::newRow(qPrintable(name)) << Check::Request << path;
    }
    if (filesIn(QStringLiteral("crashes")).isEmpty())
        QTest::newRow("no open findings") << Check::Frame << QString();
}

// Inputs that fail a check are kept apart until the code is fixed; once one passes, this fails
// (XPASS) as a reminder to move it into the corpus.
void TestFuzzCorpus::findingsStillFail()
{
    QFETCH(Check, check);
    QFETCH(QString, path);
    if (path.isEmpty())
        QSKIP("crashes/ holds no open finding");
    const QString why = run(check, contents(path));
    QEXPECT_FAIL("", "a known finding, not fixed yet", Continue);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
