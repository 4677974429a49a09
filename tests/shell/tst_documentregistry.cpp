#include "common/HostedDocument.h"
#include "shell/DocumentRegistry.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace tavro;

namespace {

const QString GoodInterface = QStringLiteral("{B41F7D2E-8C65-4A93-9E0B-52D6C1A8F7E4}");

/// Metadata as QPluginLoader::metaData() gives it, with the registration entry under "MetaData".
QJsonObject loaderMetaData(const QString& iid, const QJsonObject& entry)
{
    return QJsonObject{{"IID", iid}, {"className", "Plugin"}, {"MetaData", entry}};
}

QJsonObject entry(const QString& library, const QString& version, const QString& interfaceId,
                  const QString& className)
{
    QJsonObject e{{"library", library}, {"class", className}, {"project", "PRJ_TAVRO_CnfrmPymt"}};
    if (!version.isNull())
        e.insert("version", version);
    if (!interfaceId.isNull())
        e.insert("interfaceId", interfaceId);
    return e;
}

QString pluginFolder(const char* variant)
{
    return QStringLiteral(TEST_PLUGIN_ROOT "/") + QLatin1String(variant);
}

} // namespace

class tst_DocumentRegistry : public QObject
{
    Q_OBJECT

private slots:
    void shouldCheckTheRegistration_data()
    {
        QTest::addColumn<QJsonObject>("metaData");
        QTest::addColumn<QStringList>("errorMentions"); // empty: accepted

        const QString iid = QStringLiteral(TAVRO_DOCUMENT_PLUGIN_IID);
        const QString good = GoodInterface, zero = "{00000000-0000-0000-0000-000000000000}";
        const auto row = [](const char* name, const QString& iid, const QString& version,
                            const QString& interfaceId, const QStringList& mentions,
                            const QString& library = "SCR.TAVRO_CnfrmPymt",
                            const QString& className = "TAVRO_CnfrmPymt") {
            QTest::newRow(name) << loaderMetaData(iid, entry(library, version, interfaceId, className))
                                << mentions;
        };
        row("exact", iid, "5.1", good, {});
        row("later minor version", iid, "5.12", good, {});
        row("interface id in small letters", iid, "5.1", good.toLower(), {});
        row("no plugin interface", "", "5.1", good, {"none"});
        row("wrong interface id", iid, "5.1", zero, {"interface identifier", zero, good});
        row("missing interface id", iid, "5.1", QString(), {"interface identifier", "none"});
        row("older major version", iid, "4.9", good, {"version 4.9", "5.1"});
        row("older minor version", iid, "5.0", good, {"version 5.0"});
        row("version without minor", iid, "5", good, {"no readable version", "5.1"});
        row("missing version", iid, QString(), good, {"no readable version"});
        row("other class", iid, "5.1", good, {"TAVRO_Other", "TAVRO_CnfrmPymt"}, "SCR.TAVRO_CnfrmPymt",
            "TAVRO_Other");
        row("other library", iid, "5.1", good, {"SCR.TAVRO_Other"}, "SCR.TAVRO_Other");
    }

    void shouldCheckTheRegistration()
    {
        QFETCH(QJsonObject, metaData);
        QFETCH(QStringList, errorMentions);
        const QString error =
            DocumentRegistry::check(metaData, confirmPaymentRegistration(), QStringLiteral("/plugins/x.so"));
        QCOMPARE(error.isEmpty(), errorMentions.isEmpty());
        for (const QString& mention : errorMentions)
            QVERIFY2(error.contains(mention), qPrintable(error + " lacks " + mention));
        if (!error.isEmpty()) // every refusal names the library and where it was found
            QVERIFY(error.contains("SCR.TAVRO_CnfrmPymt") && error.contains("/plugins/x.so"));
    }

    void shouldFindAndJudgePluginFiles_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("errorMentions");

        QTest::newRow("good") << pluginFolder("good") << true << QStringList{};
        QTest::newRow("wrong plugin interface")
            << pluginFolder("wrong-plugin-iid") << true << QStringList{"org.example.SomethingElse/2.0"};
        QTest::newRow("only another screen")
            << pluginFolder("other-library") << false
            << QStringList{"was not found in the plugin folder", "--plugin-dir"};
        QTest::newRow("folder missing")
            << pluginFolder("no-such-folder") << false << QStringList{"does not exist", "no-such-folder"};
    }

    void shouldFindAndJudgePluginFiles()
    {
        QFETCH(QString, folder);
        QFETCH(bool, found);
        QFETCH(QStringList, errorMentions);
        const PluginLookup lookup = DocumentRegistry::find(folder, confirmPaymentRegistration());
        QCOMPARE(!lookup.path.isEmpty(), found);
        QCOMPARE(lookup.ok(), errorMentions.isEmpty());
        for (const QString& mention : errorMentions)
            QVERIFY2(lookup.error.contains(mention), qPrintable(lookup.error + " lacks " + mention));
        if (!lookup.ok())
            QVERIFY(lookup.error.contains("SCR.TAVRO_CnfrmPymt"));
    }

    void shouldSkipFilesThatAreNotPlugins()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A broken library and an unrelated file beside the real plugin.
        for (const char* name : {"libjunk.so", "README.txt"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an ELF file") > 0);
        }
        const PluginLookup good = DocumentRegistry::find(pluginFolder("good"), confirmPaymentRegistration());
        QVERIFY2(good.ok(), qPrintable(good.error));
        QVERIFY(QFile::copy(good.path, dir.filePath("zz-screen.so")));

        const PluginLookup lookup = DocumentRegistry::find(dir.path(), confirmPaymentRegistration());
        QVERIFY2(lookup.ok(), qPrintable(lookup.error));
        QCOMPARE(QFileInfo(lookup.path).fileName(), QStringLiteral("zz-screen.so"));
        QCOMPARE(lookup.metaData.value("version").toString(), QStringLiteral("5.1"));
    }

    void shouldCreateDocumentsFromTheLoadedPlugin()
    {
        const PluginLookup lookup =
            DocumentRegistry::find(pluginFolder("good"), confirmPaymentRegistration());
        QVERIFY2(lookup.ok(), qPrintable(lookup.error));
        QString error;
        DocumentPlugin* plugin = DocumentRegistry::load(lookup.path, &error);
        QVERIFY2(plugin, qPrintable(error));
        QWidget host;
        HostedDocument* document = plugin->createDocument(&host);
        QVERIFY(document);
        QCOMPARE(document->documentWidget()->parentWidget(), &host);
        QCOMPARE(document->documentWidget()->objectName(), QStringLiteral("good"));
    }

    void shouldSayWhyALibraryCannotBeLoaded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("broken.so");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64, '\x7f'));
        file.close();
        QString error;
        QVERIFY(!DocumentRegistry::load(path, &error));
        QVERIFY2(error.contains("could not be loaded") && error.contains("broken.so"), qPrintable(error));
    }
};

QTEST_MAIN(tst_DocumentRegistry)
#include "tst_documentregistry.moc"
