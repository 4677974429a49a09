#pragma once

#include "common/StatusService.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

namespace tavro {

/// \brief The shell's status area and per-window toolbar states behind StatusService.
///
/// Each host window (known by its Tag) keeps its own button states; the main window shows
/// the active window's. A call naming no known window goes to the window being opened, if
/// any (a document switches buttons while it is created, before it knows its Tag), and is
/// dropped otherwise.
/// \code
/// ShellStatusService status;
/// StatusService::setInstance(&status);
/// status.addWindow("CNFRMPYMT-1");
/// \endcode
class ShellStatusService final : public QObject, public StatusService
{
    Q_OBJECT
public:
    explicit ShellStatusService(QObject* parent = nullptr);
    ~ShellStatusService() override;

    void ShowStatus(const QString& text) override;
    void ShowWarning(const QString& text) override;
    void EnableToolbarButton(int button, bool enabled, const QString& hostTag) override;
    void SetReady(bool ready) override;

    /// Starts keeping buttons for window \a tag, with each button's initial state.
    void addWindow(const QString& tag);
    void removeWindow(const QString& tag);
    bool hasWindow(const QString& tag) const { return m_buttons.contains(tag); }
    /// The window that receives calls naming no known window; empty for none.
    void setOpeningWindow(const QString& tag) { m_opening = tag; }

    /// Whether \a button of window \a tag is on; false for an unknown window or button.
    bool isButtonEnabled(const QString& tag, int button) const;

    QString statusText() const { return m_text; }
    bool isWarning() const { return m_warning; }
    bool isReady() const { return m_ready; }

signals:
    void buttonChanged(const QString& tag, int button, bool enabled);
    void statusChanged(const QString& text, bool warning);
    void readyChanged(bool ready);

private:
    QHash<QString, QMap<int, bool>> m_buttons;
    QString m_opening;
    QString m_text;
    bool m_warning = false;
    bool m_ready = true;
};

} // namespace tavro
