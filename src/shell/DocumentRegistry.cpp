#include "shell/DocumentRegistry.h"

#include "common/HostedDocument.h"

#include <optional>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLibrary>
#include <QPluginLoader>

namespace tavro {

DocumentRegistration confirmPaymentRegistration()
{
    DocumentRegistration r;
    r.library = QStringLiteral("SCR.TAVRO_CnfrmPymt");
    r.className = QStringLiteral("TAVRO_CnfrmPymt");
    r.interfaceId = QStringLiteral("{B41F7D2E-8C65-4A93-9E0B-52D6C1A8F7E4}");
    r.majorVersion = 5;
    r.minorVersion = 1;
    r.caption = QStringLiteral("Confirm Payment");
    return r;
}

namespace {

/// "5.1" -> (5, 1); anything else -> nullopt.
std::optional<std::pair<int, int>> parseVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 2)
        return std::nullopt;
    bool majorOk = false;
    bool minorOk = false;
    const int major = parts[0].toInt(&majorOk);
    const int minor = parts[1].toInt(&minorOk);
    if (!majorOk || !minorOk || major < 0 || minor < 0)
        return std::nullopt;
    return std::pair{major, minor};
}

QString shown(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("none") : value;
}

} // namespace

QString DocumentRegistry::check(const QJsonObject& loaderMetaData, const DocumentRegistration& wanted,
                                const QString& path)
{
    const QString who = QStringLiteral("The screen library \"%1\" (%2)").arg(wanted.library, path);
    const QString iid = loaderMetaData.value(QStringLiteral("IID")).toString();
    if (iid != QLatin1String(TAVRO_DOCUMENT_PLUGIN_IID))
        return QStringLiteral("%1 is not a document plugin of this shell: it offers the plugin interface "
                              "\"%2\", the shell needs \"%3\".")
            .arg(who, shown(iid), QStringLiteral(TAVRO_DOCUMENT_PLUGIN_IID));

    const QJsonObject entry = loaderMetaData.value(QStringLiteral("MetaData")).toObject();
    const QString library = entry.value(QStringLiteral("library")).toString();
    if (library != wanted.library)
        return QStringLiteral("%1 is registered as \"%2\".").arg(who, shown(library));

    const QString interfaceId = entry.value(QStringLiteral("interfaceId")).toString();
    if (interfaceId.compare(wanted.interfaceId, Qt::CaseInsensitive) != 0)
        return QStringLiteral("%1 has the interface identifier %2; this shell needs %3. "
                              "The library belongs to another build of the screen.")
            .arg(who, shown(interfaceId), wanted.interfaceId);

    const QString className = entry.value(QStringLiteral("class")).toString();
    if (className != wanted.className)
        return QStringLiteral("%1 offers the class \"%2\"; this shell needs \"%3\".")
            .arg(who, shown(className), wanted.className);

    const QString versionText = entry.value(QStringLiteral("version")).toString();
    const auto version = parseVersion(versionText);
    if (!version)
        return QStringLiteral("%1 has no readable version (\"%2\"); this shell needs version %3.")
            .arg(who, versionText, wanted.versionText());
    if (version->first != wanted.majorVersion || version->second < wanted.minorVersion)
        return QStringLiteral("%1 is version %2; this shell needs version %3 (%4.%5 or a later %4.x).")
            .arg(who, versionText, wanted.versionText())
            .arg(wanted.majorVersion)
            .arg(wanted.minorVersion);
    return {};
}

PluginLookup DocumentRegistry::find(const QString& folder, const DocumentRegistration& wanted)
{
    PluginLookup result;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        result.error =
            QStringLiteral("The screen library \"%1\" was not found: the plugin folder %2 does not "
                           "exist. Name the folder with --plugin-dir.")
                .arg(wanted.library, QDir::toNativeSeparators(dir.absolutePath()));
        return result;
    }
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!QLibrary::isLibrary(file.fileName()))
            continue;
        QPluginLoader loader(file.absoluteFilePath());
        const QJsonObject metaData = loader.metaData();
        if (metaData.isEmpty())
            continue; // not a Qt plugin
        const QString library =
            metaData.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("library")).toString();
        if (library != wanted.library)
            continue;
        result.path = file.absoluteFilePath();
        result.metaData = metaData.value(QStringLiteral("MetaData")).toObject();
        result.error = check(metaData, wanted, QDir::toNativeSeparators(result.path));
        return result;
    }
    result.error = QStringLiteral("The screen library \"%1\" was not found in the plugin folder %2. "
                                  "Install it there or name its folder with --plugin-dir.")
                       .arg(wanted.library, QDir::toNativeSeparators(dir.absolutePath()));
    return result;
}

DocumentPlugin* DocumentRegistry::load(const QString& path, QString* error)
{
    QPluginLoader loader(path);
    QObject* instance = loader.instance();
    if (!instance) {
        if (error)
            *error = QStringLiteral("The screen library %1 could not be loaded: %2")
                         .arg(QDir::toNativeSeparators(path), loader.errorString());
        return nullptr;
    }
    auto* plugin = qobject_cast<DocumentPlugin*>(instance);
    if (!plugin && error)
        *error = QStringLiteral("The screen library %1 does not create documents.")
                     .arg(QDir::toNativeSeparators(path));
    return plugin;
}

QString DocumentRegistry::defaultFolder()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.absoluteFilePath(QStringLiteral("../plugins"));
    const QString installed = programDir.absoluteFilePath(QStringLiteral(TAVRO_INSTALLED_PLUGIN_DIR));
    if (!QDir(beside).exists() && QDir(installed).exists())
        return QDir::cleanPath(installed);
    return QDir::cleanPath(beside);
}

} // namespace tavro
