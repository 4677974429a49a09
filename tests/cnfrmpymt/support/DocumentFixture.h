#pragma once

#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CodesCombo.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "protocol/DataSetLayouts.h"
#include "protocol/Messages.h"
#include "runtime/ClassicError.h"
#include "support/TestEnvironment.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QTest>
#include <QWidget>
#include <utility>

namespace tavro::test {

/// One record of a "RECEIPT" reply data set; every value may be Null (std::monostate).
struct ReceiptRecord
{
    protocol::Value number, date, amount, confirmation, issuingOfficer, enteringOfficer;
};

/// Money from wire text ("-12.3456"); fails loudly when the text is not money.
inline protocol::Money money(const QString& text)
{
    const std::optional<protocol::Money> value = protocol::moneyFromText(text);
    if (!value)
        qFatal("DocumentFixture: \"%s\" is not an amount", qPrintable(text));
    return *value;
}

/// A receipt with ordinary values: \a amount is wire text ("12.5"); empty texts are Null.
inline ReceiptRecord receipt(const QString& number, const QDate& date, const QString& amount,
                             const QString& confirmation = {}, qint64 issuingOfficer = 1234,
                             qint64 enteringOfficer = 5678)
{
    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? protocol::Value{} : protocol::Value{text};
    };
    const protocol::Value day = date.isValid() ? protocol::Value{date} : protocol::Value{};
    const protocol::Value sum = amount.isEmpty() ? protocol::Value{} : protocol::Value{money(amount)};
    return {orNull(number), day, sum, orNull(confirmation), issuingOfficer, enteringOfficer};
}

inline protocol::DataSet receiptSet(const QList<ReceiptRecord>& records)
{
    protocol::DataSet set{protocol::receiptFields(), {}};
    for (const ReceiptRecord& r : records) // the batch number is not read from a search reply
        set.records.append(
            {r.number, r.date, r.amount, r.confirmation, r.issuingOfficer, r.enteringOfficer, {}});
    return set;
}

/// A "CONFIRMATION" data set with one record holding \a comment.
inline protocol::DataSet confirmationSet(const protocol::Value& comment)
{
    return {{{QStringLiteral("DLY_RCPT_CMMT_TXT"), protocol::FieldType::Text}}, {{comment}}};
}

/// A "REQ" data set with one record whose field "F" is \a number.
inline protocol::DataSet reqSet(const protocol::Value& number)
{
    return {{{QStringLiteral("F"), protocol::FieldType::Long}}, {{number}}};
}

/// \brief A Confirm Payment document inside a host window (a QWidget with a "Tag" and a title,
/// as the shell's windows are), with every service faked by env, which is installed before the
/// document is created. The document is not shown until show() is called.
class DocumentFixture
{
public:
    static constexpr const char* DefaultTag = "WIN-7";

    explicit DocumentFixture(const QString& tag = QString::fromLatin1(DefaultTag),
                             const QString& title = QStringLiteral("Confirm Payment"))
    {
        protocol::Reference reference;
        reference.codeTables[QStringLiteral("CNFRMDOC")] = {
            {QStringLiteral("A"), QStringLiteral("Account")},
            {QStringLiteral("D"), QStringLiteral("Daily Receipt")},
            {QStringLiteral("N"), QStringLiteral("Notice")},
            {QStringLiteral("R"), QStringLiteral("Receipt")}};
        reference.officers = {{1234, QStringLiteral("Jane Roe")}, {5678, QStringLiteral("John Doe")}};
        env.reference.setReference(reference);
        host.setProperty("Tag", tag);
        host.setWindowTitle(title);
        document = new TAVRO_CnfrmPymt(&host);
    }
    ~DocumentFixture() { delete document; }
    DocumentFixture(const DocumentFixture&) = delete;
    DocumentFixture& operator=(const DocumentFixture&) = delete;

    void show()
    {
        host.show();
        if (!QTest::qWaitForWindowExposed(&host))
            qWarning("DocumentFixture: the host window was not exposed");
    }
    FakeTransport& transport() { return env.transport(); }

    /// Clicks \a widget near its left edge, where a stretched check box or option reacts.
    static void clickLeftEdge(QWidget* widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
    }
    void clickCommand(int index)
    {
        QTest::mouseClick(document->findChild<QWidget*>(QStringLiteral("mCmdCnfrmPymt_%1").arg(index)),
                          Qt::LeftButton);
    }
    /// Picks the document type \a code in the combo as the officer would (raising its Change).
    void selectCode(const QString& code)
    {
        CodesCombo* combo = document->mFtcboCnfrmPymt[0];
        const int item = combo->findData(code, Qt::UserRole);
        if (item < 0)
            return qWarning("DocumentFixture: no code \"%s\" in the list", qPrintable(code));
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    }
    /// Selects \a code, puts \a number (which must pass the field's check) in the number field
    /// and clicks "Search".
    void search(const QString& code, const QString& number)
    {
        selectCode(code);
        document->mTxtCnfrmPymt->setText(number);
        clickCommand(0);
    }
    void replyToLast(const QMap<QString, protocol::DataSet>& dataSets,
                     const QList<protocol::ReplyError>& errors = {})
    {
        transport().deliverReply(transport().lastRequest().key, dataSets, errors);
    }
    /// Searches daily batch 0012345 among confirmed or unconfirmed receipts and answers with
    /// \a receipts (and, when given, a comment), leaving a filled grid.
    void loadBatch(const QList<ReceiptRecord>& receipts, const protocol::Value& comment = {},
                   bool confirmed = false)
    {
        // The type first: picking one switches the options back to "Unconfirmed Receipts".
        selectCode(QStringLiteral("D"));
        clickLeftEdge(document->mOptCnfrmPymt[confirmed ? 0 : 1]);
        document->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
        clickCommand(0);
        QMap<QString, protocol::DataSet> sets{{QStringLiteral("RECEIPT"), receiptSet(receipts)}};
        if (!std::holds_alternative<std::monostate>(comment))
            sets.insert(QStringLiteral("CONFIRMATION"), confirmationSet(comment));
        replyToLast(sets);
    }

    TestEnvironment env;
    QWidget host;
    TAVRO_CnfrmPymt* document = nullptr;
};

/// \brief A status service that passes every call on to \a inner (so it is still recorded) and
/// raises error 440 with errorText for the first call whose log entry starts with failOn, the way
/// a host whose window went away would.
class FailingStatusService final : public StatusService
{
public:
    explicit FailingStatusService(StatusService& inner) : m_inner(inner) {}

    void ShowStatus(const QString& text) override { m_inner.ShowStatus(text), check("ShowStatus", {text}); }
    void ShowWarning(const QString& text) override
    {
        m_inner.ShowWarning(text), check("ShowWarning", {text});
    }
    void EnableToolbarButton(int button, bool enabled, const QString& hostTag) override
    {
        m_inner.EnableToolbarButton(button, enabled, hostTag);
        check("EnableToolbarButton", {CallLog::arg(button), CallLog::arg(enabled), hostTag});
    }
    void SetReady(bool ready) override { m_inner.SetReady(ready), check("SetReady", {CallLog::arg(ready)}); }

    QString failOn;
    QString errorText = QStringLiteral("The host window is gone");

private:
    void check(const char* name, std::initializer_list<QString> arguments)
    {
        if (!failOn.isEmpty() && CallLog::call(name, arguments).startsWith(failOn) &&
            !std::exchange(m_failed, true))
            raiseError(440, errorText);
    }
    StatusService& m_inner;
    bool m_failed = false;
};

/// Text of grid row \a row (0-based) in column \a column; moves the grid's current row there.
inline QString gridCell(SSOleDBGrid& grid, int row, const QString& column)
{
    grid.setBookmark(grid.RowBookmark(row));
    return grid.Columns(column).Text();
}

} // namespace tavro::test
