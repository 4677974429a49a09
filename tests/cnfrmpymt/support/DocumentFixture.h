#pragma once

#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "protocol/Messages.h"
#include "support/TestEnvironment.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QTest>
#include <QWidget>

namespace tavro::test {

/// One record of a "RECEIPT" reply data set; every value may be Null (std::monostate).
struct ReceiptRecord
{
    protocol::Value number, date, amount, confirmation, issuingOfficer, enteringOfficer;
};

/// A receipt with ordinary values: \a amount is wire text ("12.5"); empty texts are Null.
ReceiptRecord receipt(const QString& number, const QDate& date, const QString& amount,
                      const QString& confirmation = {}, qint64 issuingOfficer = 1234,
                      qint64 enteringOfficer = 5678);
/// Money from wire text ("-12.3456"); fails loudly when the text is not money.
protocol::Money money(const QString& text);
protocol::DataSet receiptSet(const QList<ReceiptRecord>& records);
/// A "CONFIRMATION" data set with one record holding \a comment.
protocol::DataSet confirmationSet(const protocol::Value& comment);
/// A "REQ" data set with one record whose field "F" is \a number.
protocol::DataSet reqSet(const protocol::Value& number);

/// \brief A Confirm Payment document inside a host window (a QWidget with a "Tag" and a title,
/// as the shell's windows are), with every service faked by env, which is installed before the
/// document is created. The document is not shown until show() is called.
class DocumentFixture
{
public:
    static constexpr const char* DefaultTag = "WIN-7";

    explicit DocumentFixture(const QString& tag = QString::fromLatin1(DefaultTag),
                             const QString& title = QStringLiteral("Confirm Payment"));
    ~DocumentFixture() { delete document; }
    DocumentFixture(const DocumentFixture&) = delete;
    DocumentFixture& operator=(const DocumentFixture&) = delete;

    void show();
    FakeTransport& transport() { return env.transport(); }

    /// Clicks \a widget near its left edge, where a stretched check box or option reacts.
    static void clickLeftEdge(QWidget* widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
    }
    void clickCommand(int index);
    /// Picks the document type \a code in the combo as the officer would (raising its Change).
    void selectCode(const QString& code);
    /// Selects \a code, puts \a number (which must pass the field's check) in the number field
    /// and clicks "Search".
    void search(const QString& code, const QString& number);
    void replyToLast(const QMap<QString, protocol::DataSet>& dataSets,
                     const QList<protocol::ReplyError>& errors = {});
    /// Searches daily batch 0012345 among confirmed or unconfirmed receipts and answers with
    /// \a receipts (and, when given, a comment), leaving a filled grid.
    void loadBatch(const QList<ReceiptRecord>& receipts, const protocol::Value& comment = {},
                   bool confirmed = false);

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
    void check(const char* name, std::initializer_list<QString> arguments);
    StatusService& m_inner;
    bool m_failed = false;
};

/// Text of grid row \a row (0-based) in column \a column; moves the grid's current row there.
QString gridCell(SSOleDBGrid& grid, int row, const QString& column);

} // namespace tavro::test
