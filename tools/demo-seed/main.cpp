// demo-seed: records a file as an installed package, a MAJ row whose FICHIER is the file's bytes.
// An existing row of that name is replaced, so that seeding twice leaves one row.
#include "Files.h"
#include "FirebirdClient.h"
#include "Windows1252.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const char* const kUsage =
    "usage: demo-seed DATABASE NAME DATES FILE [DESCRIPTION]\n"
    "  DATABASE     the clinic database: a plain path (embedded engine) or server:path\n"
    "  NAME         the MAJ row's NOM, e.g. MAJ_KLISO\n"
    "  DATES        publication date text \"yyyy.mm.dd hh:nn:ss\"\n"
    "  FILE         the bytes stored in FICHIER\n"
    "  DESCRIPTION  UTF-8 on the command line, stored as Windows-1252\n"
    "The user is sysdba; ISC_PASSWORD gives the password when the database is on a server.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string database = argv[1];
    const std::string name = argv[2];
    const std::string dates = argv[3];
    try {
        const std::string description = halvio::cp1252FromUtf8(argc == 6 ? argv[5] : "");
        const std::string content = halvio::platform::readWholeFile(argv[4]);
        const char* password = std::getenv("ISC_PASSWORD");
        halvio::platform::FbAttachment attachment;
        attachment.attach(database, "sysdba", password ? password : "");
        halvio::platform::FbTransaction transaction(attachment,
                                                    halvio::platform::TransactionOptions::serverDefault());
        transaction.start();
        halvio::platform::FbStatement remove(attachment, transaction);
        remove.prepare("delete from maj where nom=?");
        remove.setTextParameter(0, name);
        remove.execute();
        halvio::platform::FbStatement insert(attachment, transaction);
        insert.prepare("insert into maj (NOM,DESCRIPTION,DATES,FICHIER) values (?,?,?,?)");
        insert.setTextParameter(0, name);
        insert.setTextParameter(1, description);
        insert.setTextParameter(2, dates);
        insert.setBlobParameter(3, content);
        insert.execute();
        transaction.commit();
        attachment.detach();
        std::cout << "demo-seed: " << name << " " << dates << " (" << content.size() << " bytes)"
                  << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "demo-seed: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
