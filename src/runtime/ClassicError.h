#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <QString>

namespace tavro {

/// \brief An error with a classic number and description, raised inside a procedure.
///
/// Procedures of the screen never let one escape: their trap catches it and
/// either reports it or, for the procedure's own quiet numbers, leaves silently.
class ClassicError : public std::exception
{
public:
    ClassicError(qint32 number, QString description);

    qint32 number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};

namespace err {
/// Base of application-defined error numbers (hexadecimal 80040000).
inline constexpr qint32 vbObjectError = static_cast<qint32>(0x80040000u);
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 OutOfMemory = 7;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 InvalidUseOfNull = 94;
inline constexpr qint32 InvalidPropertyValue = 380;
inline constexpr qint32 ObjectRequired = 424;
inline constexpr qint32 AutomationError = 440;
inline constexpr qint32 ItemNotFound = 3265;
inline constexpr qint32 NoCurrentRecord = 3021;
/// Quiet refusal of a close and silent abort of the reply dispatch (hexadecimal 800403E8).
inline constexpr qint32 QuietAbort = vbObjectError + 1000;
/// Quiet cancel of a save that failed its validation (hexadecimal 80040200).
inline constexpr qint32 SaveCancelled = vbObjectError + 512;
} // namespace err

/// The classic description of a runtime error number ("Overflow" for 6, ...);
/// "Application-defined or object-defined error" for numbers it does not know.
QString errorDescription(qint32 number);

/// Raises a ClassicError; an empty description takes the classic one of the number.
[[noreturn]] void raiseError(qint32 number, const QString& description = {});

/// Runs \a body and returns the error it raised, if any. Exceptions that are not
/// ClassicErrors are turned into one (std::bad_alloc into 7, others into 440), so
/// that nothing crosses a procedure boundary.
std::optional<ClassicError> captureError(const std::function<void()>& body);

/// Runs one step of a procedure that passes over \a number (classically error 53):
/// an error with that number is dropped and the procedure goes on with its next step;
/// every other error propagates to the procedure's trap.
void passOver(qint32 number, const std::function<void()>& step);

} // namespace tavro
