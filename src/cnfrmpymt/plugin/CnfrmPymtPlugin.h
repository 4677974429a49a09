#pragma once

#include "common/HostedDocument.h"

#include <QObject>

namespace tavro {

/// \brief Registration entry point of the Confirm Payment library: hands the host new documents.
///
/// The metadata (registration.json) is what the host reads before loading the library.
class CnfrmPymtPlugin : public QObject, public DocumentPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TAVRO_DOCUMENT_PLUGIN_IID FILE "registration.json")
    Q_INTERFACES(tavro::DocumentPlugin)

public:
    HostedDocument* createDocument(QWidget* parent) override;
};

} // namespace tavro
