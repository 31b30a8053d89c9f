// Package download from the update service: the published file, exact bytes, or 404.
#include "CatalogFixture.h"
#include "ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace halvio::test;

namespace {

class PackageDownload : public ::testing::Test {
protected:
    PackageDownload() {
        m_catalog.writePackageFile("sql_fix.zip", allByteValues());
        m_catalog.writePackageFile("halvio.zip", m_large);
        m_catalog.writePackageFile("empty.zip", "");
        m_catalog.writePackageFile("notes.txt", "not a package");
        m_catalog.writeClient("C0042", "nom=x\n");
    }

    CatalogFixture m_catalog;
    // Several of the service's 1 MiB read chunks, and not a whole number of them.
    const std::string m_large = noiseBytes((5u << 20) + 123, 9);
};

TEST_F(PackageDownload, ServesThePublishedFileExactly) {
    RunningService running(m_catalog);
    const struct {
        const char* path;
        const std::string& bytes;
    } cases[] = {
        {"/kliso/update/sql_fix.zip", allByteValues()},
        {"/kliso/update/halvio.zip", m_large},
    };
    for (const auto& c : cases) {
        const auto result = running.client().Get(c.path);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(result->status, 200) << c.path;
        EXPECT_EQ(result->get_header_value("Content-Length"), std::to_string(c.bytes.size())) << c.path;
        EXPECT_EQ(result->body.size(), c.bytes.size()) << c.path;
        EXPECT_TRUE(result->body == c.bytes) << c.path;
    }
    EXPECT_TRUE(running.waitForLogLine(" GET /kliso/update/halvio.zip 200 in=0 out=" +
                                       std::to_string(m_large.size())));
}

TEST_F(PackageDownload, AnEmptyPackageFileIsServedEmpty) {
    RunningService running(m_catalog);
    const auto result = running.client().Get("/kliso/update/empty.zip");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Length"), "0");
    EXPECT_TRUE(result->body.empty());
}

TEST_F(PackageDownload, AnythingButAPublishedZipFileIs404) {
    RunningService running(m_catalog);
    for (const char* path : {
             "/kliso/update/unknown.zip",
             "/kliso/update/SQL_FIX.zip", // published in lower case only
             "/kliso/update/notes.txt",   // not a package file
             "/kliso/update/.zip",
             "/kliso/update/..%2Fclients%2FC0042.txt",
             "/kliso/update/..%2Fpackages%2Fsql_fix.zip",
             "/kliso/update/sql_fix.zip/x",
             "/kliso/sql_fix.zip",
             "/update/sql_fix.zip",
             "/sql_fix.zip",
         }) {
        const auto result = running.client().Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
        EXPECT_TRUE(result->body.find("not a package") == std::string::npos) << path;
    }
    const auto post = running.client().Post("/kliso/update/sql_fix.zip", "x", "text/html");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
}

} // namespace
