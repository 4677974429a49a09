#include "shell/ShellStatusService.h"

#include "shell/ToolbarButtons.h"

#include <QLoggingCategory>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcShellStatus, "tavro.shell.status")
}

ShellStatusService::ShellStatusService(QObject* parent) : QObject(parent) {}

ShellStatusService::~ShellStatusService()
{
    // Documents may outlive the main window by a moment at shutdown; they must not reach a
    // service that is gone.
    if (&StatusService::instance() == this)
        StatusService::setInstance(nullptr);
}

void ShellStatusService::ShowStatus(const QString& text)
{
    m_text = text;
    m_warning = false;
    emit statusChanged(m_text, m_warning);
}

void ShellStatusService::ShowWarning(const QString& text)
{
    m_text = text;
    m_warning = true;
    emit statusChanged(m_text, m_warning);
}

void ShellStatusService::EnableToolbarButton(int button, bool enabled, const QString& hostTag)
{
    if (!toolbar::find(button)) {
        qCWarning(lcShellStatus) << "no toolbar button" << button << "(asked by" << hostTag << ")";
        return;
    }
    QString tag = hostTag;
    if (!m_buttons.contains(tag)) {
        if (m_opening.isEmpty() || !m_buttons.contains(m_opening)) {
            qCDebug(lcShellStatus) << "toolbar button" << button << "for unknown window" << hostTag;
            return;
        }
        tag = m_opening;
    }
    auto& states = m_buttons[tag];
    if (states.value(button) == enabled)
        return;
    states[button] = enabled;
    emit buttonChanged(tag, button, enabled);
}

void ShellStatusService::SetReady(bool ready)
{
    if (m_ready == ready)
        return;
    m_ready = ready;
    emit readyChanged(m_ready);
}

void ShellStatusService::addWindow(const QString& tag)
{
    QMap<int, bool> states;
    for (const auto& button : toolbar::Buttons)
        states.insert(button.number, button.initiallyEnabled);
    m_buttons.insert(tag, states);
}

void ShellStatusService::removeWindow(const QString& tag)
{
    m_buttons.remove(tag);
    if (m_opening == tag)
        m_opening.clear();
}

bool ShellStatusService::isButtonEnabled(const QString& tag, int button) const
{
    return m_buttons.value(tag).value(button, false);
}

} // namespace tavro
