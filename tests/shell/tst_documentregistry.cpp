#include "common/HostedDocument.h"
#include "shell/DocumentRegistry.h"

#include <QJsonObject>
#include <QTest>

using namespace tavro;

namespace {
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
        QTest::addColumn<QJsonObject>("metaData");      // as QPluginLoader::metaData() gives it
        QTest::addColumn<QStringList>("errorMentions"); // empty: accepted

        const QString good = "{B41F7D2E-8C65-4A93-9E0B-52D6C1A8F7E4}",
                      zero = "{00000000-0000-0000-0000-000000000000}";
        const auto row = [](const char* name, const QString& version, const QString& interfaceId,
                            const QStringList& mentions, const QString& className = "TAVRO_CnfrmPymt") {
            QJsonObject entry{
                {"library", "SCR.TAVRO_CnfrmPymt"}, {"class", className}, {"project", "PRJ_TAVRO_CnfrmPymt"}};
            if (!version.isNull())
                entry.insert("version", version);
            if (!interfaceId.isNull())
                entry.insert("interfaceId", interfaceId);
            QTest::newRow(name) << QJsonObject{{"IID", TAVRO_DOCUMENT_PLUGIN_IID},
                                               {"className", "Plugin"},
                                               {"MetaData", entry}}
                                << mentions;
        };
        row("exact", "5.1", good, {});
        row("later minor version", "5.12", good, {});
        row("wrong interface id", "5.1", zero, {"interface identifier", zero, good});
        row("older major version", "4.9", good, {"version 4.9", "5.1"});
        row("version without minor", "5", good, {"no readable version", "5.1"});
        row("other class", "5.1", good, {"TAVRO_Other", "TAVRO_CnfrmPymt"}, "TAVRO_Other");
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
};

QTEST_MAIN(tst_DocumentRegistry)
#include "tst_documentregistry.moc"
