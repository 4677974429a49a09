#pragma once

#include <QJsonObject>
#include <QString>

namespace tavro {

class DocumentPlugin;

/// \brief What the shell knows of a screen before it loads it: the entry a screen library
/// must match.
struct DocumentRegistration
{
    QString library;     ///< the library's registered name, "SCR.TAVRO_CnfrmPymt"
    QString className;   ///< the document class
    QString interfaceId; ///< the identifier of the document class's interface
    int majorVersion = 0;
    int minorVersion = 0; ///< the oldest minor version that still fits
    QString caption;      ///< the caption of the windows that hold the document

    QString versionText() const { return QStringLiteral("%1.%2").arg(majorVersion).arg(minorVersion); }
};

/// The Confirm Payment screen as this shell expects it.
DocumentRegistration confirmPaymentRegistration();

/// \brief A plugin file that matched a registration, or why none did.
struct PluginLookup
{
    QString path;         ///< the plugin's file, empty when none was found
    QJsonObject metaData; ///< its registration entry (the plugin's own metadata)
    QString error;        ///< empty when the plugin fits
    bool ok() const { return error.isEmpty(); }
};

/// \brief Finds and checks screen plugins without running any of their code.
///
/// The metadata is read with QPluginLoader::metaData(), which does not load the library, so
/// a plugin of the wrong interface or version is refused before any of its code runs.
class DocumentRegistry
{
public:
    /// Checks one plugin's metadata (as QPluginLoader::metaData() gives it) against
    /// \a wanted; returns the reason it does not fit, empty when it does.
    static QString check(const QJsonObject& loaderMetaData, const DocumentRegistration& wanted,
                         const QString& path);

    /// Looks in \a folder for the plugin registered as \a wanted.library and checks it.
    static PluginLookup find(const QString& folder, const DocumentRegistration& wanted);

    /// Loads the plugin found by find(); null with \a error set when loading fails.
    static DocumentPlugin* load(const QString& path, QString* error);

    /// The plugin folder next to the program: "../plugins" from the folder of the binary, or
    /// the installed plugin folder when there is none.
    static QString defaultFolder();
};

} // namespace tavro
