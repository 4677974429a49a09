#include "common/ProcedureTrap.h"

#include "common/ErrorReporter.h"
#include "runtime/App.h"

#include <QLoggingCategory>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcTrap, "tavro.trap")
}

QString reportMessage(const ClassicError& error, ReportStyle style)
{
    if (style == ReportStyle::NumberAndDescription)
        return QString::number(error.number()) + u':' + error.description();
    return error.description();
}

std::optional<ClassicError> runProcedure(const QString& label, const std::function<void()>& body,
                                         const TrapOptions& options)
{
    std::optional<ClassicError> error = captureError(body);
    if (!error || options.quiet.contains(error->number()))
        return error;

    // The report itself must not let anything escape: a failing reporter is logged instead.
    const QString message = reportMessage(*error, options.style);
    const auto reportFailure =
        captureError([&] { ErrorReporter::instance().Report(message, App::Title(), label); });
    if (reportFailure)
        qCCritical(lcTrap).noquote() << "could not report" << label << message << ":"
                                     << reportFailure->description();
    return error;
}

} // namespace tavro
