#include "controls/SSCommand.h"

namespace tavro {

SSCommand::SSCommand(QWidget* parent) : SSCommand(QString(), parent) {}

SSCommand::SSCommand(const QString& caption, QWidget* parent) : ClassicControl<QPushButton>(caption, parent)
{
    // QAbstractButton::clicked is raised by the officer's press (and click()), never by
    // property changes, which is exactly when the classic Click runs.
    connect(this, &QAbstractButton::clicked, this, &SSCommand::Click);
}

} // namespace tavro
