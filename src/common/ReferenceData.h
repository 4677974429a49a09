#pragma once

#include "controls/CodeListProvider.h"
#include "protocol/Messages.h"

#include <QHash>
#include <QMap>
#include <QString>

namespace tavro {

/// \brief Code tables and officer names, received once at sign-in and kept in memory.
///
/// One process-wide object, created on first use. setReference() also makes it
/// the code-list provider of the controls, so code-list combos show its tables.
/// Table names and codes are matched exactly; officer ids by value.
class ReferenceData : public CodeListProvider
{
public:
    ReferenceData() = default;
    ~ReferenceData() override;
    ReferenceData(const ReferenceData&) = delete;
    ReferenceData& operator=(const ReferenceData&) = delete;

    /// Replaces every table and officer name and installs this object as the code-list provider.
    void setReference(const protocol::Reference& reference);
    /// Forgets everything (sign-out); stays the code-list provider if it was one.
    void clear();

    /// The description of \a code in \a table, empty when either is unknown.
    QString codeDescription(const QString& table, const QString& code) const;
    /// The display name of officer \a officerId, empty when unknown.
    QString officerName(qint32 officerId) const;
    bool hasTable(const QString& table) const { return m_tables.contains(table); }

    /// The (code, description) pairs of table \a codetype in code order; empty when unknown.
    QList<std::pair<QString, QString>> codes(const QString& codetype) override;

    static ReferenceData& instance();
    /// Installs \a data (not owned); nullptr restores the default.
    static void setInstance(ReferenceData* data);

private:
    QMap<QString, QMap<QString, QString>> m_tables;
    QHash<qint32, QString> m_officers;
    bool m_isProvider = false;
};

} // namespace tavro
