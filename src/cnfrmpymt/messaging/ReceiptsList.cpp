// The receipts grid: one row per receipt of a search reply, the total and the date range.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "runtime/Classic.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/TextBuffer.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <QDate>

namespace tavro {

namespace {
/// Appends a tab, then "1234:Jane Roe" for an officer identifier, nothing for Null. A whole
/// number in range, as identifiers arrive, is its own CLng and is written in place with the
/// tab before it.
void appendTabAndOfficerCell(TextBuffer& row, const QVariant& id, FieldUtility& officers)
{
    if (id.isNull()) {
        row += u'\t';
        return;
    }
    qint64 value = 0;
    bool whole = true;
    switch (id.typeId()) {
    case QMetaType::LongLong:
        value = *static_cast<const qint64*>(id.constData());
        break;
    case QMetaType::Int:
        value = *static_cast<const int*>(id.constData());
        break;
    default:
        whole = false;
        break;
    }
    if (!whole || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max()) {
        row += u'\t';
        row += vb::CStr(id) + u':' + officers.GetOfficerName(vb::CLng(id), 0); // CLng raises past the range
        return;
    }
    const QString name = officers.GetOfficerName(static_cast<qint32>(value), 0);
    const quint32 magnitude = value < 0 ? 0u - static_cast<quint32>(value) : static_cast<quint32>(value);
    int digits = 1;
    for (quint32 rest = magnitude / 10; rest > 0; rest /= 10)
        ++digits;
    // The digits are written last first, after the tab and the sign.
    row.appendInPlace(digits + 3, [&](char16_t* out) {
        *out++ = u'\t';
        if (value < 0)
            *out++ = u'-';
        char16_t* const colon = out + digits;
        char16_t* at = colon;
        for (quint32 rest = magnitude; at > out; rest /= 10)
            *--at = static_cast<char16_t>(u'0' + rest % 10);
        *colon = u':';
        return colon + 1;
    });
    row += name;
}

constexpr std::array<const char*, 6> kReceiptFields = {"RCPT_NBR",    "RCPT_DT",     "RCPT_AMT",
                                                       "CNFRMTN_NBR", "ISS_OFCR_ID", "ENTR_OFCR_ID"};

/// The positions of the receipt fields in a record set, found by name once per record set
/// rather than once per row; -1 for a field it does not have. A record set only ever gains
/// fields, so its field count tells whether the positions still hold.
class ReceiptFieldPositions
{
public:
    const std::array<int, 6>& of(const RecordsetPtr& recordset)
    {
        if (!recordset) {
            m_positions.fill(-1);
            m_recordset.reset();
        } else if (!sameRecordset(recordset) || m_fieldCount != recordset->fieldCount()) {
            for (std::size_t i = 0; i < kReceiptFields.size(); ++i)
                m_positions[i] = recordset->fieldIndex(QString::fromLatin1(kReceiptFields[i]));
            m_recordset = recordset;
            m_fieldCount = recordset->fieldCount();
        }
        return m_positions;
    }

private:
    // Compared by owner, without locking: the kept pointer holds the control block, so a new
    // record set can never come with the same one.
    bool sameRecordset(const RecordsetPtr& recordset) const
    {
        return !m_recordset.owner_before(recordset) && !recordset.owner_before(m_recordset);
    }

    std::weak_ptr<Recordset> m_recordset;
    int m_fieldCount = -1;
    std::array<int, 6> m_positions{};
};

} // namespace

void TAVRO_CnfrmPymt::LoadReceipts(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadReceipts"), [&] {
        thread_local ReceiptFieldPositions positions;
        const RecordsetPtr& recordset = lRsRecordset.Recordset();
        const std::array<int, 6> position = positions.of(recordset); // a copy: one thread-local lookup
        // The values are read in place, the record found once: nothing changes the record set
        // while its row is written.
        const QList<QVariant>* values = nullptr;
        const auto field = [&](std::size_t which) -> const QVariant& {
            const int at = position[which];
            if (at < 0) // a field the set does not have raises as a lookup by name does
                return lRsRecordset.Fields().Item(QString::fromLatin1(kReceiptFields[which])).valueRef();
            if (!values)
                values = &recordset->currentValues();
            return (*values)[at];
        };
        const QChar tab = u'\t';
        const QLocale locale = QLocale::system(); // asked once per row, not once per conversion
        FieldUtility& officers = FieldUtility::instance();
        TextBuffer& row = m_receiptRow;
        row.clear();

        vb::appendCellText(row, field(0), locale); // empty when Null
        row += tab;
        vb::appendCellText(row, field(1), locale);
        row += tab;
        if (const QVariant& value = field(2); !value.isNull())
            appendCurrency(row, vb::CCur(value, locale), locale);
        row += tab;
        const qsizetype confirmationStart = row.size();
        vb::appendCellText(row, field(3), locale);
        // Trimmed, as Trim does, it is not empty: blanks alone do not make a confirmed receipt.
        const QStringView confirmation = row.view().sliced(confirmationStart);
        if (std::any_of(confirmation.begin(), confirmation.end(), [](QChar c) { return c != u' '; }))
            mblnReceiptsConfirmed = true;
        appendTabAndOfficerCell(row, field(4), officers);
        appendTabAndOfficerCell(row, field(5), officers);
        row += tab;

        if (mSdgCnfrmPymt->FieldSeparator() != tab) // no new string for every row
            mSdgCnfrmPymt->setFieldSeparator(QString(tab));
        mSdgCnfrmPymt->AddItem(row.rawString()); // the grid copies the cells out
    });
}

void TAVRO_CnfrmPymt::CalculateGridTotals()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.CalculateGridTotals"), [&] {
        Currency total;
        QDate latest = vb::dateValueZero();
        const QLocale locale = QLocale::system(); // asked once, not three times per row
        SSOleDBGrid& grid = *mSdgCnfrmPymt;
        const int rows = grid.Rows();
        if (rows >= 1) {
            grid.MoveFirst();
            SSColumn& amountColumn = grid.Columns("Total Receipt Amount");
            SSColumn& dateColumn = grid.Columns("Receipt Date");
            for (;;) {
                const int index = grid.AddItemRowIndex(grid.Bookmark());
                if (index > rows - 1)
                    break;
                // The cells are read where they are stored, not copied.
                if (const std::optional<Currency> value =
                        amountColumn.readValue([&](const QVariant& v) { return readAsCurrency(v, locale); }))
                    total += *value;
                if (const std::optional<QDate> date =
                        dateColumn.readValue([&](const QVariant& v) { return vb::readAsDate(v, locale); });
                    date && *date > latest)
                    latest = *date;
                if (index == rows - 1)
                    break;
                grid.MoveNext();
            }
        }
        grid.MoveFirst();

        mLblCnfrmPymt[2]->setCaption(formatCurrency(total, locale));
        const QDate today = QDate::currentDate();
        dtpConfimDate->setMaxDate(today);
        dtpConfimDate->setValue(today);
        dtpConfimDate->setMinDate(latest);
        dtpConfimDate->setEnabled(mOptCnfrmPymt[1]->Value() && rows >= 1);
    });
}

} // namespace tavro
