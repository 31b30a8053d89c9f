// The real window connected to a clinic database on the private server: the countdown from the
// end of the show handler into the exchange, a press of "Démarrer" during the countdown, and an
// error inside the show handler. The exchanges run against the local service hosts, where nothing
// listens (or no service knows client C1): six failed attempts, then the information box, answered
// here.
#include "AppTestSupport.h"

#include "ModalAnswer.h"
#include "SpeedButton.h"
#include "TestDatabase.h"
#include "ftp.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

const QString kGivingUp = "Echec lors de la connection à votre serveur";

// What the window showed when the exchange's final information box came up.
struct AtInformation {
    size_t ticksBefore = 0;
    QString text;
    QString startCaption;
    bool startEnabled = true;
    bool countdownRunning = true;
    std::string ini;
};

class ConnectedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        database.execute(
            {"insert into setup (nom, client, maj) values ('Clinique du Parc', 'C1', '2004-03-07 "
             "14:05:09')"});
        writeBytes(program.file("kliso.ini"), database.klisoIni() + "beta=N\r\n");
        form.emplace(program.file("maj_kliso.exe"));
        form->crashReport.showDialog = [this](const std::string& message, const std::string&) {
            reports.push_back(message);
        };
    }

    // Shows the window and waits for the end of the show handler.
    void show() {
        form->show();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const auto lines = logLines(*form);
                return form->Timer1.isActive() || !reports.empty() ||
                       (!lines.empty() && lines.back() == kGivingUp);
            },
            60000));
    }

    std::string ini() const { return readBytesIfAny(program.file("kliso.ini")).value_or(""); }

    std::string iniWithBeta(const char* value) const {
        return database.klisoIni() + "beta=" + value + "\r\n";
    }

    // Answers the exchange's final information box with OK, keeping what the window showed then.
    void answerInformation(std::optional<AtInformation>& seen, const std::vector<QString>* ticks = nullptr) {
        whenModalShown(
            [this, &seen, ticks](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box) {
                    ADD_FAILURE() << "not a message box: " << modal->objectName().toStdString();
                    modal->close();
                    return;
                }
                seen = AtInformation{ticks ? ticks->size() : 0,    box->text(),
                                     form->layout.Button1->text(), form->layout.Button1->isEnabled(),
                                     form->Timer1.isActive(),      ini()};
                box->button(QMessageBox::Ok)->click();
            },
            120000);
    }

    size_t logCount(const QString& line) const {
        const auto lines = logLines(*form);
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    ProxyVariables noProxy;
    TestDatabase database;
    TempFolder program;
    std::optional<TFtpform> form;
    std::vector<std::string> reports;
};

TEST_F(ConnectedWindow, CountsDownFromFiveAndStartsTheExchangeWithinTheSixthTick) {
    // Captions as each tick left them; the sixth is only recorded once its exchange has ended.
    std::vector<QString> ticks;
    std::vector<bool> startEnabledAtTick;
    std::vector<std::string> iniAtTick;
    QObject::connect(&form->Timer1, &QTimer::timeout, &*form, [&] {
        ticks.push_back(form->layout.Button1->text());
        startEnabledAtTick.push_back(form->layout.Button1->isEnabled());
        iniAtTick.push_back(ini());
    });
    std::optional<AtInformation> seen;
    answerInformation(seen, &ticks);
    form->Timer1.setInterval(20);
    ASSERT_NO_FATAL_FAILURE(show());
    ASSERT_TRUE(form->Timer1.isActive()) << "the show handler did not start the countdown";
    EXPECT_EQ(form->layout.clientmaj->text(), "2004.03.07");

    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible() || !reports.empty(); }, 120000));
    ASSERT_TRUE(reports.empty()) << reports.front();

    const std::vector<QString> expected{"Démarrer (5 sec.)", "Démarrer (4 sec.)", "Démarrer (3 sec.)",
                                        "Démarrer (2 sec.)", "Démarrer (1 sec.)", "Démarrer (0 sec.)"};
    EXPECT_EQ(ticks, expected);
    for (size_t tick = 0; tick < 5 && tick < ticks.size(); ++tick) {
        EXPECT_TRUE(startEnabledAtTick[tick]) << "tick " << tick + 1;
        EXPECT_EQ(iniAtTick[tick], iniWithBeta("N")) << "tick " << tick + 1;
    }
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->ticksBefore, 5u) << "the exchange runs inside the sixth tick";
    EXPECT_EQ(seen->startCaption, "Démarrer (0 sec.)");
    EXPECT_FALSE(seen->startEnabled);
    EXPECT_FALSE(seen->countdownRunning);
    EXPECT_EQ(seen->ini, iniWithBeta("O")) << "CheckBox2 ticked: saved as beta=O";
    EXPECT_TRUE(seen->text.startsWith("Impossible de communiquer avec Vantorix !"))
        << seen->text.toStdString();

    // Three refused attempts, the repetition without proxy, three more.
    EXPECT_EQ(logCount("Tentative de connection à localhost:18080 "), 2u);
    EXPECT_EQ(logCount("Désactivation du proxy"), 1u);
    EXPECT_EQ(form->windowTitle(), "Vantorix - Mise à jour par internet  proxy::0  proxy::0");
    EXPECT_FALSE(form->Timer1.isActive());
}

TEST_F(ConnectedWindow, APressAfterTheThirdTickStartsAtOnceAndKeepsItsCaption) {
    form->Timer1.setInterval(3600 * 1000); // the ticks are given by hand
    ASSERT_NO_FATAL_FAILURE(show());
    ASSERT_TRUE(form->Timer1.isActive());
    for (int tick = 0; tick < 3; ++tick)
        form->Timer1Timer();
    ASSERT_EQ(form->layout.Button1->text(), "Démarrer (3 sec.)");
    ASSERT_TRUE(form->layout.Button1->isEnabled());

    std::optional<AtInformation> seen;
    answerInformation(seen);
    QTest::mouseClick(form->layout.Button1, Qt::LeftButton);

    ASSERT_TRUE(seen) << "the exchange did not run inside the press";
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(seen->startCaption, "Démarrer (3 sec.)");
    EXPECT_FALSE(seen->startEnabled);
    EXPECT_FALSE(seen->countdownRunning);
    EXPECT_EQ(seen->ini, iniWithBeta("O"));
    EXPECT_EQ(form->layout.Button1->text(), "Démarrer (3 sec.)");
    EXPECT_EQ(form->layout.Button1->tag(), 2);
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->isVisible()) << "the information box is followed by the close";
}

TEST_F(ConnectedWindow, AnErrorInTheShowHandlerIsReportedAndTheRunEndsWithTheTimedClose) {
    database.execute({"drop table setup"});
    ASSERT_NO_FATAL_FAILURE(show());

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(form->isVisible());
    // "Démarrer", enabled by the step before the failing one, is disabled again: nothing more starts.
    EXPECT_FALSE(form->layout.Button1->isEnabled());
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_TRUE(form->Timer3.isActive()) << "the window closes by itself";
    form->Timer3.stop(); // it would end the test's application too
    EXPECT_EQ(form->layout.clientmaj->text(), "") << "no internal name is shown";
    const std::vector<QString> lines = logLines(*form);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Connecté.");
    EXPECT_EQ(lines.back(), "Mise à jour interrompue par une erreur inattendue. Fermeture dans 10 secondes.");
    const std::string log = readBytesIfAny(program.file("maj_kliso.err")).value_or("");
    EXPECT_NE(log.find("Handler: FormShow\r\n"), std::string::npos);
}

} // namespace
