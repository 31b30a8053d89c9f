#include "MessageForm.h"

#include "ModalAnswer.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

#include <QApplication>
#include <QFrame>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using halvio::findMessageForm;
using halvio::FormExists;
using halvio::fr;
using halvio::ShowMessageForm;
using halvio::Tmessageform;
using halvio::test::answerModalWithKey;
using halvio::test::expectClosed;
using halvio::test::whenModalShown;

QString title(const char* rest) {
    return QString::fromUtf8(halvio::hosts::kVendorShortName) + QString::fromUtf8(rest);
}

const QColor kWhite(255, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kLightRose(255, 217, 217);

// What the dialog looked like while it was up.
struct Seen {
    QString title;
    QColor colour;
    QStringList shown;
    QStringList enabled;
    QString focus;
    bool timing = false;
    QString memo;
    QPoint centre;
};

class MessageForm : public ::testing::Test {
protected:
    void SetUp() override {
        form = findMessageForm();
        if (!form)
            form = new Tmessageform(); // as at program start: created once, kept
        form->beep = [this] { ++beeps; };
        form->Timer1->setInterval(Tmessageform::kTimeoutMs);
    }

    // Shows the dialog, records what it shows, then types key into it.
    int showAndAnswer(std::string_view text, int mode, std::optional<Qt::Key> key,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        seen = Seen{};
        whenModalShown([this, key, modifiers](QWidget* modal) {
            seen.title = form->windowTitle();
            seen.colour = form->memoColour();
            for (QPushButton* b : {form->oui, form->non, form->ok, form->abandon}) {
                if (b->isVisible())
                    seen.shown << b->objectName();
                if (b->isEnabled())
                    seen.enabled << b->objectName();
            }
            seen.focus = modal->focusWidget() ? modal->focusWidget()->objectName() : QString();
            seen.timing = form->Timer1->isActive();
            seen.memo = form->Memo1->toPlainText();
            seen.centre = form->frameGeometry().center();
            if (key) {
                QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, *key, modifiers);
                expectClosed(modal);
            }
        });
        return ShowMessageForm(text, mode);
    }

    Tmessageform* form = nullptr;
    int beeps = 0;
    Seen seen;
};

TEST_F(MessageForm, IsBuiltAsATopmostToolWindowWithoutTitleButtons) {
    Tmessageform fresh;
    const Qt::WindowFlags flags = fresh.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    for (Qt::WindowType none :
         {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
          Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
        EXPECT_FALSE(flags & none) << none;
    EXPECT_EQ(fresh.minimumSize(), QSize(518, 148));
    EXPECT_EQ(fresh.maximumSize(), QSize(518, 148));
    EXPECT_EQ(fresh.font().family(), "Tahoma");
    EXPECT_EQ(fresh.font().pixelSize(), 11);
    EXPECT_EQ(fresh.objectName(), "messageform");
    EXPECT_TRUE(fresh.windowTitle().isEmpty());

    EXPECT_EQ(fresh.Panel2->geometry(), QRect(0, 0, 518, 148));
    EXPECT_EQ(fresh.Panel3->size(), QSize(516, 96));
    EXPECT_FALSE(fresh.Panel3->isEnabled());
    EXPECT_EQ(fresh.Memo1->size(), QSize(514, 94));
    EXPECT_TRUE(fresh.Memo1->isReadOnly());
    EXPECT_EQ(fresh.Memo1->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_EQ(fresh.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(fresh.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(fresh.Memo1->font().family(), "Arial");
    EXPECT_EQ(fresh.Memo1->font().pixelSize(), 16);
    EXPECT_TRUE(fresh.Memo1->font().bold());
    EXPECT_EQ(fresh.memoColour(), QApplication::palette().color(QPalette::Base));

    struct ButtonCase {
        QPushButton* button;
        QString caption;
        QRect place;
        bool shown;
    };
    const ButtonCase buttons[] = {
        {fresh.oui, "&Oui", {6, 102, 95, 40}, false},
        {fresh.non, "&Non", {109, 102, 95, 40}, false},
        {fresh.ok, "Enter-OK", {291, 102, 97, 40}, false},
        {fresh.abandon, "Esc-Annuler", {398, 102, 110, 40}, true},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(b.button->geometry(), b.place) << b.caption.toStdString();
        EXPECT_EQ(b.button->isVisibleTo(&fresh), b.shown) << b.caption.toStdString();
        EXPECT_FALSE(b.button->icon().isNull());
        EXPECT_EQ(b.button->font().family(), "Arial");
        EXPECT_EQ(b.button->font().pixelSize(), 11);
        EXPECT_TRUE(b.button->font().bold());
    }
    EXPECT_EQ(fresh.Timer1->interval(), 30000);
    EXPECT_FALSE(fresh.Timer1->isActive());
}

TEST_F(MessageForm, ModeDigitsChooseTitleColourBeepButtonsAndFocus) {
    struct Case {
        int mode;
        int beeps;
        QString title;
        QColor colour;
        QStringList shown; // in the order oui, non, ok, abandon
        QString focus;     // empty: not set by the show steps
        Qt::Key key;
        int result;
    };
    // In this order: a mode without 7, 8 or 9 keeps the title and colour of the show before it.
    const Case cases[] = {
        {70, 0, title("  Information!"), kWhite, {"ok", "abandon"}, "ok", Qt::Key_Return, 0},
        {80, 1, title("  Attention!"), kYellow, {"ok", "abandon"}, "ok", Qt::Key_Enter, 0},
        {12, 0, title("  Attention!"), kYellow, {"oui", "non", "abandon"}, "non", Qt::Key_Return, 2},
        {7, 0, title("  Information!"), kWhite, {"abandon"}, "", Qt::Key_Escape, 3},
        {89, 2, title("   Attention Attention!"), kLightRose, {"abandon"}, "", Qt::Key_Escape, 3},
        {-10,
         0,
         title("   Attention Attention!"),
         kLightRose,
         {"oui", "ok", "abandon"},
         "oui",
         Qt::Key_Return,
         1},
        {13,
         0,
         title("   Attention Attention!"),
         kLightRose,
         {"oui", "abandon"},
         "abandon",
         Qt::Key_Return,
         3},
        {-20,
         0,
         title("   Attention Attention!"),
         kLightRose,
         {"non", "ok", "abandon"},
         "non",
         Qt::Key_Return,
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        beeps = 0;
        const int result = showAndAnswer("Texte", c.mode, c.key);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(beeps, c.beeps);
        EXPECT_EQ(seen.title, c.title);
        EXPECT_EQ(seen.colour, c.colour);
        EXPECT_EQ(seen.shown, c.shown);
        EXPECT_EQ(seen.enabled, c.shown);
        if (!c.focus.isEmpty()) {
            EXPECT_EQ(seen.focus, c.focus);
        }
        EXPECT_EQ(seen.timing, c.mode < 0);
        EXPECT_FALSE(form->Timer1->isActive()) << "closing stops the time-out";
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(MessageForm, EscapeAlwaysAbandons) {
    for (int mode : {70, 80, 12, 7, 89, -10, 0, 1, 2, 3, 123, -456, 987654321}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(showAndAnswer("Texte", mode, Qt::Key_Escape), 3);
    }
}

TEST_F(MessageForm, AcceleratorsPressYesAndNoWhenShown) {
    struct Case {
        int mode;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int result;
    };
    const Case cases[] = {
        {12, Qt::Key_O, Qt::NoModifier, 1},  {12, Qt::Key_N, Qt::NoModifier, 2},
        {12, Qt::Key_O, Qt::AltModifier, 1}, {12, Qt::Key_N, Qt::AltModifier, 2},
        {-10, Qt::Key_O, Qt::NoModifier, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        SCOPED_TRACE(c.key);
        EXPECT_EQ(showAndAnswer("Texte", c.mode, c.key, c.modifiers), c.result);
    }
}

TEST_F(MessageForm, AcceleratorsOfHiddenButtonsDoNothing) {
    // O and N while only OK and Annuler are shown: the dialog stays up until Escape.
    whenModalShown([this](QWidget* modal) {
        QWidget* target = modal->focusWidget();
        QTest::keyClick(target, Qt::Key_O);
        QTest::keyClick(target, Qt::Key_N);
        QTest::keyClick(target, Qt::Key_N, Qt::AltModifier);
        QCoreApplication::processEvents();
        EXPECT_TRUE(form->isVisible());
        QTest::keyClick(target, Qt::Key_Escape);
        expectClosed(modal);
    });
    EXPECT_EQ(ShowMessageForm("Texte", 70), 3);
}

TEST_F(MessageForm, NegativeModeClosesByItselfAfterItsTimeOut) {
    EXPECT_EQ(form->Timer1->interval(), 30000);
    form->Timer1->setInterval(300); // stands for the 30 seconds
    bool timing = false;
    whenModalShown([&](QWidget* modal) {
        timing = form->Timer1->isActive();
        expectClosed(modal, 5000); // closed by the time-out alone
    });
    EXPECT_EQ(ShowMessageForm("Texte", -10), 0);
    EXPECT_TRUE(timing);
    EXPECT_FALSE(form->Timer1->isActive());
    form->Timer1->setInterval(Tmessageform::kTimeoutMs);

    // Each show counts afresh: an answered negative show leaves no timer behind.
    EXPECT_EQ(showAndAnswer("Texte", -13, Qt::Key_Escape), 3);
    EXPECT_TRUE(seen.timing);
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(MessageForm, ShowsTheTextFromItsSecondLineCentred) {
    const std::string text = fr("Il existe une version plus récente du programme de mise à jour!") + "\r\n" +
                             fr("Il sera rechargé!.");
    showAndAnswer(text, 70, Qt::Key_Escape);
    EXPECT_EQ(seen.memo,
              "\nIl existe une version plus récente du programme de mise à jour!\nIl sera rechargé!.");
    for (QTextBlock block = form->Memo1->document()->begin(); block.isValid(); block = block.next())
        EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(seen.centre, QGuiApplication::primaryScreen()->availableGeometry().center());
}

TEST_F(MessageForm, ACallWhileShownReturnsZeroAndChangesNothing) {
    int inner = -1;
    QString memoAfter;
    QString titleAfter;
    whenModalShown([&](QWidget* modal) {
        inner = ShowMessageForm("Autre texte", 89);
        memoAfter = form->Memo1->toPlainText();
        titleAfter = form->windowTitle();
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        expectClosed(modal);
    });
    EXPECT_EQ(ShowMessageForm("Premier", 70), 0);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(memoAfter, "\nPremier");
    EXPECT_EQ(titleAfter, title("  Information!"));
    EXPECT_EQ(beeps, 0);
}

TEST_F(MessageForm, FormExistsFindsTheDialogInAnyCaseHiddenOrShown) {
    ASSERT_FALSE(form->isVisible());
    for (const char* name : {"messageform", "MESSAGEFORM", "MessageForm", "mEsSaGeFoRm"})
        EXPECT_TRUE(FormExists(name)) << name;
    EXPECT_FALSE(FormExists("messageform2"));
    EXPECT_FALSE(FormExists("essageform"));

    bool whileShown = false;
    whenModalShown([&](QWidget* modal) {
        whileShown = FormExists("MESSAGEform");
        QTest::keyClick(modal->focusWidget(), Qt::Key_Escape);
        expectClosed(modal);
    });
    ShowMessageForm("Texte", 70);
    EXPECT_TRUE(whileShown);
}

TEST_F(MessageForm, FormExistsChangesOnlyAsciiLetters) {
    QWidget window;
    window.setObjectName(QString::fromUtf8("fenêtre"));
    EXPECT_TRUE(FormExists(fr("FENêTRE")));
    EXPECT_FALSE(FormExists(fr("FENÊTRE")));
}

TEST_F(MessageForm, ShowMessageFormCreatesTheDialogWhenMissing) {
    delete form;
    form = nullptr;
    ASSERT_FALSE(FormExists("messageform"));
    answerModalWithKey(Qt::Key_Escape);
    EXPECT_EQ(ShowMessageForm("Texte", 70), 3);
    EXPECT_TRUE(FormExists("messageform"));
    ASSERT_NE(findMessageForm(), nullptr);
    EXPECT_EQ(findMessageForm()->windowTitle(), title("  Information!"));
}

} // namespace
