#include "CallLog.h"

#include <QWidget>

namespace tavro::test {

QStringList CallLog::matching(const QString& prefix) const
{
    QStringList found;
    for (const QString& entry : m_entries)
        if (entry.startsWith(prefix))
            found.append(entry);
    return found;
}

bool CallLog::containsInOrder(const QStringList& expected) const
{
    qsizetype from = 0;
    for (const QString& entry : expected) {
        const qsizetype at = m_entries.indexOf(entry, from);
        if (at < 0)
            return false;
        from = at + 1;
    }
    return true;
}

QString CallLog::call(const char* name, std::initializer_list<QString> arguments)
{
    QStringList parts(arguments);
    return QLatin1String(name) + u'(' + parts.join(u',') + u')';
}

QString CallLog::arg(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("nullptr");
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

} // namespace tavro::test
