#include "shell/StatusArea.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tavro {

namespace {
const char* const PlainStyle = "QLabel { padding: 1px 4px; }";
const char* const WarningStyle =
    "QLabel { padding: 1px 4px; color: #7a1f00; background: #ffe19a; font-weight: bold; }";
const char* const ReadyLight =
    "QLabel { background: #2fa84f; border: 1px solid #1d6b32; border-radius: 6px; }";
const char* const BusyLight =
    "QLabel { background: #d9a400; border: 1px solid #8a6800; border-radius: 6px; }";
const char* const AlertBadge =
    "QLabel { padding: 1px 6px; color: white; background: #b3261e; font-weight: bold; border-radius: 3px; }";
const char* const SourceBadge = "QLabel { padding: 1px 6px; color: #1b3a5c; }";
} // namespace

StatusArea::StatusArea(QWidget* parent)
    : QWidget(parent), m_text(new QLabel(this)), m_light(new QLabel(this)), m_source(new QLabel(this))
{
    m_text->setObjectName(QStringLiteral("statusText"));
    m_light->setObjectName(QStringLiteral("readyLight"));
    m_source->setObjectName(QStringLiteral("sourceBadge"));
    m_text->setStyleSheet(QLatin1String(PlainStyle));
    m_text->setTextFormat(Qt::PlainText);
    m_light->setFixedSize(12, 12);
    m_source->setVisible(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_source);
    layout->addWidget(m_light);
    setReady(true);
}

void StatusArea::showText(const QString& text, bool warning)
{
    m_warning = warning;
    m_text->setText(text);
    m_text->setStyleSheet(QLatin1String(warning ? WarningStyle : PlainStyle));
}

void StatusArea::setReady(bool ready)
{
    m_ready = ready;
    m_light->setStyleSheet(QLatin1String(ready ? ReadyLight : BusyLight));
    m_light->setToolTip(ready ? tr("Ready") : tr("Waiting for the server"));
}

void StatusArea::setSource(const QString& text, bool alert)
{
    m_source->setText(text);
    m_source->setStyleSheet(QLatin1String(alert ? AlertBadge : SourceBadge));
    m_source->setVisible(!text.isEmpty());
}

QString StatusArea::text() const
{
    return m_text->text();
}

QString StatusArea::sourceText() const
{
    return m_source->text();
}

} // namespace tavro
