#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace tavro {

class FormNumberCollection;
class TextBox;

/// \brief Field-level helpers shared by every screen: highlighting, number rules,
/// form numbers, reply errors and reference look-ups.
///
/// One process-wide object, created on first use. The default is the real one:
/// number rules come from protocol/NumberRules.h (the server applies the same ones),
/// look-ups from ReferenceData, reply errors from ReplyStore, and form numbers are
/// requested from the back end through VeskMessage.
class FieldUtility
{
public:
    virtual ~FieldUtility();

    /// Marks \a control as holding rejected input (a coloured background).
    virtual void HighlightControl(QWidget* control) = 0;
    /// Gives \a control (a field or a grid) its normal look again; harmless when not marked.
    virtual void ClearHighlight(QWidget* control) = 0;
    /// Common preparation of a pop-up form before it is shown.
    virtual void SetupForm(QWidget* form) = 0;

    /// Whether \a number is a valid number of kind \a type ("A", "D", "F", ...);
    /// \a message says why not (empty when valid).
    virtual bool ValidateNumber(const QString& type, QString& number, QString& message) = 0;
    /// The check digit of a seven-digit number text.
    virtual int CheckDigit(const QString& sevenDigits) = 0;
    /// Asks for a new form number of kind \a type for \a documentName. Returns the
    /// request key whose reply carries the number (data set "REQ", field "F"), or an
    /// empty key. \a ready receives the numbers available at once, or nullptr when
    /// there are none; the collection stays owned by the field utility and is valid
    /// until its next RequestFormNumber call.
    virtual QString RequestFormNumber(const QString& type, const QString& documentName,
                                      FormNumberCollection*& ready) = 0;
    /// Whether the character \a keyAscii may be typed into \a box for a number of kind
    /// \a type. The caller discards a rejected key.
    virtual bool FilterKey(const QString& type, TextBox* box, int& keyAscii) = 0;
    /// The error text of the latest reply for \a documentName, empty when it had none.
    /// \a label names the asking procedure (for the log).
    virtual QString CheckReplyErrors(const QString& documentName, const QString& label, int flags) = 0;
    /// The display name of an officer, empty when unknown.
    virtual QString GetOfficerName(qint32 officerId, int flags) = 0;
    /// The description of \a code in code table \a table, empty when unknown.
    virtual QString GetCodeDescription(const QString& code, const QString& table) = 0;

    static FieldUtility& instance();
    /// Installs \a utility (not owned); nullptr restores the default.
    static void setInstance(FieldUtility* utility);
};

/// Name of the dynamic property that HighlightControl sets to true on a marked widget.
inline constexpr char HighlightProperty[] = "tavroHighlighted";

} // namespace tavro
