#pragma once
// The run harness over a real clinic database on the private server, its program folder holding an
// update folder and a program file, and the HTTP clients the window makes.

#include "FirebirdFixtures.h"
#include "RunHarness.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvio::test {

class RunFixture : public ::testing::Test, public RunHarness {
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
};

} // namespace halvio::test
