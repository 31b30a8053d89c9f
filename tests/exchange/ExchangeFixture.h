#pragma once
// A clinic database and a fax database on the private server, and the run harness over them that
// the exchange works with.

#include "ByteBuffer.h"
#include "FirebirdFixtures.h"
#include "RunHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace halvio::test {

class ExchangeFixture : public ::testing::Test, public RunHarness {
protected:
    // Creates the clinic database (with ESCOMPTE) and runs the statements in it.
    void createClinic(const std::vector<std::string>& statements);
    // Creates the fax database beside it and runs the statements in it.
    void createFax(const std::vector<std::string>& statements);
    // Names both databases in the model and opens the clinic database, as the start of the program does.
    void openClinic();

    std::string clinicValue(const std::string& sql) const { return queryValue(clinic, server.password, sql); }
    std::vector<std::vector<std::string>> clinicRows(const std::string& sql) const {
        return query(clinic, server.password, sql);
    }

    TempFolder folder;
    FirebirdServer server = mainServer();
    std::string clinic = server.nameOf(folder.file("kliso.ib"));
    std::string fax = server.nameOf(folder.file("fax.ib"));
};

} // namespace halvio::test
