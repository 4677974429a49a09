#pragma once

#include <memory>
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

namespace tavro::test {

/// What a message box showed before the test answered it.
struct SeenBox
{
    QString text;
    QString title;
    bool answered = false;
};

/// Answers the next modal message box by clicking the button captioned \a button; gives up after
/// \a patienceMs (so a box that never comes cannot catch a later one). Check the result after
/// the box's exec() has returned.
inline std::shared_ptr<SeenBox> answerNextBox(const QString& button, int patienceMs = 10000)
{
    auto seen = std::make_shared<SeenBox>();
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && clock->elapsed() <= patienceMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (!box)
            return;
        *seen = {box->text(), box->windowTitle(), false};
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove(u'&') == button) {
                seen->answered = true;
                return b->click();
            }
        }
        box->reject();
    });
    timer->start(20);
    return seen;
}

} // namespace tavro::test
