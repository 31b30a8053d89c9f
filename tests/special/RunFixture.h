#pragma once
// A run's context over a real clinic database on the private server, with a program folder of its
// own (holding an update folder and a program file) and the two HTTP clients.

#include "FirebirdFixtures.h"
#include "HttpClient.h"
#include "Model.h"
#include "RecordingView.h"
#include "RunContext.h"
#include "TestDatabase.h"
#include "WorkstationNotifier.h"
#include "ZipReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvio::test {

class RunFixture : public ::testing::Test {
protected:
    RunFixture();
    void SetUp() override;

    // Appends a package row named nom to tmem and leaves it current, as the transfer does.
    void addPackageRow(const std::string& nom);
    void execute(const std::vector<std::string>& statements) const { database.execute(statements); }
    std::vector<std::vector<std::string>> query(const std::string& sql) const { return database.query(sql); }
    std::string queryValue(const std::string& sql) const { return database.queryValue(sql); }
    std::string programPath(const std::string& name) const { return programFolder.file(name); }

    TestDatabase database;
    TempFolder programFolder;
    RecordingView view;
    Model model{view};
    platform::HttpClient http;
    platform::HttpClient httplocal{notificationClientOptions()};
    platform::ZipReader uz;
    RunContext context;
};

} // namespace halvio::test
