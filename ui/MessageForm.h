#pragma once
// messageform: the system's own modal notice. A mode number chooses its title, colour, beep, buttons,
// focus and time-out; the dialog hands back the code of the button that ended it.

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string_view>

class QFrame;
class QPushButton;
class QTextEdit;
class QTimer;

namespace halvio {

class Tmessageform : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 30000;

    // Parentless by design: one dialog for the whole run, found again through FormExists.
    explicit Tmessageform(QWidget* parent = nullptr);

    // The mode/result field: the opener writes the mode number, the show steps read it and leave 0,
    // the buttons and the time-out write their result code.
    std::int32_t modeResult() const { return m_modeResult; }
    void setModeResult(std::int32_t value) { m_modeResult = value; }

    // Memo1's content, Windows-1252; line breaks may be CR LF, CR or LF.
    void setMemoText(std::string_view cp1252);
    QColor memoColour() const;

    // The system beep of the modes with 8 and 9; tests count it instead.
    std::function<void()> beep;

    // Events of the dialog, named as the rest of the system knows them.
    void FormShow();
    void ouiClick();
    void nonClick();
    void okClick();
    void abandonClick();
    void Timer1Timer();
    void FormClose();

    QFrame* Panel2;
    QFrame* Panel3;
    QTextEdit* Memo1;
    QPushButton* oui;
    QPushButton* non;
    QPushButton* ok;
    QPushButton* abandon;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setMemoColour(const QColor& colour);
    void end(std::int32_t resultCode);

    std::int32_t m_modeResult = 0;
};

// The dialog named "messageform", or nullptr.
Tmessageform* findMessageForm();

// Shows the text (Windows-1252) in the message dialog, modally, and returns its result code; creates
// the dialog when none exists. While the dialog is up, returns 0 at once and changes nothing.
int ShowMessageForm(std::string_view textCp1252, int mode);

// True when a top-level widget, shown or hidden, has this object name (Windows-1252), compared
// with ASCII letters upper-cased.
bool FormExists(std::string_view name);

} // namespace halvio
