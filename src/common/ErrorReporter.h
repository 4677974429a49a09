#pragma once

#include <QString>
#include <QVariant>

namespace tavro {

/// \brief Presents an error that a procedure's trap caught.
///
/// One process-wide object, created on first use. The default writes a warning
/// to the log and shows a modal critical message box (through the runtime's
/// MessageBox, so tests can answer it) naming the procedure.
class ErrorReporter
{
public:
    virtual ~ErrorReporter();

    /// \a message is the error text, \a appText the application text (the box's
    /// title), \a label the procedure ("TAVRO_CnfrmPymt.SaveData"); \a fourth is
    /// classically omitted and is ignored by the default.
    virtual void Report(const QString& message, const QString& appText, const QString& label,
                        const QVariant& fourth = {}) = 0;

    static ErrorReporter& instance();
    /// Installs \a reporter (not owned); nullptr restores the default.
    static void setInstance(ErrorReporter* reporter);
};

} // namespace tavro
