// The real window during an exchange with a slow update service: the gauges and the status panel
// follow the transfer, and the window keeps handling its messages (a timer fires) while it waits.
#include "AppTestSupport.h"

#include "Gauge.h"
#include "LoopbackHttpServer.h"
#include "StatusPanels.h"
#include "TestDatabase.h"
#include "ftp.h"

#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>
#include <set>

using namespace halvio;
using namespace halvio::test;

namespace {

struct Sample {
    QString status;
    std::int32_t p1Progress;
    std::int32_t p1Maximum;
    std::int32_t p2Progress;
};

TEST(ExchangeProgress, GaugesAndStatusFollowASlowReplyWhileTimersKeepFiring) {
    TempFolder program;
    const TestDatabase database;
    database.execute({"insert into setup (nom, client) values ('Clinique du Parc', 'C1234')"});
    writeBytes(program.file("kliso.ini"), database.klisoIni());

    // The office server, answering with a reply that lists no package, four bytes every 60 ms.
    LoopbackHttpServer office("127.0.0.1", 18080);
    LoopbackReply reply = LoopbackReply::text("nom=Clinique du Parc|escompte=|ID=1\r\n\r\n");
    reply.pieceSize = 4;
    reply.pauseBetweenPieces = std::chrono::milliseconds(60);
    office.serve("/C1234.maj", reply);

    TFtpform form(program.file("maj_kliso.exe"));
    std::vector<std::string> reports;
    form.crashReport.showDialog = [&](const std::string& message, const std::string&) {
        reports.push_back(message);
    };
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Timer1.isActive() || !reports.empty(); }, 60000));
    ASSERT_TRUE(reports.empty()) << reports.front();

    std::vector<Sample> samples;
    QTimer sampler;
    sampler.setInterval(10);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        samples.push_back({form.layout.s1->panelText(0), form.layout.p1->progress(),
                           form.layout.p1->maximum(), form.layout.p2->progress()});
    });
    sampler.start();
    form.Button1Click();
    sampler.stop();

    ASSERT_TRUE(reports.empty()) << reports.front();
    const auto lines = logLines(form);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), QString("Tous vos fichiers sont à date!"));
    EXPECT_EQ(office.requestCount(), 1u);

    // Ten pieces with pauses between them: the sampler ran many times inside the blocking call.
    EXPECT_GE(samples.size(), 5u);
    std::set<QString> statuses;
    bool readingSeen = false;
    bool allFilesMoved = false;
    for (const Sample& s : samples) {
        statuses.insert(s.status);
        readingSeen =
            readingSeen || (s.p1Maximum == static_cast<std::int32_t>(reply.body.size()) && s.p1Progress > 0);
        allFilesMoved = allFilesMoved || s.p2Progress > 0;
    }
    EXPECT_TRUE(statuses.count("Connecté.")) << "the status panel showed the connection during the transfer";
    EXPECT_TRUE(readingSeen) << "p1 followed the reply against its announced length";
    EXPECT_TRUE(allFilesMoved) << "p2 moved during the exchange";
    EXPECT_EQ(form.layout.s1->panelText(0), QString("Déconnecté."));
}

} // namespace
