#include "controls/SSColumn.h"

#include "controls/SSOleDBGrid.h"

namespace tavro {

SSColumn::SSColumn(SSOleDBGrid* grid, int position, QString name, QString caption)
    : m_grid(grid), m_position(position), m_name(std::move(name)), m_caption(std::move(caption))
{
}

void SSColumn::changed(bool layout)
{
    m_grid->columnChanged(m_position, layout);
}

void SSColumn::setName(const QString& name)
{
    m_name = name;
    m_grid->rebuildNameIndex();
}

void SSColumn::setCaption(const QString& caption)
{
    m_caption = caption;
    changed(false);
}

void SSColumn::setDataField(const QString& field)
{
    m_dataField = field;
}

void SSColumn::setAlignment(ColumnAlignment alignment)
{
    m_alignment = alignment;
    changed(false);
}

void SSColumn::setWidth(int twipWidth)
{
    m_width = twipWidth;
    changed(true);
}

void SSColumn::setLocked(bool locked)
{
    m_locked = locked;
    changed(false);
}

void SSColumn::setVisible(bool visible)
{
    m_visible = visible;
    changed(true);
}

void SSColumn::setNumberFormat(const QString& format)
{
    m_numberFormat = format;
    changed(false);
}

void SSColumn::setStyle(ColumnStyle style)
{
    m_style = style;
    changed(false);
}

void SSColumn::setStyleSet(const QString& name)
{
    m_styleSet = name;
    changed(false);
}

void SSColumn::setHeadStyleSet(const QString& name)
{
    m_headStyleSet = name;
    changed(false);
}

const QVariant* SSColumn::storedValue() const
{
    if (m_grid->m_current < 0 || m_style == ColumnStyle::CheckBox)
        return nullptr;
    return &m_grid->cell(m_grid->m_current, m_position);
}

QVariant SSColumn::Value() const
{
    return m_grid->currentValue(m_position);
}

void SSColumn::setValue(const QVariant& value)
{
    m_grid->setCurrentValue(m_position, value);
}

QString SSColumn::Text() const
{
    return m_grid->currentText(m_position);
}

void SSColumn::setText(const QString& text)
{
    m_grid->setCurrentValue(m_position, text);
}

} // namespace tavro
