#include "controls/CodesCombo.h"

#include "controls/CodeListProvider.h"

#include <QSignalBlocker>

namespace tavro {

namespace {
constexpr int kCodeRole = Qt::UserRole;
constexpr int kDescriptionRole = Qt::UserRole + 1;
} // namespace

CodesCombo::CodesCombo(QWidget* parent) : ClassicControl<QComboBox>(parent)
{
    setEditable(false);
    setCurrentIndex(-1);
    connect(this, &QComboBox::activated, this, &CodesCombo::officerActivated);
}

void CodesCombo::setCodetype(const QString& codetype)
{
    m_codetype = codetype;
    reload();
}

void CodesCombo::reload()
{
    const QList<std::pair<QString, QString>> codes = CodeListProvider::instance().codes(m_codetype);
    const QSignalBlocker blocker(this);
    clear();
    for (const auto& [code, description] : codes) {
        const QString shown = description.isEmpty() ? code : code + QStringLiteral(" - ") + description;
        addItem(shown);
        setItemData(count() - 1, code, kCodeRole);
        setItemData(count() - 1, description, kDescriptionRole);
    }
    selectItemFor(m_selectedCode);
}

void CodesCombo::selectItemFor(const QString& code)
{
    const QString wanted = code.trimmed();
    int found = -1;
    if (!wanted.isEmpty()) {
        for (int item = 0; item < count(); ++item) {
            if (itemData(item, kCodeRole).toString() == wanted) {
                found = item;
                break;
            }
        }
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(found);
}

void CodesCombo::setSelectedCode(const QString& code)
{
    m_selectedCode = code;
    // The provider may have been installed after the list was first loaded (reference data
    // arrives at sign-in).
    if (count() == 0 && !m_codetype.isEmpty())
        reload();
    else
        selectItemFor(code);
}

QString CodesCombo::SelectedDescription() const
{
    if (currentIndex() < 0)
        return QString();
    return itemData(currentIndex(), kDescriptionRole).toString();
}

void CodesCombo::officerActivated(int item)
{
    const QString before = m_selectedCode;
    m_selectedCode = item >= 0 ? itemData(item, kCodeRole).toString() : QString();
    if (m_selectedCode != before)
        emit Change(Index());
}

void CodesCombo::showEvent(QShowEvent* event)
{
    if (count() == 0 && !m_codetype.isEmpty())
        reload();
    QComboBox::showEvent(event);
}

} // namespace tavro
