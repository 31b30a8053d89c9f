#include "RunFixture.h"

#include "Files.h"
#include "WorkstationNotifier.h"

namespace halvio::test {

RunFixture::RunFixture() : RunHarness({}, notificationClientOptions()) {}

void RunFixture::SetUp() {
    platform::createFolder(programFolder.file("update"));
    platform::writeWholeFile(context.programFile, "the running updater");
    database.configure(model.IB);
    model.IB.open();
}

void RunFixture::addPackageRow(const std::string& nom) {
    model.tmem.open();
    model.tmem.append();
    model.tmem.setNom(nom);
    model.tmem.setEtat("Transmis");
    model.tmem.post();
}

} // namespace halvio::test
