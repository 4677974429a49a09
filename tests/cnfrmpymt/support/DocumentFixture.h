#pragma once

#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "protocol/Messages.h"
#include "support/TestEnvironment.h"

#include <functional>
#include <QList>
#include <QMap>
#include <QString>
#include <QWidget>

namespace tavro::test {

/// One record of a "RECEIPT" reply data set; every value may be Null (std::monostate).
struct ReceiptRecord
{
    protocol::Value number;          ///< RCPT_NBR, text
    protocol::Value date;            ///< RCPT_DT, date
    protocol::Value amount;          ///< RCPT_AMT, currency
    protocol::Value confirmation;    ///< CNFRMTN_NBR, text
    protocol::Value issuingOfficer;  ///< ISS_OFCR_ID, long
    protocol::Value enteringOfficer; ///< ENTR_OFCR_ID, long
};

/// A receipt with ordinary values: \a amount is wire text ("12.5"); an empty \a confirmation
/// is Null.
ReceiptRecord receipt(const QString& number, const QDate& date, const QString& amount,
                      const QString& confirmation = {}, qint64 issuingOfficer = 1234,
                      qint64 enteringOfficer = 5678);

/// Money from wire text ("-12.3456"); fails the test's premise loudly when the text is not money.
protocol::Money money(const QString& text);

/// A "RECEIPT" data set with the fields of a search reply, one record per entry.
protocol::DataSet receiptSet(const QList<ReceiptRecord>& records);
/// A "CONFIRMATION" data set with one record holding \a comment in DLY_RCPT_CMMT_TXT.
protocol::DataSet confirmationSet(const protocol::Value& comment);
/// A "CONFIRMATION" data set with its field but no record.
protocol::DataSet emptyConfirmationSet();
/// A "REQ" data set with one record whose field "F" is \a number.
protocol::DataSet reqSet(const protocol::Value& number);

/// \brief A Confirm Payment document inside a host window, with every service faked.
///
/// The host is a plain QWidget carrying a "Tag" property and a window title, the way the shell's
/// document windows do. The TestEnvironment is installed before the document is created, so
/// its start-up calls are recorded in env.log; the message service sends through
/// env.transport(). The document is not shown until show() is called.
/// \code
/// DocumentFixture f;
/// f.show();
/// f.search("D", "0012345");
/// f.replyToLast({{"RECEIPT", receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
/// \endcode
class DocumentFixture
{
public:
    static constexpr const char* DefaultTag = "WIN-7";
    static constexpr const char* DefaultTitle = "Confirm Payment";

    explicit DocumentFixture(const QString& tag = QString::fromLatin1(DefaultTag),
                             const QString& title = QString::fromLatin1(DefaultTitle));
    ~DocumentFixture();
    DocumentFixture(const DocumentFixture&) = delete;
    DocumentFixture& operator=(const DocumentFixture&) = delete;

    /// Shows the host (and so the document) and waits until it is exposed.
    void show();

    FakeTransport& transport() { return env.transport(); }
    /// The document's child called \a name, cast to \a T; nullptr when there is none.
    template <typename T = QWidget> T* child(const QString& name) const
    {
        return document->findChild<T*>(name);
    }

    /// Clicks \a widget near its left edge, where a stretched check box or option reacts.
    static void clickLeftEdge(QWidget* widget);
    /// Clicks the command button with index \a index ("mCmdCnfrmPymt_<index>").
    void clickCommand(int index);
    /// Picks the document type \a code in the combo as the officer would (raising its Change).
    void selectCode(const QString& code);
    /// Replaces the number field's text by typing \a text after selecting everything in it.
    void typeNumber(const QString& text);
    /// Selects \a code, puts \a number into the number field and clicks "Search". The number must
    /// pass the field's validation, or "Search" stays disabled and the click does nothing.
    void search(const QString& code, const QString& number);

    /// Answers the last request sent with \a dataSets and \a errors.
    void replyToLast(const QMap<QString, protocol::DataSet>& dataSets,
                     const QList<protocol::ReplyError>& errors = {});
    /// Searches for 0012345 as a daily batch ("D"), confirmed or unconfirmed receipts, and answers with \a
    /// receipts (and, when given, a comment), leaving a filled grid.
    void loadBatch(const QList<ReceiptRecord>& receipts, const protocol::Value& comment = {},
                   bool confirmed = false);

    TestEnvironment env;
    QWidget host;
    TAVRO_CnfrmPymt* document = nullptr;
};

/// \brief A status service that passes every call on to \a inner (so it is still recorded) and
/// throws a ClassicError for the first call whose log entry starts with failOn.
///
/// Lets a test make one toolbar or status call of a procedure fail, the way a host whose
/// window went away would. failOn empty: nothing fails. failures counts the calls made to fail.
class FailingStatusService final : public StatusService
{
public:
    explicit FailingStatusService(StatusService& inner) : m_inner(inner) {}

    void ShowStatus(const QString& text) override;
    void ShowWarning(const QString& text) override;
    void EnableToolbarButton(int button, bool enabled, const QString& hostTag) override;
    void SetReady(bool ready) override;

    QString failOn;
    /// Fail every matching call, not only the first.
    bool failAlways = false;
    qint32 errorNumber = 440;
    QString errorText = QStringLiteral("The host window is gone");
    int failures = 0;

private:
    void check(const QString& entry);
    StatusService& m_inner;
};

/// The same for the field utility: fails the first call whose log entry starts with failOn
/// ("ClearHighlight(txtComment" fails clearing the comment's mark); others go to \a inner.
class FailingFieldUtility final : public FieldUtility
{
public:
    explicit FailingFieldUtility(FieldUtility& inner) : m_inner(inner) {}

    void HighlightControl(QWidget* control) override;
    void ClearHighlight(QWidget* control) override;
    void SetupForm(QWidget* form) override;
    bool ValidateNumber(const QString& type, QString& number, QString& message) override;
    int CheckDigit(const QString& sevenDigits) override;
    QString RequestFormNumber(const QString& type, const QString& documentName,
                              FormNumberCollection*& ready) override;
    bool FilterKey(const QString& type, TextBox* box, int& keyAscii) override;
    QString CheckReplyErrors(const QString& documentName, const QString& label, int flags) override;
    QString GetOfficerName(qint32 officerId, int flags) override;
    QString GetCodeDescription(const QString& code, const QString& table) override;

    QString failOn;
    bool failAlways = false;
    qint32 errorNumber = 440;
    QString errorText = QStringLiteral("The field utility failed");
    int failures = 0;

private:
    void check(const QString& entry);
    FieldUtility& m_inner;
};

/// Text of grid row \a row (0-based) in column \a column; moves the grid's current row there.
QString gridCell(SSOleDBGrid& grid, int row, const QString& column);

} // namespace tavro::test
