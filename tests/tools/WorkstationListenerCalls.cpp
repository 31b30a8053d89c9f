// The workstation listener stand-in answers GET /MAJ and records every call with its headers.
#include "CatalogFixture.h"
#include "WorkstationListener.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

using halvio::tools::WorkstationListener;
using namespace halvio::test;

namespace {

TEST(WorkstationListenerCalls, RecordsTheNotificationWithItsHeaders) {
    QTemporaryDir dir;
    const std::filesystem::path record = dir.filePath("calls.txt").toStdString();
    std::vector<std::string> printed;
    WorkstationListener listener({{"127.0.0.1", 0}, {"127.0.0.2", 0}}, record,
                                 [&](const std::string& line) { printed.push_back(line); });
    listener.start();
    const auto& bound = listener.boundAddresses();
    ASSERT_EQ(bound.size(), 2u);

    for (const auto& address : bound) {
        httplib::Client client(address.host, address.port);
        const auto result = client.Get(
            "/MAJ", {{"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}, {"Accept", "text/html, */*"}});
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_FALSE(result->body.empty());
    }
    httplib::Client other(bound[0].host, bound[0].port);
    const auto notFound = other.Get("/maj");
    ASSERT_TRUE(notFound);
    EXPECT_EQ(notFound->status, 404);

    const auto calls = listener.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].local, bound[0]);
    EXPECT_EQ(calls[1].local, bound[1]);
    EXPECT_EQ(calls[0].method, "GET");
    EXPECT_EQ(calls[0].path, "/MAJ");
    EXPECT_EQ(calls[0].userAgent, "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(calls[0].accept, "text/html, */*");
    EXPECT_EQ(calls[2].path, "/maj");
    EXPECT_EQ(calls[2].status, 404);

    const std::string lines = readBytes(record);
    const std::string expectedEnd = halvio::tools::toText(bound[1]) +
                                    " GET /MAJ 200 User-Agent=\"Mozilla/3.0 (compatible; Indy Library)\" "
                                    "Accept=\"text/html, */*\"\n";
    EXPECT_NE(lines.find(expectedEnd), std::string::npos) << lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(printed[0] + "\n", lines.substr(0, lines.find('\n') + 1));
}

TEST(WorkstationListenerCalls, AppendsToAnExistingRecord) {
    QTemporaryDir dir;
    const std::filesystem::path record = dir.filePath("calls.txt").toStdString();
    writeBytes(record, "earlier line\n");
    WorkstationListener listener({{"127.0.0.1", 0}}, record);
    listener.start();
    httplib::Client client("127.0.0.1", listener.boundAddresses()[0].port);
    ASSERT_TRUE(client.Get("/MAJ"));
    const std::string lines = readBytes(record);
    EXPECT_EQ(lines.rfind("earlier line\n", 0), 0u);
    EXPECT_NE(lines.find(" GET /MAJ 200 "), std::string::npos);
}

// A call's line in the record and the log is one line whatever its path holds; calls() keeps the path.
TEST(WorkstationListenerCalls, APathWithALineBreakIsRecordedOnItsOneLine) {
    QTemporaryDir dir;
    const std::filesystem::path record = dir.filePath("calls.txt").toStdString();
    WorkstationListener listener({{"127.0.0.1", 0}}, record);
    listener.start();
    httplib::Client client("127.0.0.1", listener.boundAddresses()[0].port);
    const auto result = client.Get("/MAJ%0D%0Aforged%09line");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
    const std::string lines = readBytes(record);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
    EXPECT_NE(lines.find(" GET /MAJ??forged?line 404 "), std::string::npos) << lines;
    ASSERT_EQ(listener.calls().size(), 1u);
    EXPECT_EQ(listener.calls()[0].path, "/MAJ\r\nforged\tline");
}

} // namespace
