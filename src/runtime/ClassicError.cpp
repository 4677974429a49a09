#include "runtime/ClassicError.h"

#include <new>

namespace tavro {

ClassicError::ClassicError(qint32 number, QString description)
    : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
{
}

QString errorDescription(qint32 number)
{
    switch (number) {
    case err::InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow:
        return QStringLiteral("Overflow");
    case err::OutOfMemory:
        return QStringLiteral("Out of memory");
    case err::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case err::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case err::FileNotFound:
        return QStringLiteral("File not found");
    case err::InvalidUseOfNull:
        return QStringLiteral("Invalid use of Null");
    case err::InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case err::ObjectRequired:
        return QStringLiteral("Object required");
    case err::AutomationError:
        return QStringLiteral("Automation error");
    case err::NoCurrentRecord:
        return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
    case err::ItemNotFound:
        return QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                              "name or ordinal.");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

void raiseError(qint32 number, const QString& description)
{
    throw ClassicError(number, description.isEmpty() ? errorDescription(number) : description);
}

std::optional<ClassicError> captureError(const std::function<void()>& body)
{
    try {
        body();
    } catch (const ClassicError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return ClassicError(err::OutOfMemory, errorDescription(err::OutOfMemory));
    } catch (const std::exception& e) {
        return ClassicError(err::AutomationError, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return ClassicError(err::AutomationError, errorDescription(err::AutomationError));
    }
    return std::nullopt;
}

void passOver(qint32 number, const std::function<void()>& step)
{
    try {
        step();
    } catch (const ClassicError& e) {
        if (e.number() != number)
            throw;
    }
}

} // namespace tavro
