// The DIAG migration against isql-fb: two databases with the same rows on one server; diag renumbers
// the first, isql-fb runs every statement that diag sends (the same statements in the same
// transactions) on the second. Prints the rows per second of each and their ratio.
//   diag_bench SERVER PASSWORD WORK_FOLDER [ROWS [ROUNDS]]   (SERVER: "127.0.0.1/port")

#include "DiagMigration.h"
#include "FirebirdClient.h"
#include "FirebirdFixtures.h"
#include "HttpClient.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"
#include "ZipReader.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace halvio;
using Clock = std::chrono::steady_clock;

namespace {

// The window's operations, doing nothing but keeping the gauge as the migration drives it.
class QuietView : public RunView {
public:
    void appendLog(std::string_view) override {}
    void repaintNow() override {}
    void processMessages() override {}
    void setGaugeMinimum(GaugeId g, std::int32_t v) override { m_gauges[g][0] = v; }
    void setGaugeMaximum(GaugeId g, std::int32_t v) override { m_gauges[g][1] = v; }
    void setGaugeProgress(GaugeId g, std::int32_t v) override {
        m_gauges[g][2] = std::min(std::max(v, m_gauges[g][0]), m_gauges[g][1]);
    }
    std::int32_t gaugeMinimum(GaugeId g) const override { return m_gauges.at(g)[0]; }
    std::int32_t gaugeMaximum(GaugeId g) const override { return m_gauges.at(g)[1]; }
    std::int32_t gaugeProgress(GaugeId g) const override { return m_gauges.at(g)[2]; }
    void setPanelVisible(PanelId, bool) override {}
    bool isChecked(CheckBoxId) const override { return false; }
    void setChecked(CheckBoxId, bool) override {}
    std::string caption() const override { return {}; }
    void setCaption(std::string_view) override {}
    void setStartCaption(std::string_view) override {}
    void setStartEnabled(bool) override {}
    void setClientMajCaption(std::string_view) override {}
    void setMigrationPercentCaption(std::string_view) override {}
    void setStatusText(std::string_view) override {}
    void startCountdown() override {}
    void stopCountdown() override {}
    void startCloseTimer() override {}
    int showMessageForm(std::string_view, int) override { return 0; }
    void showInformation(std::string_view, std::string_view) override {}
    void showPlainMessage(std::string_view, std::string_view) override {}
    void closeWindow() override {}

private:
    std::map<GaugeId, std::array<std::int32_t, 3>> m_gauges{{GaugeId::CurrentFile, {0, 100, 0}},
                                                            {GaugeId::AllFiles, {0, 100, 0}}};
};

// A clinic's DIAG: codes, short and long descriptions, some with quotes, a few NULLs.
void createDiag(const std::string& name, const std::string& password, int rows) {
    platform::FbAttachment::createDatabase(name, "sysdba", password);
    test::execute(name, password,
        {"CREATE TABLE DIAG (DIAG CHAR(30), CODE CHAR(4), MD INTEGER, DATES CHAR(10), DESC_RAMQ CHAR(100), "
         "DESC_SPEC BLOB SUB_TYPE TEXT)",
         "execute block as declare i integer = 0; begin while (i < " + std::to_string(rows) +
             ") do begin insert into diag values ('Diagnostic ' || :i, mod(:i, 9999), mod(:i, 40), "
             "iif(mod(:i, 50) = 0, null, '2004.03.07'), 'Otite moyenne aigue de l''oreille ' || :i, "
             "iif(mod(:i, 10) = 0, null, 'Suivi du patient: revoir dans deux semaines, l''examen ' || :i)); "
             "i = i + 1; end end"});
}

// Every statement diag sends, in order and with the same commits, as an isql-fb script: the three
// objects each committed, then the marking, the copies and the delete in one transaction that
// alone writes DIAG. The inserts are built from the rows as they stand before the migration,
// which is what diag copies.
void writeIsqlScript(const std::string& name, const std::string& password, const std::string& path) {
    platform::FbAttachment attachment;
    attachment.attach(name, "sysdba", password);
    platform::FbTransaction transaction(attachment, platform::TransactionOptions::serverDefault());
    platform::FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare("select * from diag;");
    statement.execute();
    std::ofstream script(path, std::ios::binary);
    // The trigger's body holds semicolons.
    script << "SET TERM ^ ;\n"
           << "ALTER TABLE DIAG ADD ID INTEGER ^\ncommit^\n"
           << "CREATE GENERATOR GEN_DIAG_ID ^\ncommit^\n"
           << "CREATE TRIGGER DIAG_BI FOR DIAG ACTIVE BEFORE INSERT POSITION 0 AS BEGIN IF (NEW.ID IS NULL) "
              "THEN "
              "NEW.ID = GEN_ID(GEN_DIAG_ID,1); END;^\ncommit^\n"
           << "SET TRANSACTION WAIT LOCK TIMEOUT 1 RESERVING DIAG FOR PROTECTED WRITE^\n"
           << "Update diag set id=-1 ^\n"
           << "select count(*) as marked, max(octet_length(desc_spec)) as longest from diag^\n";
    auto text = [&](const char* column) { return statement.asText(*statement.findColumn(column)); };
    while (statement.fetch()) {
        script << diagCopyStatement(
                      {text("DIAG"), text("CODE"), text("DATES"), text("DESC_RAMQ"), text("DESC_SPEC")})
               << "^\n";
    }
    script << "delete from diag where id =-1^\nselect count(*) from diag^\ncommit^\n";
}

// CPU seconds (user and system) used so far by this process or by its waited-for children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double seconds(Clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

struct Timing {
    double seconds = 0;
    double cpu = 0; // the client's own CPU seconds
};

Timing timeDiag(const std::string& name, const std::string& password, const std::string& work) {
    QuietView view;
    Model model(view);
    model.IB.setConnectionName(name);
    model.IB.setPassword(password);
    platform::HttpClient http;
    platform::HttpClient httplocal;
    platform::ZipReader uz;
    RunContext context{view, model, http, httplocal, uz, work + "/maj_kliso.exe", work + "/", 0, {}, {}, {}};

    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    diag(context);
    Timing timing{seconds(Clock::now() - start), cpuSeconds(RUSAGE_SELF) - cpuStart};
    model.IB.close();
    return timing;
}

Timing timeIsql(const std::string& name, const std::string& password, const std::string& script) {
    const std::string command =
        "isql-fb -q -user sysdba -password '" + password + "' -i '" + script + "' '" + name + "' >/dev/null";
    const double cpuStart = cpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    Timing timing{seconds(Clock::now() - start), cpuSeconds(RUSAGE_CHILDREN) - cpuStart};
    if (status != 0)
        throw std::runtime_error("isql-fb failed with status " + std::to_string(status));
    return timing;
}

void checkRenumbered(const std::string& label, const std::string& name, const std::string& password,
                     int rows) {
    const std::string count = test::queryValue(name, password, "select count(*) from diag where id > 0");
    if (count != std::to_string(rows))
        throw std::runtime_error(label + " left " + count + " renumbered rows instead of " +
                                 std::to_string(rows));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: diag_bench SERVER PASSWORD WORK_FOLDER [ROWS [ROUNDS]]\n";
        return 2;
    }
    const std::string server = argv[1];
    const std::string password = argv[2];
    const std::string work = argv[3];
    const int rows = argc > 4 ? std::atoi(argv[4]) : 100000;
    const int rounds = argc > 5 ? std::max(1, std::atoi(argv[5])) : 3;

    try {
        std::vector<double> diagRates, isqlRates, ratios;
        std::printf("%d rows per database, %d rounds; each round alternates which one runs first\n", rows,
                    rounds);
        for (int round = 0; round < rounds; ++round) {
            const std::string migrated = server + ":" + work + "/diag" + std::to_string(round) + ".fdb";
            const std::string scripted = server + ":" + work + "/isql" + std::to_string(round) + ".fdb";
            const std::string script = work + "/copy" + std::to_string(round) + ".sql";
            createDiag(migrated, password, rows);
            createDiag(scripted, password, rows);
            writeIsqlScript(scripted, password, script);

            // The machine is shared: alternating the order spreads a burst of load over both.
            Timing d, i;
            if (round % 2 == 0) {
                d = timeDiag(migrated, password, work);
                i = timeIsql(scripted, password, script);
            } else {
                i = timeIsql(scripted, password, script);
                d = timeDiag(migrated, password, work);
            }
            checkRenumbered("diag", migrated, password, rows);
            checkRenumbered("isql-fb", scripted, password, rows);

            diagRates.push_back(rows / d.seconds);
            isqlRates.push_back(rows / i.seconds);
            ratios.push_back(100.0 * diagRates.back() / isqlRates.back());
            std::printf(
                "round %d: diag %7.3f s %6.0f rows/s (client CPU %.2f s) | isql-fb %7.3f s %6.0f rows/s "
                "(client CPU %.2f s) | %5.1f %%\n",
                round + 1, d.seconds, diagRates.back(), d.cpu, i.seconds, isqlRates.back(), i.cpu,
                ratios.back());
        }
        std::printf("median:  diag %6.0f rows/s, isql-fb %6.0f rows/s, diag at %.1f %% of isql-fb (target >= "
                    "100 %%)\n",
                    median(diagRates), median(isqlRates), median(ratios));
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "diag_bench: " << error.what() << "\n";
        return 1;
    }
}
