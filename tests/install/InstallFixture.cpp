#include "InstallFixture.h"

#include "ConnectionSecrets.h"
#include "TransferProgress.h"
#include "ZipWriter.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace halvio::test {

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string packageArchive(const Entries& entries, const std::string& password) {
    platform::ZipWriter writer(password);
    for (const auto& [name, content] : entries)
        writer.addEntry(name, content);
    TempFolder folder;
    const std::string path = folder.file("package.zip");
    writer.writeTo(path);
    return readFileBytes(path);
}

std::string packageArchive(const std::string& content) {
    return packageArchive({{"contenu.bin", content}}, secrets::kPackagePassword);
}

std::string noise(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xff);
    return bytes;
}

InstallFixture::InstallFixture() {
    clinic.execute(
        {"insert into setup (nom, client, maj) values ('Clinique du Parc', 'C1234', '2004-05-11 14:03:22')"});
    clinic.configure(model.IB);
    model.IB.open();
    model.tmem.open();
    uz.setPassword(secrets::kPackagePassword);
    http.setEvents(transferProgressEvents(run));
}

InstallFixture::~InstallFixture() {
    if (model.IBTransaction1.isActive())
        model.IBTransaction1.rollback();
    model.IB.close();
}

void InstallFixture::addPackage(const std::string& nom, const std::string& description,
                                const std::string& dates, std::optional<std::int32_t> taille) {
    model.tmem.append();
    model.tmem.setNom(nom);
    model.tmem.setDescription(description);
    model.tmem.setDates(dates);
    if (taille)
        model.tmem.setTaille(*taille);
    model.tmem.post();
}

std::vector<std::vector<std::string>> InstallFixture::majRows() const {
    return clinic.query("select nom, description, dates, fichier from maj order by nom");
}

std::string InstallFixture::setupStamp() const {
    return clinic.queryValue("select maj from setup");
}

void InstallFixture::sql(const std::string& statement) const {
    clinic.execute({statement});
}

std::string InstallFixture::sqlValue(const std::string& select) const {
    return clinic.queryValue(select);
}

std::vector<std::string> InstallFixture::etats() const {
    std::vector<std::string> words;
    for (size_t i = 0; i < model.tmem.rowCount(); ++i)
        words.push_back(model.tmem.row(i).etat);
    return words;
}

} // namespace halvio::test
