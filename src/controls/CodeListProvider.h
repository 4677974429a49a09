#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace tavro {

/// \brief Where the code-list combos get their lists: (code, description) pairs per code type
/// ("CNFRMDOC", ...).
///
/// A process-wide service: the default answers every code type with an empty list; the
/// common library installs the real one (reference data kept in memory) at sign-in.
class CodeListProvider
{
public:
    virtual ~CodeListProvider();

    virtual QList<std::pair<QString, QString>> codes(const QString& codetype);

    static CodeListProvider& instance();
    /// nullptr restores the default.
    static void setInstance(CodeListProvider* provider);
};

} // namespace tavro
