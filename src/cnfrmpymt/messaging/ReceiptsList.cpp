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

#include <array>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <QDate>
#include <vector>

namespace tavro {

namespace {
/// Appends "1234:Jane Roe" for an officer identifier, nothing for Null. A whole number, as
/// identifiers arrive, is written here without strings of its own; it is its own CLng when
/// it is in range.
void appendOfficerCell(QString& row, const QVariant& id)
{
    if (id.isNull())
        return;
    const bool whole = id.typeId() == QMetaType::LongLong || id.typeId() == QMetaType::Int;
    if (!whole) {
        row += vb::CStr(id) + u':' + FieldUtility::instance().GetOfficerName(vb::CLng(id), 0);
        return;
    }
    const qint64 value = id.toLongLong();
    const bool inRange =
        value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    const QString name =
        FieldUtility::instance().GetOfficerName(inRange ? static_cast<qint32>(value) : vb::CLng(id), 0);
    // Written backwards from the colon: the digits, then the sign.
    char16_t text[24];
    char16_t* start = text + std::size(text);
    *--start = u':';
    quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    do {
        *--start = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        *--start = u'-';
    row.append(reinterpret_cast<const QChar*>(start), text + std::size(text) - start);
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
        } else if (m_recordset.lock() != recordset || m_fieldCount != recordset->fieldCount()) {
            for (std::size_t i = 0; i < kReceiptFields.size(); ++i)
                m_positions[i] = recordset->fieldIndex(QString::fromLatin1(kReceiptFields[i]));
            m_recordset = recordset;
            m_fieldCount = recordset->fieldCount();
        }
        return m_positions;
    }

private:
    std::weak_ptr<Recordset> m_recordset;
    int m_fieldCount = -1;
    std::array<int, 6> m_positions{};
};

/// What LoadReceipts wrote in each row's amount and date cells, with what those texts read
/// as, for the CalculateGridTotals that follows over the same rows: each receipt's amount and
/// date are read once instead of being written and then read back from the text. A reading is
/// used only while the cell still holds exactly the text it belongs to, as a text always reads
/// the same.
class WrittenReadings
{
public:
    struct Row
    {
        QString amountText;
        std::optional<Currency> amount;
        QString dateText;
        QDate date; ///< invalid: not remembered
    };

    /// Remembers the last row of \a grid; a cell that does not hold \a amountText (or
    /// \a dateText) exactly is not remembered.
    void remember(SSOleDBGrid& grid, const QString& amountText, std::optional<Currency> amount,
                  const QString& dateText, QDate date)
    {
        if (m_grid != &grid || m_columnCount != grid.ColumnCount()) {
            forget();
            m_grid = &grid;
            m_columnCount = grid.ColumnCount();
            for (int c = 0; c < m_columnCount; ++c) {
                const QString& name = grid.Columns(c).Name();
                if (m_amountColumn < 0 && name.compare(u"Total Receipt Amount", Qt::CaseInsensitive) == 0)
                    m_amountColumn = c;
                if (m_dateColumn < 0 && name.compare(u"Receipt Date", Qt::CaseInsensitive) == 0)
                    m_dateColumn = c;
            }
        }
        const int row = grid.Rows() - 1;
        if (row < 0)
            return;
        // The grid's own copy of each text is kept, so that remembering costs no strings.
        const auto heldText = [&](int column, const QString& text) -> std::optional<QString> {
            if (column < 0)
                return std::nullopt;
            const QVariant cell = grid.CellValue(row, column);
            if (cell.typeId() != QMetaType::QString || cell.toString() != text)
                return std::nullopt;
            return cell.toString();
        };
        Row entry;
        if (amount) {
            if (auto held = heldText(m_amountColumn, amountText)) {
                entry.amountText = std::move(*held);
                entry.amount = amount;
            }
        }
        if (date.isValid()) {
            if (auto held = heldText(m_dateColumn, dateText)) {
                entry.dateText = std::move(*held);
                entry.date = date;
            }
        }
        if (static_cast<std::size_t>(row) >= m_rows.size())
            m_rows.resize(static_cast<std::size_t>(row) + 1);
        m_rows[static_cast<std::size_t>(row)] = std::move(entry);
    }

    /// What was remembered of \a row of \a grid; nullptr when nothing.
    const Row* find(const SSOleDBGrid& grid, int row) const
    {
        if (m_grid != &grid || row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
            return nullptr;
        return &m_rows[static_cast<std::size_t>(row)];
    }

    void forget()
    {
        std::vector<Row>().swap(m_rows);
        m_grid = nullptr;
        m_columnCount = 0;
        m_amountColumn = m_dateColumn = -1;
    }

private:
    const SSOleDBGrid* m_grid = nullptr;
    int m_columnCount = 0;
    int m_amountColumn = -1;
    int m_dateColumn = -1;
    std::vector<Row> m_rows;
};

WrittenReadings& writtenReadings()
{
    thread_local WrittenReadings readings;
    return readings;
}
} // namespace

void TAVRO_CnfrmPymt::LoadReceipts(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadReceipts"), [&] {
        thread_local ReceiptFieldPositions positions;
        const std::array<int, 6>& position = positions.of(lRsRecordset.Recordset());
        FieldsCollection fields = lRsRecordset.Fields();
        const auto field = [&](std::size_t which) {
            const int at = position[which];
            // A field the set does not have raises as a lookup by name does.
            return at >= 0 ? fields.Item(at).Value()
                           : fields.Item(QString::fromLatin1(kReceiptFields[which])).Value();
        };
        const QChar tab = u'\t';
        QString row;
        row.reserve(96);

        if (const QVariant number = field(0); !number.isNull())
            row += vb::CStr(number);
        row += tab;
        // The amount and the date are also remembered as they read (see WrittenReadings): a
        // date of four-digit year written as text reads back as itself, an amount written in the
        // locale's currency reads back as the amount shown.
        QString dateText;
        QDate date;
        if (const QVariant value = field(1); !value.isNull()) {
            dateText = vb::CStr(value);
            if (value.typeId() == QMetaType::QDate) {
                const QDate day = value.toDate();
                if (const int year = day.year(); year >= 1000 && year <= 9999)
                    date = day;
            }
            row += dateText;
        }
        row += tab;
        QString amountText;
        std::optional<Currency> amount;
        if (const QVariant value = field(2); !value.isNull()) {
            const Currency exact = vb::CCur(value);
            amountText = formatCurrency(exact);
            amount = shownCurrency(exact);
            row += amountText;
        }
        row += tab;
        const QVariant confirmation = field(3);
        const QString confirmationText = confirmation.isNull() ? QString() : vb::CStr(confirmation);
        row += confirmationText;
        row += tab;
        if (!vb::Trim(confirmationText).isEmpty())
            mblnReceiptsConfirmed = true;
        appendOfficerCell(row, field(4));
        row += tab;
        appendOfficerCell(row, field(5));
        row += tab;

        if (mSdgCnfrmPymt->FieldSeparator() != tab) // no new string for every row
            mSdgCnfrmPymt->setFieldSeparator(QString(tab));
        mSdgCnfrmPymt->AddItem(row);
        writtenReadings().remember(*mSdgCnfrmPymt, amountText, amount, dateText, date);
    });
}

void TAVRO_CnfrmPymt::CalculateGridTotals()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.CalculateGridTotals"), [&] {
        Currency total;
        QDate latest = vb::dateValueZero();
        SSOleDBGrid& grid = *mSdgCnfrmPymt;
        const int rows = grid.Rows();
        if (rows >= 1) {
            grid.MoveFirst();
            SSColumn& amountColumn = grid.Columns("Total Receipt Amount");
            SSColumn& dateColumn = grid.Columns("Receipt Date");
            const WrittenReadings& readings = writtenReadings();
            for (;;) {
                const int index = grid.AddItemRowIndex(grid.Bookmark());
                if (index > rows - 1)
                    break;
                const WrittenReadings::Row* written = readings.find(grid, index);
                const QString amount = vb::CStr(amountColumn.Value());
                const std::optional<Currency> value =
                    written && written->amount && amount == written->amountText ? written->amount
                                                                                : parseCurrency(amount);
                if (value)
                    total += *value;
                const QVariant date = dateColumn.Value();
                if (written && written->date.isValid() && date.typeId() == QMetaType::QString &&
                    date.toString() == written->dateText) {
                    if (written->date > latest)
                        latest = written->date;
                } else if (vb::IsDate(date)) {
                    const QDate receiptDate = vb::CDate(date);
                    if (receiptDate > latest)
                        latest = receiptDate;
                }
                if (index == rows - 1)
                    break;
                grid.MoveNext();
            }
        }
        grid.MoveFirst();
        writtenReadings().forget();

        mLblCnfrmPymt[2]->setCaption(formatCurrency(total));
        const QDate today = QDate::currentDate();
        dtpConfimDate->setMaxDate(today);
        dtpConfimDate->setValue(today);
        dtpConfimDate->setMinDate(latest);
        dtpConfimDate->setEnabled(mOptCnfrmPymt[1]->Value() && rows >= 1);
    });
}

} // namespace tavro
