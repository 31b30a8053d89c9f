#include "RunFixture.h"

#include "Files.h"
#include "WorkstationNotifier.h"

namespace halvio::test {

RunFixture::RunFixture() : RunHarness({}, notificationClientOptions()) {}

void RunFixture::SetUp() {
    createClinicDatabase(name, server.password);
    platform::createFolder(programFolder.file("update"));
    platform::writeWholeFile(context.programFile, "the running updater");
    model.IB.setConnectionName(name);
    model.IB.setPassword(server.password);
    model.IB.open();
}

void RunFixture::addPackageRow(const std::string& nom) {
    model.tmem.open();
    model.tmem.append();
    model.tmem.setNom(nom);
    model.tmem.setEtat("Transmis");
    model.tmem.post();
}

void RunFixture::execute(const std::vector<std::string>& statements) const {
    test::execute(name, server.password, statements);
}

std::vector<std::vector<std::string>> RunFixture::query(const std::string& sql) const {
    return test::query(name, server.password, sql);
}

std::string RunFixture::queryValue(const std::string& sql) const {
    return test::queryValue(name, server.password, sql);
}

} // namespace halvio::test
