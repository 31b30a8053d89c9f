// What the client tells the window while a request runs: idle calls, work counts, status texts.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "LoopbackHttpServer.h"
#include "Windows1252.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace halvio;
using namespace halvio::platform;
using namespace halvio::test;

namespace {

// Opens a gate if the test has not opened it itself in a long while, so that a broken client
// fails the test instead of blocking it; the test checks that it was never needed.
class GateWatchdog {
public:
    explicit GateWatchdog(std::shared_ptr<LoopbackGate> gate)
        : m_thread([this, gate] {
              std::unique_lock lock(m_mutex);
              if (!m_ended.wait_for(lock, std::chrono::seconds(60), [this] { return m_done; })) {
                  m_fired = true;
                  gate->open();
              }
          }) {}
    ~GateWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        m_thread.join();
    }
    bool fired() {
        std::lock_guard lock(m_mutex);
        return m_fired;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

TEST(HttpIdle, WindowEventsRunWhileTheReplyIsHeld) {
    LoopbackHttpServer server;
    auto gate = std::make_shared<LoopbackGate>();
    LoopbackReply held = LoopbackReply::text("first part|rest of the package");
    held.gate = gate;
    held.holdAfter = 11;
    server.serve("/kliso/update/a.zip", held);
    GateWatchdog watchdog(gate);

    // Only a Qt timer opens the gate, so the request ends only if the idle callback lets the
    // event loop run in the middle of it.
    bool timerFired = false;
    QTimer::singleShot(0, [&] {
        timerFired = true;
        gate->open();
    });
    int idleCalls = 0;
    HttpClient client;
    client.setIdle([&] {
        ++idleCalls;
        QCoreApplication::processEvents();
    });
    ByteBuffer reply;
    client.get(server.url("/kliso/update/a.zip"), reply);

    EXPECT_FALSE(watchdog.fired());
    EXPECT_TRUE(timerFired);
    EXPECT_GE(idleCalls, 1);
    EXPECT_EQ(reply.view(), "first part|rest of the package");
}

TEST(HttpIdle, TheClientRefusesToBeUsedFromItsIdleCallback) {
    LoopbackHttpServer server;
    auto gate = std::make_shared<LoopbackGate>();
    LoopbackReply held = LoopbackReply::text("slow");
    held.gate = gate;
    server.serve("/slow", held);
    server.serve("/other", LoopbackReply::text("other"));
    GateWatchdog watchdog(gate);

    HttpClient client;
    ByteBuffer other;
    client.setIdle([&] {
        gate->open();
        client.get(server.url("/other"), other);
    });
    ByteBuffer reply;
    EXPECT_THROW(client.get(server.url("/slow"), reply), std::logic_error);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_FALSE(watchdog.fired());
}

struct Event {
    char kind; // 'B' work begins, 'W' work
    std::int64_t count;
};

HttpEvents recordingEvents(std::vector<Event>& events, std::vector<std::string>* statuses = nullptr) {
    HttpEvents recording;
    recording.workBegin = [&events](std::int64_t expected) { events.push_back({'B', expected}); };
    recording.work = [&events](std::int64_t running) { events.push_back({'W', running}); };
    if (statuses)
        recording.status = [statuses](const std::string& text) { statuses->push_back(text); };
    return recording;
}

// Checks one direction: a begin with the expected count, then running counts rising to it.
std::size_t expectDirection(const std::vector<Event>& events, std::size_t at, std::int64_t size) {
    EXPECT_LT(at, events.size());
    if (at >= events.size())
        return at;
    EXPECT_EQ(events[at].kind, 'B');
    EXPECT_EQ(events[at].count, size);
    std::int64_t last = 0;
    ++at;
    while (at < events.size() && events[at].kind == 'W') {
        EXPECT_GT(events[at].count, last);
        last = events[at].count;
        ++at;
    }
    EXPECT_EQ(last, size);
    return at;
}

TEST(HttpWork, PostCountsTheBodySentThenTheReplyReceived) {
    const std::string report(300000, 'r');
    const std::string packageList(1500000, 'l');
    LoopbackHttpServer server;
    server.serve("/C1.maj", LoopbackReply::text(packageList));
    std::vector<Event> events;
    HttpClient client;
    client.setEvents(recordingEvents(events));
    ByteBuffer reply;

    client.post(server.url("/C1.maj"), report, reply);

    std::size_t at = expectDirection(events, 0, static_cast<std::int64_t>(report.size()));
    at = expectDirection(events, at, static_cast<std::int64_t>(packageList.size()));
    EXPECT_EQ(at, events.size());
}

TEST(HttpWork, ReplyInSlowPiecesIsCountedPieceByPiece) {
    LoopbackHttpServer server;
    LoopbackReply trickle = LoopbackReply::text(std::string(5000, 'p'));
    trickle.pieceSize = 1000;
    trickle.pauseBetweenPieces = std::chrono::milliseconds(20);
    server.serve("/kliso/update/a.zip", trickle);
    std::vector<Event> events;
    HttpClient client;
    client.setEvents(recordingEvents(events));
    ByteBuffer reply;

    client.get(server.url("/kliso/update/a.zip"), reply);

    EXPECT_EQ(expectDirection(events, 0, 5000), events.size());
    EXPECT_GE(events.size(), 1u + 5u); // every piece arrives on its own
}

TEST(HttpWork, ReplyOfUnknownLengthBeginsWithZero) {
    LoopbackHttpServer server;
    LoopbackReply unannounced = LoopbackReply::text(std::string(70000, 'p'));
    unannounced.announceLength = false;
    server.serve("/MAJ", unannounced);
    std::vector<Event> events;
    HttpClient client;
    client.setEvents(recordingEvents(events));
    ByteBuffer reply;

    client.get(server.url("/MAJ"), reply);

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, 'B');
    EXPECT_EQ(events.front().count, 0);
    EXPECT_EQ(events.back().kind, 'W');
    EXPECT_EQ(events.back().count, 70000);
}

std::vector<std::string> connectionTexts(const std::string& host) {
    return {fr("Résolution du nom d'hôte ") + host + ".", fr("Connexion à ") + host + ".", fr("Connecté."),
            fr("Déconnexion."), fr("Déconnecté.")};
}

std::vector<std::string> concatenated(std::vector<std::string> first,
                                      const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(HttpStatus, OneRequestGoesFromResolutionToDisconnection) {
    LoopbackHttpServer server;
    server.serve("/C1.maj", LoopbackReply::text("list"));
    std::vector<Event> events;
    std::vector<std::string> statuses;
    HttpClient client;
    client.setEvents(recordingEvents(events, &statuses));
    ByteBuffer reply;

    client.post("http://localhost:" + std::to_string(server.port()) + "/C1.maj", "report", reply);
    EXPECT_EQ(statuses, connectionTexts("localhost"));

    statuses.clear();
    client.get(server.url("/C1.maj"), reply);
    EXPECT_EQ(statuses, connectionTexts("127.0.0.1"));
}

TEST(HttpStatus, EachHopOfARedirectionIsAnnounced) {
    LoopbackHttpServer server;
    LoopbackHttpServer otherHost("127.0.0.2");
    server.serve("/C1.maj", LoopbackReply::redirect(otherHost.url("/C1.maj")));
    otherHost.serve("/C1.maj", LoopbackReply::text("list"));
    std::vector<Event> events;
    std::vector<std::string> statuses;
    HttpClient client;
    client.setEvents(recordingEvents(events, &statuses));
    ByteBuffer reply;

    client.post(server.url("/C1.maj"), "report", reply);

    EXPECT_EQ(statuses, concatenated(connectionTexts("127.0.0.1"), connectionTexts("127.0.0.2")));
    // The report is sent on each hop; only the final reply is received.
    std::size_t at = expectDirection(events, 0, 6);
    at = expectDirection(events, at, 6);
    at = expectDirection(events, at, 4);
    EXPECT_EQ(at, events.size());
}

TEST(HttpStatus, ThroughAProxyTheProxyIsTheHostShown) {
    LoopbackHttpServer proxy;
    proxy.handleOthers([](const RecordedRequest&) { return LoopbackReply::text("list"); });
    std::vector<Event> events;
    std::vector<std::string> statuses;
    HttpClient client;
    client.setProxy("127.0.0.1", proxy.port());
    client.setEvents(recordingEvents(events, &statuses));
    ByteBuffer reply;

    client.post("http://update.invalid/C1.maj", "report", reply);

    EXPECT_EQ(statuses, connectionTexts("127.0.0.1"));
}

TEST(HttpStatus, RefusedConnectionIsNeverConnected) {
    std::vector<Event> events;
    std::vector<std::string> statuses;
    HttpClient client;
    client.setEvents(recordingEvents(events, &statuses));
    ByteBuffer reply;

    EXPECT_THROW(
        client.get("http://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/MAJ", reply),
        HttpError);

    std::vector<std::string> expected = connectionTexts("127.0.0.1");
    expected.resize(2); // resolution and connection attempt only
    EXPECT_EQ(statuses, expected);
    EXPECT_TRUE(events.empty());
}

} // namespace
