#include "common/ErrorReporter.h"

#include "runtime/MessageBox.h"
#include "runtime/Seam.h"

#include <QLoggingCategory>

namespace tavro {

namespace {

Q_LOGGING_CATEGORY(lcErrors, "tavro.errors")

// The officer must learn that something failed, not only the log: every report also
// shows a critical box. It goes through the runtime's MessageBox so tests can answer it.
class MessageBoxErrorReporter final : public ErrorReporter
{
public:
    void Report(const QString& message, const QString& appText, const QString& label,
                const QVariant& = {}) override
    {
        qCWarning(lcErrors).noquote() << label << ":" << message;
        const QString prompt = QStringLiteral("%1\n\nProcedure: %2").arg(message, label);
        MessageBox::instance().MsgBox(prompt, vb::vbCritical | vb::vbOKOnly, appText);
    }
};

SeamSlot<ErrorReporter>& slot()
{
    static SeamSlot<ErrorReporter> s(
        []() -> std::unique_ptr<ErrorReporter> { return std::make_unique<MessageBoxErrorReporter>(); });
    return s;
}

} // namespace

ErrorReporter::~ErrorReporter() = default;

ErrorReporter& ErrorReporter::instance()
{
    return slot().get();
}

void ErrorReporter::setInstance(ErrorReporter* reporter)
{
    slot().set(reporter);
}

} // namespace tavro
