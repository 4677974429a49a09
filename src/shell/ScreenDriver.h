#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;

namespace tavro {

/// \brief Searches a batch in a document the way an officer would (types the number, presses
/// "Search") and tells when its rows are listed; used to make pictures of a loaded screen.
///
/// It knows the document's controls only by their object names.
class ScreenDriver final : public QObject
{
    Q_OBJECT
public:
    explicit ScreenDriver(QWidget* document, QObject* parent = nullptr);

    /// Types \a number into the number field and presses Search; false when a control is missing.
    bool search(const QString& number);
    /// Rows listed in the receipts grid.
    int rowCount() const;
    /// Waits (handling events) until the grid lists rows or \a timeoutMs passes; the row count.
    int waitForRows(int timeoutMs);
    /// Selects grid row \a row as a click on it would; false when there is no such row.
    bool selectRow(int row);
    /// Presses the command \a buttonName, waits for the modal form it opens, saves a picture of
    /// it to \a file and closes it; false when no form came within \a timeoutMs.
    bool captureForm(const QString& buttonName, const QString& file, int timeoutMs);

private:
    QPointer<QWidget> m_document;
};

} // namespace tavro
