#pragma once

// Data and a hosted document for the detail tests: reply sets as the wire delivers them, and a
// Confirm Payment document with one receipt row whose detail requests go to the FakeTransport.

#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/TextBox.h"
#include "protocol/Messages.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"
#include "support/TestEnvironment.h"

#include <functional>
#include <memory>
#include <QAbstractItemModel>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace tavro::test {

using protocol::Value;
inline const Value Null = std::monostate{};

inline Value money(const char* text)
{
    return protocol::moneyFromText(QString::fromLatin1(text)).value();
}
inline Value text(const char* value)
{
    return QString::fromUtf8(value);
}

inline protocol::DataSet wireSet(const QList<std::pair<const char*, protocol::FieldType>>& fields,
                                 const QList<QList<Value>>& records)
{
    protocol::DataSet set;
    for (const auto& [name, type] : fields)
        set.fields.append({QString::fromLatin1(name), type});
    set.records = records;
    return set;
}

/// "FUND" records: type, reference, amount, expiry month, day, year, receipt number.
inline protocol::DataSet fundSet(const QList<QList<Value>>& records)
{
    using T = protocol::FieldType;
    QList<QList<Value>> full;
    for (const QList<Value>& r : records)
        full.append({r.value(0, Null), r.value(1, Null), r.value(2, Null), text("desc"), r.value(3, Null),
                     r.value(4, Null), r.value(5, Null), r.value(6, Null)});
    return wireSet({{"FUND_TYP_CD", T::Text},
                    {"FUND_RFRNC_NBR", T::Text},
                    {"FUND_AMT", T::Currency},
                    {"FUND_DESC", T::Text},
                    {"EXPRTN_MO_DT", T::Text},
                    {"EXPRTN_DY_DT", T::Text},
                    {"EXPRTN_YR_DT", T::Text},
                    {"FRCPT_NBR", T::Text}},
                   full);
}

/// "ACNTSRCVBL" records, in the order of the fields below.
inline protocol::DataSet receivableSet(const QList<QList<Value>>& records)
{
    using T = protocol::FieldType;
    return wireSet({{"CUST_NAME", T::Text},
                    {"ACCT_RCVBL_NBR", T::Long},
                    {"ACCT_RCVBL_CK_NBR", T::Text},
                    {"ACCT_RCVBL_TYP_CD", T::Text},
                    {"PYMT_APLD", T::Currency},
                    {"ASSMT_AMT", T::Currency},
                    {"LTE_FEE_AMT", T::Currency},
                    {"ACRD_INTRST_AMT", T::Currency},
                    {"ACCT_RCVBL_BAL_AMT", T::Currency}},
                   records);
}

/// A data set positioned on its first record.
inline DataSetPtr readable(const QString& name, const protocol::DataSet& wire)
{
    DataSetPtr set = DataSet::fromWire(name, wire);
    set->Prepare();
    set->MoveFirst();
    return set;
}

/// A Confirm Payment document in a host window, connected to the message service, showing
/// the daily receipt "0012345" with one receipt, 1001.
struct HostedScreen
{
    explicit HostedScreen(TestEnvironment& env)
    {
        host.setProperty("Tag", QStringLiteral("W1"));
        host.setWindowTitle(QStringLiteral("Confirm Payment"));
        protocol::Reference reference;
        reference.codeTables[QStringLiteral("CNFRMDOC")][QStringLiteral("D")] =
            QStringLiteral("Daily Receipt");
        env.reference.setReference(reference);
        document = new TAVRO_CnfrmPymt(&host);
        document->UserDocument_Show();
        document->mFtcboCnfrmPymt[0]->reload();
        document->mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("D"));
        document->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
        document->mSdgCnfrmPymt->AddItem(QStringLiteral(" 1001 \t 01/26/2005 \t") + receiptTotal +
                                         QStringLiteral("\t\t1234:Jane Roe\t5678:John Poe"));
        document->mSdgCnfrmPymt->MoveFirst();
    }

    QWidget host;
    TAVRO_CnfrmPymt* document = nullptr;
    /// The receipt's total as the receipts grid shows it.
    const QString receiptTotal = formatCurrency(Currency::fromUnits(12345000));
};

/// Presses a detail button (2 receipt, 3 funds) and answers its request with \a sets. While
/// the modal form that the answer opens is showing, \a whileShown runs and then "OK" is
/// clicked. Returns whether a modal form was showing.
template <class Form>
bool answerDetailRequest(TestEnvironment& env, HostedScreen& screen, int button,
                         const QMap<QString, protocol::DataSet>& sets,
                         const std::function<void(Form&)>& whileShown)
{
    screen.document->mCmdCnfrmPymt_Click(button);
    const QString key = env.transport().lastRequest().key;
    bool shown = false;
    QObject answering; // a form that never shows must not be answered by a later test
    QTimer::singleShot(0, &answering, [&] {
        Form* form = Form::Loaded();
        if (!form || !form->isVisible() || !form->isModal())
            return;
        shown = true;
        if (whileShown)
            whileShown(*form);
        QTest::mouseClick(form->template findChild<SSCommand*>(), Qt::LeftButton);
    });
    env.transport().deliverReply(key, sets);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return shown;
}

/// Ticks or unticks \a row of \a grid as the officer does: a click on the row's first cell,
/// then one on its check cell. (A click straight onto the box of a narrow check column does not
/// move the grid's current row; the row is picked first so the test sees the form's part.)
inline void clickTick(SSOleDBGrid& grid, int row)
{
    QTableView* view = grid.view();
    const QModelIndex first = view->model()->index(row, 0);
    const QModelIndex index =
        view->model()->index(row, grid.Columns(QStringLiteral("Check Column")).Position());
    view->scrollTo(first);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

} // namespace tavro::test

Q_DECLARE_METATYPE(tavro::protocol::Value)
