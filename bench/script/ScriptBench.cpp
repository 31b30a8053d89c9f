// Statements per second of a script package run by the real window (offscreen), against isql-fb running the
// same statements with a commit after each, through the same Firebird server. Prints its figures.
//   script_bench HOST PASSWORD WORK_FOLDER [STATEMENTS] [ROUNDS]
#include "FirebirdFixtures.h"
#include "Fonction.h"
#include "PackageInstaller.h"
#include "SpeedButton.h"
#include "ftp.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace halvio;

namespace {

using Clock = std::chrono::steady_clock;

// A window shown offscreen and connected to the clinic database, as the run leaves it before the
// transfer; the countdown is stopped so that the exchange does not start by itself.
std::unique_ptr<TFtpform> connectedWindow(const std::string& programFolder) {
    auto window = std::make_unique<TFtpform>(programFolder + "maj_kliso.exe");
    window->show();
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!window->layout.Button1->isEnabled() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window->layout.Button1->isEnabled())
        throw std::runtime_error("the window did not connect to the clinic database");
    window->stopCountdown();
    return window;
}

std::string insertStatement(const std::string& table, long id) {
    return "insert into " + table + " (id, txt) values (" + std::to_string(id) + ", 'ligne " +
           std::to_string(id) + "')";
}

double isqlRound(const std::string& name, const std::string& password, const std::string& folder, long first,
                 long count) {
    const std::string script = folder + "/isql-round.sql";
    {
        std::ofstream out(script, std::ios::binary | std::ios::trunc);
        for (long id = first; id < first + count; ++id)
            out << insertStatement("bench_isql", id) << ";\ncommit;\n";
    }
    const std::string command = "isql-fb -q -user sysdba -password '" + password + "' -i '" + script + "' '" +
                                name + "' >/dev/null 2>&1";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0)
        throw std::runtime_error("isql-fb failed");
    return seconds;
}

double updaterRound(const std::string& programFolder, long first, long count) {
    std::string content;
    for (long id = first; id < first + count; ++id)
        content += insertStatement("bench_run", id) + "\r\n";
    const auto window = connectedWindow(programFolder);
    Model& model = window->model;
    model.tmem.open();
    model.tmem.append();
    model.tmem.setNom("SQL_BENCH");
    model.tmem.setPc(100);
    model.tmem.setEtat("Transmis");
    model.tmem.post();

    const auto start = Clock::now();
    runScriptPackage(model, content);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    model.IB.close();
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s HOST PASSWORD WORK_FOLDER [STATEMENTS] [ROUNDS]\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    const std::string host = argv[1];
    const std::string password = argv[2];
    const std::string folder = argv[3];
    const long statements = argc > 4 ? std::atol(argv[4]) : 10000;
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 3;
    const std::string database = folder + "/kliso.ib";
    const std::string name = host + ":" + database;
    const std::string programFolder = folder + "/program/";

    test::createClinicDatabase(name, password);
    test::execute(name, password,
                  {"insert into setup (nom, client) values ('Clinique de mesure', 'C0001')",
                   "create table bench_isql (id integer, txt varchar(60))",
                   "create table bench_run (id integer, txt varchar(60))"});
    std::filesystem::create_directories(programFolder);
    std::ofstream(programFolder + "kliso.ini", std::ios::binary)
        << "SERVEUR=" << host << "\r\nDATABASE=" << database << "\r\nbeta=N\r\n";

    std::printf("%ld statements per round, each committed, through %s\n", statements, host.c_str());
    std::printf("%-6s %14s %14s %8s\n", "round", "isql-fb st/s", "updater st/s", "ratio");
    double bestIsql = 0;
    double bestUpdater = 0;
    double sumIsql = 0;
    double sumUpdater = 0;
    for (int round = 0; round < rounds; ++round) {
        const long first = round * statements;
        const double isqlSeconds = isqlRound(name, password, folder, first, statements);
        const double updaterSeconds = updaterRound(programFolder, first, statements);
        const double isqlRate = statements / isqlSeconds;
        const double updaterRate = statements / updaterSeconds;
        bestIsql = std::max(bestIsql, isqlRate);
        bestUpdater = std::max(bestUpdater, updaterRate);
        sumIsql += isqlSeconds;
        sumUpdater += updaterSeconds;
        std::printf("%-6d %14.0f %14.0f %7.1f%%\n", round + 1, isqlRate, updaterRate,
                    100.0 * updaterRate / isqlRate);
    }
    const double totalIsql = statements * rounds / sumIsql;
    const double totalUpdater = statements * rounds / sumUpdater;
    std::printf("%-6s %14.0f %14.0f %7.1f%%\n", "all", totalIsql, totalUpdater,
                100.0 * totalUpdater / totalIsql);
    std::printf("%-6s %14.0f %14.0f %7.1f%%\n", "best", bestIsql, bestUpdater,
                100.0 * bestUpdater / bestIsql);

    // A statement that failed would be passed over in silence and look fast: check every row arrived.
    const long isqlRows = std::stol(test::queryValue(name, password, "select count(*) from bench_isql"));
    const long updaterRows = std::stol(test::queryValue(name, password, "select count(*) from bench_run"));
    std::printf("rows: isql-fb %ld, updater %ld (expected %ld each)\n", isqlRows, updaterRows,
                statements * rounds);
    if (isqlRows != statements * rounds || updaterRows != statements * rounds)
        return 1;
    return totalUpdater >= totalIsql ? 0 : 1;
}
