#include "DocumentFixture.h"

#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "protocol/DataSetLayouts.h"
#include "runtime/ClassicError.h"

#include <QTest>
#include <utility>

namespace tavro::test {

namespace {
protocol::Value orNull(const QString& text)
{
    return text.isEmpty() ? protocol::Value{} : protocol::Value{text};
}
} // namespace

ReceiptRecord receipt(const QString& number, const QDate& date, const QString& amount,
                      const QString& confirmation, qint64 issuingOfficer, qint64 enteringOfficer)
{
    return {orNull(number),
            date.isValid() ? protocol::Value{date} : protocol::Value{},
            amount.isEmpty() ? protocol::Value{} : protocol::Value{money(amount)},
            orNull(confirmation),
            issuingOfficer,
            enteringOfficer};
}

protocol::Money money(const QString& text)
{
    const std::optional<protocol::Money> value = protocol::moneyFromText(text);
    if (!value)
        qFatal("DocumentFixture: \"%s\" is not an amount", qPrintable(text));
    return *value;
}

protocol::DataSet receiptSet(const QList<ReceiptRecord>& records)
{
    protocol::DataSet set{protocol::receiptFields(), {}};
    for (const ReceiptRecord& r : records) // the batch number is not read from a search reply
        set.records.append(
            {r.number, r.date, r.amount, r.confirmation, r.issuingOfficer, r.enteringOfficer, {}});
    return set;
}

protocol::DataSet confirmationSet(const protocol::Value& comment)
{
    return {{{QStringLiteral("DLY_RCPT_CMMT_TXT"), protocol::FieldType::Text}}, {{comment}}};
}

protocol::DataSet reqSet(const protocol::Value& number)
{
    return {{{QStringLiteral("F"), protocol::FieldType::Long}}, {{number}}};
}

DocumentFixture::DocumentFixture(const QString& tag, const QString& title)
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

void DocumentFixture::show()
{
    host.show();
    if (!QTest::qWaitForWindowExposed(&host))
        qWarning("DocumentFixture: the host window was not exposed");
}

void DocumentFixture::clickCommand(int index)
{
    auto* button = document->findChild<QWidget*>(QStringLiteral("mCmdCnfrmPymt_%1").arg(index));
    QTest::mouseClick(button, Qt::LeftButton);
}

void DocumentFixture::selectCode(const QString& code)
{
    CodesCombo* combo = document->mFtcboCnfrmPymt[0];
    for (int item = 0; item < combo->count(); ++item) {
        if (combo->itemData(item, Qt::UserRole).toString() == code) {
            combo->setCurrentIndex(item);
            emit combo->activated(item);
            return;
        }
    }
    qWarning("DocumentFixture: no code \"%s\" in the list", qPrintable(code));
}

void DocumentFixture::search(const QString& code, const QString& number)
{
    selectCode(code);
    document->mTxtCnfrmPymt->setText(number);
    clickCommand(0);
}

void DocumentFixture::replyToLast(const QMap<QString, protocol::DataSet>& dataSets,
                                  const QList<protocol::ReplyError>& errors)
{
    transport().deliverReply(transport().lastRequest().key, dataSets, errors);
}

void DocumentFixture::loadBatch(const QList<ReceiptRecord>& receipts, const protocol::Value& comment,
                                bool confirmed)
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

void FailingStatusService::check(const char* name, std::initializer_list<QString> arguments)
{
    if (!failOn.isEmpty() && CallLog::call(name, arguments).startsWith(failOn) &&
        !std::exchange(m_failed, true))
        raiseError(440, errorText);
}

QString gridCell(SSOleDBGrid& grid, int row, const QString& column)
{
    grid.setBookmark(grid.RowBookmark(row));
    return grid.Columns(column).Text();
}

} // namespace tavro::test
