#pragma once

#include <QString>
#include <QtPlugin>

class QWidget;

namespace tavro {

/// \brief The public operations through which a host shell drives a document.
///
/// The host never reaches into a document's controls: it saves, clears, asks
/// whether to save and closes only through these calls.
class HostedDocument
{
public:
    virtual ~HostedDocument() = default;

    /// The document's widget, to be placed in one of the host's windows.
    virtual QWidget* documentWidget() = 0;

    virtual bool DataChanged() = 0;
    virtual void ClearData() = 0;
    virtual void FileNew() = 0;
    virtual void BeforeUnload() = 0;
    virtual void PersistData() = 0;
    virtual void RestoreData() = 0;
    virtual bool NeedSave() = 0;
    /// True when the document may close; false keeps it open.
    virtual bool CloseDocument() = 0;
    virtual void SaveData() = 0;
};

/// \brief What a screen plugin offers the host: documents of its one class.
///
/// The plugin's metadata names the library, its version, the class and project, a class
/// identifier, an interface identifier and a type library version; the host checks them
/// before it creates a document.
class DocumentPlugin
{
public:
    virtual ~DocumentPlugin() = default;
    virtual HostedDocument* createDocument(QWidget* parent) = 0;
};

} // namespace tavro

#define TAVRO_DOCUMENT_PLUGIN_IID "org.tavro.DocumentPlugin/1.0"
Q_DECLARE_INTERFACE(tavro::DocumentPlugin, TAVRO_DOCUMENT_PLUGIN_IID)
