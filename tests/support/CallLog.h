#pragma once

#include <initializer_list>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace tavro::test {

/// One log of calls shared by every fake of a test, so a test can check their order across services.
/// Entries read like the call: "EnableToolbarButton(7,false,TAG)", "MsgBox(Save changes?,35,Title)".
/// Texts are written as they are (no quotes); widgets by object name; Booleans as true/false.
class CallLog
{
public:
    void add(const QString& entry) { m_entries.append(entry); }
    void add(const char* name, std::initializer_list<QString> arguments) { add(call(name, arguments)); }

    const QStringList& entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

    /// Entries that begin with \a prefix ("ShowStatus(" finds every status text).
    QStringList matching(const QString& prefix) const
    {
        return m_entries.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix)));
    }
    /// Position of the first entry equal to \a entry at or after \a from, -1 when absent.
    qsizetype indexOf(const QString& entry, qsizetype from = 0) const
    {
        return m_entries.indexOf(entry, from);
    }
    /// Whether \a expected occur in this order (others may lie between them).
    bool containsInOrder(const QStringList& expected) const
    {
        qsizetype from = 0;
        for (const QString& entry : expected)
            if ((from = m_entries.indexOf(entry, from) + 1) == 0)
                return false;
        return true;
    }

    static QString call(const char* name, std::initializer_list<QString> arguments)
    {
        return QLatin1String(name) + u'(' + QStringList(arguments).join(u',') + u')';
    }
    static QString arg(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
    static QString arg(int value) { return QString::number(value); }
    static QString arg(const QString& value) { return value; }
    static QString arg(const QWidget* widget)
    {
        return !widget                          ? QStringLiteral("nullptr")
               : widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                : widget->objectName();
    }

private:
    QStringList m_entries;
};

} // namespace tavro::test
