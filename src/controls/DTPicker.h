#pragma once

#include "controls/ControlState.h"

#include <QDateEdit>

namespace tavro {

/// \brief A date picker with a drop-down calendar, a custom display format and a range.
///
/// The value always stays inside [MinDate, MaxDate], as a real date picker keeps it:
/// - setMinDate() above the value moves the value up to it; setMaxDate() below the value moves
///   it down. Either one that would leave MinDate after MaxDate raises ClassicError 380 and
///   changes nothing.
/// - setValue() outside the range raises ClassicError 380 and keeps the old value; an invalid
///   QDate raises 380 too.
/// The range starts as 1601-01-01 to 9999-12-31 (date value 0, 1899-12-30, lies inside) and the
/// value as today. None of these raise Change(), which is raised only when the officer changes
/// the date (typing or the calendar).
class DTPicker : public ClassicControl<QDateEdit>
{
    Q_OBJECT
public:
    /// The earliest date the picker accepts, as the classic picker.
    static QDate earliestDate() { return QDate(1601, 1, 1); }
    static QDate latestDate() { return QDate(9999, 12, 31); }

    explicit DTPicker(QWidget* parent = nullptr);

    /// The classic format text as given ("MM/dd/yyyy").
    QString CustomFormat() const { return m_customFormat; }
    /// Takes a classic date format (d, dd, ddd, dddd, M, MM, MMM, MMMM, y, yy, yyyy, h, hh, H,
    /// HH, m, mm, s, ss, t, tt and quoted literals) and shows the date with it.
    void setCustomFormat(const QString& format);
    /// The Qt display format for a classic format text.
    static QString qtFormat(const QString& classicFormat);

    QDate MinDate() const { return minimumDate(); }
    void setMinDate(const QDate& date);
    QDate MaxDate() const { return maximumDate(); }
    void setMaxDate(const QDate& date);

    QDate Value() const { return date(); }
    void setValue(const QDate& date);

signals:
    void Change();

private:
    QString m_customFormat;
    int m_assigning = 0;
};

} // namespace tavro
