#include "MessageForm.h"

#include "Pictures.h"
#include "ServiceHosts.h"
#include "UiText.h"

#include "Fonction.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

#include <string>

namespace halvio {

namespace {
constexpr int kClientWidth = 518;
constexpr int kClientHeight = 148;
constexpr int kButtonTop = 102;
constexpr int kButtonHeight = 40;

QString vendorTitle(const char* rest) {
    return QString::fromUtf8(hosts::kVendorShortName) + QString::fromUtf8(rest);
}

QFrame* raisedPanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QIcon& icon, int left,
                    int width) {
    auto* b = new QPushButton(icon, caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, kButtonTop, width, kButtonHeight);
    b->setFont(pixelFont(QStringLiteral("Arial"), 11, true));
    b->setIconSize(QSize(16, 16));
    // Enter is handled by the dialog itself: it presses whichever button has the focus, never a
    // remembered default one.
    b->setAutoDefault(false);
    b->setDefault(false);
    b->hide();
    return b;
}
} // namespace

Tmessageform::Tmessageform(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      beep([] { QApplication::beep(); }) {
    setObjectName(QStringLiteral("messageform"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));
    setWindowTitle(QString());

    Panel2 = raisedPanel(this, "Panel2");
    Panel2->setGeometry(0, 0, kClientWidth, kClientHeight);

    Panel3 = raisedPanel(Panel2, "Panel3");
    Panel3->setGeometry(1, 1, 516, 96);
    Panel3->setEnabled(false);

    Memo1 = new QTextEdit(Panel3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(1, 1, 514, 94);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setFont(pixelFont(QStringLiteral("Arial"), 16, true));
    Memo1->setFocusPolicy(Qt::NoFocus);
    // Panel3 is disabled only to keep the text out of reach; the text must not look greyed.
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(memoPalette);
    setMemoColour(memoPalette.color(QPalette::Active, QPalette::Base));

    oui = button(Panel2, "oui", QStringLiteral("&Oui"), pictures::greenTick(), 6, 95);
    non = button(Panel2, "non", QStringLiteral("&Non"), pictures::redNoEntry(), 109, 95);
    ok = button(Panel2, "ok", QStringLiteral("Enter-OK"), pictures::greenTick(), 291, 97);
    abandon = button(Panel2, "abandon", QStringLiteral("Esc-Annuler"), pictures::redCross(), 398, 110);
    abandon->show();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimeoutMs);

    connect(oui, &QPushButton::clicked, this, &Tmessageform::ouiClick);
    connect(non, &QPushButton::clicked, this, &Tmessageform::nonClick);
    connect(ok, &QPushButton::clicked, this, &Tmessageform::okClick);
    connect(abandon, &QPushButton::clicked, this, &Tmessageform::abandonClick);
    connect(Timer1, &QTimer::timeout, this, &Tmessageform::Timer1Timer);
    connect(this, &QDialog::finished, this, &Tmessageform::FormClose);
}

void Tmessageform::setMemoText(std::string_view cp1252) {
    QString text = qtextFromCp1252(cp1252);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->setPlainText(text);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
}

QColor Tmessageform::memoColour() const {
    return Memo1->palette().color(QPalette::Active, QPalette::Base);
}

void Tmessageform::setMemoColour(const QColor& colour) {
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, colour); // every colour group: the memo sits in a disabled panel
    Memo1->setPalette(palette);
}

void Tmessageform::FormShow() {
    const std::string mode = std::to_string(m_modeResult);
    const auto has = [&mode](char c) { return mode.find(c) != std::string::npos; };

    oui->setText(QStringLiteral("&Oui"));
    non->setText(QStringLiteral("&Non"));
    for (QPushButton* b : {ok, oui, non})
        b->hide();
    for (QPushButton* b : {ok, oui, non})
        b->setEnabled(false);

    if (has('7')) {
        setMemoColour(QColor(255, 255, 255));
        setWindowTitle(vendorTitle("  Information!"));
    }
    if (has('8')) {
        beep();
        setMemoColour(QColor(255, 255, 0));
        setWindowTitle(vendorTitle("  Attention!"));
    }
    if (has('9')) {
        beep();
        setMemoColour(QColor(255, 217, 217));
        setWindowTitle(vendorTitle("   Attention Attention!"));
    }

    const std::pair<char, QPushButton*> byDigit[] = {{'0', ok}, {'1', oui}, {'2', non}, {'3', abandon}};
    for (const auto& [digit, b] : byDigit)
        if (has(digit))
            b->show();
    for (const auto& [digit, b] : byDigit)
        if (has(digit))
            b->setEnabled(true);

    if (has('-'))
        Timer1->start();

    if (mode.size() >= 2)
        for (const auto& [digit, b] : byDigit)
            if (mode[1] == digit)
                b->setFocus(Qt::OtherFocusReason);

    m_modeResult = 0;
}

void Tmessageform::ouiClick() {
    end(1);
}

void Tmessageform::nonClick() {
    end(2);
}

void Tmessageform::okClick() {
    end(0);
}

void Tmessageform::abandonClick() {
    end(3);
}

void Tmessageform::Timer1Timer() {
    end(0);
}

void Tmessageform::FormClose() {
    Timer1->stop();
}

void Tmessageform::end(std::int32_t resultCode) {
    m_modeResult = resultCode;
    done(resultCode);
}

void Tmessageform::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* shown = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shown->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void Tmessageform::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plainOrAlt = mods == Qt::NoModifier || mods == Qt::AltModifier;
    QPushButton* pressed = nullptr;
    switch (event->key()) {
    case Qt::Key_Escape:
        pressed = abandon;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pressed = qobject_cast<QPushButton*>(focusWidget());
        break;
    case Qt::Key_O:
        pressed = plainOrAlt ? oui : nullptr;
        break;
    case Qt::Key_N:
        pressed = plainOrAlt ? non : nullptr;
        break;
    default:
        break;
    }
    if (pressed && pressed->isVisible() && pressed->isEnabled()) {
        pressed->click();
        return;
    }
    if (event->key() == Qt::Key_Escape)
        return; // never the plain reject of QDialog: Escape always means "abandon"
    QDialog::keyPressEvent(event);
}

Tmessageform* findMessageForm() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        if (auto* form = qobject_cast<Tmessageform*>(*it); form && form->objectName() == u"messageform")
            return form;
    return nullptr;
}

int ShowMessageForm(std::string_view textCp1252, int mode) {
    Tmessageform* form = FormExists("messageform") ? findMessageForm() : nullptr;
    if (!form)
        form = new Tmessageform(); // lives for the rest of the run
    if (form->isVisible())
        return 0;
    form->setModeResult(mode);
    std::string content = "\r\n";
    content += textCp1252;
    form->setMemoText(content);
    form->exec();
    return form->modeResult();
}

bool FormExists(std::string_view name) {
    const std::string wanted = upperAscii(name);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        if (upperAscii(cp1252FromQtext((*it)->objectName())) == wanted)
            return true;
    return false;
}

} // namespace halvio
