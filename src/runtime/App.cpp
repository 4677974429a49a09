#include "runtime/App.h"

namespace tavro {

QString App::Title()
{
    return QStringLiteral("PRJ_TAVRO_CnfrmPymt");
}

QString App::versionText()
{
    return QString::number(Major()) + u'.' + QString::number(Minor());
}

} // namespace tavro
