#include "ModalAnswer.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>

namespace halvio::test {

void whenModalShown(std::function<void(QWidget* modal)> action, int timeoutMs) {
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, started, timeoutMs, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal && modal->isVisible() && modal->isActiveWindow();
        if (!ready && started->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (ready)
            action(modal);
    });
    poll->start();
}

void answerModalWithKey(Qt::Key key, Qt::KeyboardModifiers modifiers, int timeoutMs) {
    whenModalShown(
        [key, modifiers](QWidget* modal) {
            QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
            QTest::keyClick(target, key, modifiers);
            expectClosed(modal);
        },
        timeoutMs);
}

void expectClosed(QWidget* modal, int timeoutMs) {
    const QPointer<QWidget> watched(modal);
    if (QTest::qWaitFor([&] { return !watched || !watched->isVisible(); }, timeoutMs))
        return;
    ADD_FAILURE() << "the modal dialog " << watched->objectName().toStdString() << " is still shown";
    if (auto* dialog = qobject_cast<QDialog*>(watched.data()))
        dialog->reject();
    else
        watched->close();
}

} // namespace halvio::test
