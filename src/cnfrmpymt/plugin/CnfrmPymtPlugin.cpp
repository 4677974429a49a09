#include "cnfrmpymt/plugin/CnfrmPymtPlugin.h"

#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"

namespace tavro {

HostedDocument* CnfrmPymtPlugin::createDocument(QWidget* parent)
{
    return new TAVRO_CnfrmPymt(parent);
}

} // namespace tavro
