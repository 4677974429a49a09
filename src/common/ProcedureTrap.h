#pragma once

#include "runtime/ClassicError.h"

#include <functional>
#include <optional>
#include <QList>
#include <QString>

namespace tavro {

/// How a trapped error is worded in the report.
enum class ReportStyle
{
    Description,          ///< "Type mismatch"
    NumberAndDescription, ///< "13:Type mismatch" (the number in signed decimal, as Err.Number prints)
};

struct TrapOptions
{
    /// Numbers this procedure raises on purpose to leave; they are not reported.
    QList<qint32> quiet;
    ReportStyle style = ReportStyle::Description;
};

/// The text a trapped \a error is reported with: its description, or for
/// NumberAndDescription the number in signed decimal, ":" and the description
/// ("-2147220504:Cancelled").
QString reportMessage(const ClassicError& error, ReportStyle style);

/// \brief Runs one screen procedure inside its error trap.
///
/// Whatever \a body throws is caught (see captureError). An error whose number is
/// in \a options.quiet is returned without a report; any other is reported once
/// through ErrorReporter::instance().Report(message, App::Title(), \a label) and
/// returned. Returns nullopt when the body ran to its end. Never throws.
/// \code
/// const auto error = runProcedure(QStringLiteral("TAVRO_CnfrmPymt.ClearData"), [&] { ... });
/// \endcode
std::optional<ClassicError> runProcedure(const QString& label, const std::function<void()>& body,
                                         const TrapOptions& options = {});

} // namespace tavro
