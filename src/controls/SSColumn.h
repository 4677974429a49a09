#pragma once

#include <QString>
#include <QVariant>

namespace tavro {

class SSOleDBGrid;

enum class ColumnAlignment
{
    Left,
    Right,
    Center
};
enum class ColumnStyle
{
    Edit,
    CheckBox
};

/// \brief One column of an SSOleDBGrid: its properties, and the cell of the grid's current row.
///
/// Obtained from the grid (`grid->Columns("Receipt Number")`); the reference stays valid as
/// long as the grid lives. Width is in twips.
///
/// Cells hold values: the texts of AddItem rows, the field values of a bound record set, or
/// true/false in a check-box column. Value() is the stored value; Text() is what the cell
/// shows (with NumberFormat "CURRENCY" a number is shown in the system's currency format).
/// Reading the cell without a current row gives an empty value; writing one raises 3021.
class SSColumn
{
public:
    SSColumn(SSOleDBGrid* grid, int position, QString name, QString caption);
    SSColumn(const SSColumn&) = delete;
    SSColumn& operator=(const SSColumn&) = delete;

    int Position() const { return m_position; }

    const QString& Name() const { return m_name; }
    void setName(const QString& name);
    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    /// Field of the bound record set shown in this column; empty for an unbound column.
    const QString& DataField() const { return m_dataField; }
    void setDataField(const QString& field);

    ColumnAlignment Alignment() const { return m_alignment; }
    void setAlignment(ColumnAlignment alignment);
    int Width() const { return m_width; }
    void setWidth(int twipWidth);
    /// A locked column cannot be changed by the officer (check cells included).
    bool Locked() const { return m_locked; }
    void setLocked(bool locked);
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    const QString& NumberFormat() const { return m_numberFormat; }
    void setNumberFormat(const QString& format);
    ColumnStyle Style() const { return m_style; }
    void setStyle(ColumnStyle style);
    /// Name of the grid's style set used for the cells; empty uses the grid's font.
    const QString& StyleSet() const { return m_styleSet; }
    void setStyleSet(const QString& name);
    /// Name of the grid's style set used for the heading; empty uses the grid's font.
    const QString& HeadStyleSet() const { return m_headStyleSet; }
    void setHeadStyleSet(const QString& name);

    /// The current row's value (true/false in a check-box column).
    QVariant Value() const;
    /// Calls \a read with Value(), read in place where it is stored: for walks over thousands
    /// of rows, which would otherwise copy every cell.
    template <typename Read> decltype(auto) readValue(Read&& read) const
    {
        if (const QVariant* stored = storedValue())
            return read(*stored);
        return read(Value());
    }
    void setValue(const QVariant& value);
    /// The current row's cell as shown ("True"/"False" in a check-box column).
    QString Text() const;
    void setText(const QString& text);

private:
    friend class SSOleDBGrid;
    void changed(bool layout);
    /// The current row's stored cell when it is Value() as it stands; else null.
    const QVariant* storedValue() const;

    SSOleDBGrid* m_grid;
    int m_position;
    QString m_name;
    QString m_caption;
    QString m_dataField;
    QString m_numberFormat;
    QString m_styleSet;
    QString m_headStyleSet;
    ColumnAlignment m_alignment = ColumnAlignment::Left;
    ColumnStyle m_style = ColumnStyle::Edit;
    int m_width = 1440;
    bool m_locked = false;
    bool m_visible = true;
};

} // namespace tavro
