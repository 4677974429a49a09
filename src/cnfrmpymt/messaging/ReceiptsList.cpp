// The receipts grid: one row per receipt of a search reply, the total and the date range.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "runtime/AppendInPlace.h"
#include "runtime/Classic.h"
#include "runtime/CurrencyFormat.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <QDate>

namespace tavro {

namespace {
/// Appends "1234:Jane Roe" for an officer identifier, nothing for Null. A whole number, as
/// identifiers arrive, is written here without strings of its own; it is its own CLng when
/// it is in range.
void appendOfficerCell(QString& row, const QVariant& id, FieldUtility& officers)
{
    if (id.isNull())
        return;
    qint64 value = 0;
    switch (id.typeId()) {
    case QMetaType::LongLong:
        value = *static_cast<const qint64*>(id.constData());
        break;
    case QMetaType::Int:
        value = *static_cast<const int*>(id.constData());
        break;
    default:
        row += vb::CStr(id) + u':' + officers.GetOfficerName(vb::CLng(id), 0);
        return;
    }
    const bool inRange =
        value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    const QString name = officers.GetOfficerName(inRange ? static_cast<qint32>(value) : vb::CLng(id), 0);
    // Written in place, the digits last first, then the colon.
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    int digits = 1;
    for (quint64 rest = magnitude / 10; rest > 0; rest /= 10)
        ++digits;
    appendInPlace(row, digits + 2, [&](char16_t* out) {
        if (value < 0)
            *out++ = u'-';
        char16_t* const colon = out + digits;
        char16_t* at = colon;
        for (quint64 rest = magnitude; at > out; rest /= 10)
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
        const std::array<int, 6>& position = positions.of(recordset);
        // The values are read in place: nothing changes the record set while its row is written.
        const QList<QVariant>* values = recordset ? &recordset->currentValues() : nullptr;
        const auto field = [&](std::size_t which) -> const QVariant& {
            const int at = position[which];
            // A field the set does not have raises as a lookup by name does.
            return at >= 0
                       ? (*values)[at]
                       : lRsRecordset.Fields().Item(QString::fromLatin1(kReceiptFields[which])).valueRef();
        };
        const QChar tab = u'\t';
        const QLocale locale = QLocale::system(); // asked once per row, not once per conversion
        FieldUtility& officers = FieldUtility::instance();
        // One buffer for every row of a list: AddItem copies the cells out of it.
        thread_local QString rowBuffer;
        QString& row = rowBuffer;
        row.truncate(0);

        if (const QVariant& number = field(0); !number.isNull())
            vb::appendCStr(row, number, locale);
        row += tab;
        if (const QVariant& value = field(1); !value.isNull())
            vb::appendCStr(row, value, locale);
        row += tab;
        if (const QVariant& value = field(2); !value.isNull())
            appendCurrency(row, vb::CCur(value, locale), locale);
        row += tab;
        if (const QVariant& confirmation = field(3); !confirmation.isNull()) {
            const qsizetype start = row.size();
            vb::appendCStr(row, confirmation, locale);
            // Trimmed, as Trim does, it is not empty: blanks alone do not make a confirmed receipt.
            const QStringView text = QStringView(row).sliced(start);
            if (std::any_of(text.begin(), text.end(), [](QChar c) { return c != u' '; }))
                mblnReceiptsConfirmed = true;
        }
        row += tab;
        appendOfficerCell(row, field(4), officers);
        row += tab;
        appendOfficerCell(row, field(5), officers);
        row += tab;

        if (mSdgCnfrmPymt->FieldSeparator() != tab) // no new string for every row
            mSdgCnfrmPymt->setFieldSeparator(QString(tab));
        mSdgCnfrmPymt->AddItem(row);
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
