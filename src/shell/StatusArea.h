#pragma once

#include <QWidget>

class QLabel;

namespace tavro {

/// \brief The shell's status area: the status line (plain or warning), the ready light and
/// a badge that names the data source.
class StatusArea final : public QWidget
{
    Q_OBJECT
public:
    explicit StatusArea(QWidget* parent = nullptr);

    void showText(const QString& text, bool warning);
    void setReady(bool ready);
    /// Shows \a text in the source badge; \a alert paints it as a warning (demo data, offline).
    void setSource(const QString& text, bool alert);

    QString text() const;
    bool isWarning() const { return m_warning; }
    bool isReady() const { return m_ready; }
    QString sourceText() const;

private:
    QLabel* m_text;
    QLabel* m_light;
    QLabel* m_source;
    bool m_warning = false;
    bool m_ready = true;
};

} // namespace tavro
