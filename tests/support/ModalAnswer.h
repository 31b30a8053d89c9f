#pragma once
// Answers the next modal dialog from inside its own event loop: the test arranges the answer, then
// makes the call that shows the dialog.

#include <QObject>

#include <functional>

class QWidget;

namespace halvio::test {

// Runs action on the next modal widget once it is shown and active. Gives up silently after
// timeoutMs without a modal widget (the call under test then simply returns).
void whenModalShown(std::function<void(QWidget* modal)> action, int timeoutMs = 10000);

// Types key, as a user would, into the focused widget of the next modal dialog, then expects the
// dialog to close (see expectClosed).
void answerModalWithKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int timeoutMs = 10000);

// Waits up to timeoutMs for modal to close. A dialog still up then is a test failure, and it is
// closed here so that the call under test returns rather than hangs the whole run.
void expectClosed(QWidget* modal, int timeoutMs = 2000);

} // namespace halvio::test
