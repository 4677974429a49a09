#pragma once

#include "controls/ControlState.h"

#include <QComboBox>

namespace tavro {

/// \brief The code-list combo: lists the codes of one code type, shown as "code - description".
///
/// \code
/// combo->setCodetype("CNFRMDOC");   // loads the list from CodeListProvider
/// combo->setSelectedCode("D");      // no event
/// connect(combo, &CodesCombo::Change, ...);
/// \endcode
/// Program assignments raise nothing. Change(Index) is raised when the officer picks an item
/// that changes SelectedCode; its argument is the control-array Index() of the combo (not
/// the item), as the classic handler expects.
class CodesCombo : public ClassicControl<QComboBox>
{
    Q_OBJECT
public:
    explicit CodesCombo(QWidget* parent = nullptr);

    QString codetype() const { return m_codetype; }
    /// Loads the list of that code type; the selected code is kept when the new list has it.
    void setCodetype(const QString& codetype);
    /// Loads the list again from the provider (after reference data arrived).
    void reload();

    /// The code as the program assigned it (blanks included) until the officer picks an item;
    /// then the picked item's code. Empty when nothing is selected.
    QString SelectedCode() const { return m_selectedCode; }
    /// Selects the item whose code equals the trimmed \a code. An empty or unknown code selects
    /// nothing (SelectedCode() still returns it, SelectedDescription() is empty). No event.
    void setSelectedCode(const QString& code);
    /// The description of the selected item; empty when no item is selected.
    QString SelectedDescription() const;

signals:
    void Change(int Index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void officerActivated(int item);
    void selectItemFor(const QString& code);

    QString m_codetype;
    QString m_selectedCode;
};

} // namespace tavro
