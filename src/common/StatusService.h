#pragma once

#include <QString>

namespace tavro {

/// \brief The host's status area and toolbar, as the documents see them.
///
/// One process-wide object, created on first use. The default only logs; the
/// host shell installs its own with setInstance() when its main window exists.
/// \code
/// StatusService::instance().EnableToolbarButton(7, false, gstrHostTag);
/// \endcode
class StatusService
{
public:
    virtual ~StatusService();

    /// Shows \a text as the host's status line.
    virtual void ShowStatus(const QString& text) = 0;
    /// Shows \a text as a warning in the status area.
    virtual void ShowWarning(const QString& text) = 0;
    /// Enables or disables toolbar button \a button of the host window tagged \a hostTag.
    virtual void EnableToolbarButton(int button, bool enabled, const QString& hostTag) = 0;
    /// The ready light: on when the document waits for nothing it sent.
    virtual void SetReady(bool ready) = 0;

    static StatusService& instance();
    /// Installs \a service (not owned); nullptr restores the logging default.
    static void setInstance(StatusService* service);
};

} // namespace tavro
