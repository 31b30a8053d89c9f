// What the creation of the real window takes from kliso.ini and from the workstation's proxy, and
// the window of a program folder without kliso.ini.
#include "AppTestSupport.h"

#include "FirebirdFixtures.h"
#include "SpeedButton.h"
#include "Windows1252.h"
#include "ftp.h"

#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

class ProgramStart : public ::testing::Test {
protected:
    std::string programFile() const { return folder.file("maj_kliso.exe"); }

    ProxyVariables noProxy;
    TempFolder folder;
};

TEST_F(ProgramStart, NamesBothDatabasesFromKlisoIni) {
    struct Case {
        const char* what;
        std::optional<std::string> ini; // nullopt: no kliso.ini at all
        std::string clinic;
        std::string fax;
    };
    const Case cases[] = {
        {"no kliso.ini keeps the built-in names", std::nullopt, "localhost:kliso.ib", "localhost:fax.ib"},
        {"server and path", "SERVEUR=srv\r\nDATABASE=c:\\clinique\\kliso.ib\r\n",
         "srv:c:\\clinique\\kliso.ib", "srv:c:\\clinique\\fax.ib"},
        {"empty server: a local path", "SERVEUR=\r\nDATABASE=d:\\data\\kliso.ib\r\n", "d:\\data\\kliso.ib",
         "d:\\data\\fax.ib"},
        {"missing server: a local path", "DATABASE=d:\\data\\kliso.ib\r\n", "d:\\data\\kliso.ib",
         "d:\\data\\fax.ib"},
        {"upper-case KLISO.IB is not replaced", "SERVEUR=srv\r\nDATABASE=C:\\CLINIQUE\\KLISO.IB\r\n",
         "srv:C:\\CLINIQUE\\KLISO.IB", "srv:C:\\CLINIQUE\\KLISO.IB"},
        {"kliso.ib twice, both replaced", "DATABASE=/srv/kliso.ib/kliso.ib\r\n", "/srv/kliso.ib/kliso.ib",
         "/srv/fax.ib/fax.ib"},
        {"keys in lower case, lines ended by CR", "serveur=srv\rdatabase=/data/kliso.ib\r",
         "srv:/data/kliso.ib", "srv:/data/fax.ib"},
        {"a blank before = counts for no key", "SERVEUR =srv\nDATABASE =/a/kliso.ib\nDATABASE=/b/kliso.ib\n",
         "/b/kliso.ib", "/b/fax.ib"},
        {"a blank after = stays in the value", "SERVEUR= srv\r\nDATABASE= /data/kliso.ib \r\n",
         " srv: /data/kliso.ib ", " srv: /data/fax.ib "},
        {"the first line of a key wins", "DATABASE=/a/kliso.ib\r\nDATABASE=/b/kliso.ib\r\n", "/a/kliso.ib",
         "/a/fax.ib"},
        {"neither key: both names empty", "beta=O\r\n", "", ""},
        {"Windows-1252 bytes stay bytes",
         "DATABASE=/donn\xE9"
         "es/kliso.ib\r\n",
         "/donn\xE9"
         "es/kliso.ib",
         "/donn\xE9"
         "es/fax.ib"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder programFolder;
        if (c.ini)
            writeBytes(programFolder.file("kliso.ini"), *c.ini);
        TFtpform form(programFolder.file("maj_kliso.exe"));
        EXPECT_EQ(form.model.IB.connectionName(), c.clinic);
        EXPECT_EQ(form.model.ibfax.connectionName(), c.fax);
        EXPECT_TRUE(form.layout.CheckBox2->isChecked());
    }
}

TEST_F(ProgramStart, OnlyBetaEqualToCapitalOTicksTheDirectConnection) {
    // CheckBox2 starts ticked; unticked by hand, only the creation handler can tick it again.
    const std::pair<const char*, bool> cases[] = {
        {"beta=O\r\n", true},   {"BETA=O\r\n", true},
        {"beta=N\r\n", false},  {"beta=o\r\n", false},
        {"beta= O\r\n", false}, {"beta=O \r\n", false},
        {"beta=\r\n", false},   {"beta=N\r\nbeta=O\r\n", false},
    };
    for (const auto& [ini, ticks] : cases) {
        SCOPED_TRACE(ini);
        writeBytes(folder.file("kliso.ini"), ini);
        TFtpform form(programFile());
        EXPECT_TRUE(form.layout.CheckBox2->isChecked()) << "no value clears it at start";
        form.layout.CheckBox2->setChecked(false);
        form.FormCreate();
        EXPECT_EQ(form.layout.CheckBox2->isChecked(), ticks);
    }
}

TEST_F(ProgramStart, HandsTheWorkstationProxyToHttp) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> variables;
        std::string server;
        int port;
        const char* reportedPortText; // the port text named by the unexpected error, if any
    };
    const Case cases[] = {
        {"no proxy", {}, "", 0, nullptr},
        {"one proxy", {{"http_proxy", "proxy.local:8080"}}, "proxy.local", 8080, nullptr},
        {"the http entry of several",
         {{"http_proxy", "http://web.proxy:3128/"}, {"https_proxy", "sec.proxy:3129"}},
         "web.proxy",
         3128,
         nullptr},
        {"a proxy without port is no proxy", {{"http_proxy", "web.proxy"}}, "", 0, nullptr},
        {"port text cut to 10 characters",
         {{"http_proxy", "proxy:8080      (main)"}},
         "proxy",
         8080,
         nullptr},
        {"port text that is no number", {{"http_proxy", "proxy:80 (main)"}}, "proxy", 0, "'80 (main)'"},
        {"no http entry: the whole list is split",
         {{"https_proxy", "sec.proxy:443"}, {"ftp_proxy", "ft"}},
         "https=sec.proxy",
         0,
         "'443;ftp=ft'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder programFolder;
        const ProxyVariables proxy(c.variables);
        std::optional<ReportDialogCatcher> catcher(std::in_place);
        TFtpform form(programFolder.file("maj_kliso.exe"));
        const auto reports = catcher->reports;
        const auto otherDialogs = catcher->otherDialogs;
        catcher.reset();

        EXPECT_EQ(form.HTTP.proxyHost(), c.server);
        EXPECT_EQ(form.HTTP.proxyPort(), c.port);
        EXPECT_TRUE(otherDialogs.empty());
        const std::optional<std::string> log = readBytesIfAny(form.crashReport.logFile());
        if (!c.reportedPortText) {
            EXPECT_TRUE(reports.empty());
            EXPECT_FALSE(log);
            continue;
        }
        // The creation goes on after the unexpected error: the window is there, built in full.
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].text,
                  "Une erreur inattendue est survenue au démarrage. La mise à jour continue.\n\n"
                  "Le rapport a été enregistré dans " +
                      QString::fromStdString(form.crashReport.logFile()) + ".");
        EXPECT_TRUE(reports[0].details.contains(QString::fromUtf8(c.reportedPortText)))
            << reports[0].details.toStdString();
        ASSERT_TRUE(log);
        EXPECT_NE(log->find("Handler: FormCreate\r\n"), std::string::npos);
        EXPECT_NE(
            log->find(std::string("Message: ") + c.reportedPortText + fr(" n'est pas un numéro de port")),
            std::string::npos);
        EXPECT_EQ(form.layout.Button1->text(), "Démarrer");
        EXPECT_FALSE(form.Timer3.isActive()) << "the run goes on";
    }
}

TEST_F(ProgramStart, ForcesThePointAsDecimalMark) {
    const QLocale workstation;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada));
    ASSERT_EQ(QLocale().decimalPoint(), ",");
    {
        TFtpform form(programFile());
        EXPECT_EQ(QLocale().decimalPoint(), ".");
        EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), "1234.5");
    }
    QLocale::setDefault(workstation);
}

TEST_F(ProgramStart, WithoutKlisoIniTheWindowOpensAndStaysUnconnected) {
    TFtpform form(programFile());
    std::vector<std::string> reports;
    form.crashReport.showDialog = [&](const std::string& message, const std::string&) {
        reports.push_back(message);
    };
    form.show();
    const QString givingUp = "Echec lors de la connection à votre serveur";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !logLines(form).empty() && logLines(form).back() == givingUp; }, 60000));

    const std::vector<QString> lines = logLines(form);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Tentative de connection à votre serveur");
    EXPECT_EQ(lines[1], "localhost:kliso.ib");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.layout.Button1->isEnabled());
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.layout.clientmaj->text(), "") << "no internal name is shown";
    EXPECT_TRUE(reports.empty());
}

} // namespace
