// What the person in front of the workstation feels during a whole run of the real window (offscreen):
// a timer of 10 ms runs on the window's thread from the start to the close, and each tick records
// how late it came. A tick is late by as long as the window processed no message; the longest gap
// is the longest the window stood frozen. Figures per phase of the run: median and 99th percentile
// of the lateness, longest stall.
//   resp_bench prepare WORK_FOLDER [DOWNLOAD_BYTES [STATEMENTS]]   the catalog the service serves
//   resp_bench run HOST PASSWORD WORK_FOLDER [DIAG_ROWS [without-idle]]   the run, against that service
// "without-idle" takes the window's idle function from the database and the package reader, as they
// were before the window went on answering during their long calls: the figures of then.
// The phases are told apart by the window's own operations (log lines, repaints, gauges, the DIAG
// notice, the state words of the package grid), seen from a subclass of the window: the run itself
// is the program's, untouched.
#include "FirebirdFixtures.h"
#include "PackageGridModel.h"
#include "PackageTable.h"
#include "UiText.h"
#include "Windows1252.h"
#include "ZipWriter.h"
#include "ftp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace halvio;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The interval of the probe: a window that answers runs it on time, give or take a few ms.
constexpr auto kTick = std::chrono::milliseconds(10);
// A whole run here takes about a minute; one that has not closed after this has failed.
constexpr auto kRunLimit = std::chrono::minutes(8);

const char* const kClient = "C0001";
const char* const kBigPackage = "GROS_PAQUET";
const char* const kScriptPackage = "SQL_BENCH";

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string noise(size_t bytes) {
    std::string text(bytes, '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i + 8 <= text.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(text.data() + i, &state, 8);
    }
    return text;
}

void writePackage(const fs::path& file, std::string content) {
    platform::ZipWriter writer("-vorpa");
    writer.addEntry("contenu", std::move(content));
    writer.writeTo(file.string());
}

// The catalog of the update service: a large plain package (downloaded, unpacked, recorded whole), a
// script of STATEMENTS inserts, and UPDATEDIAG.
int prepare(const fs::path& work, size_t downloadBytes, long statements) {
    const fs::path catalog = work / "catalog";
    fs::create_directories(catalog / "packages");
    fs::create_directories(catalog / "clients");
    writePackage(catalog / "packages" / "gros_paquet.zip", noise(downloadBytes));
    std::string script;
    for (long id = 0; id < statements; ++id)
        script += "insert into bench_run (id, txt) values (" + std::to_string(id) + ", 'ligne " +
                  std::to_string(id) + "')\r\n";
    writePackage(catalog / "packages" / "sql_bench.zip", script);
    writePackage(catalog / "packages" / "updatediag.zip", "UPDATEDIAG\r\n");
    std::ofstream(catalog / "packages.txt", std::ios::binary)
        << kBigPackage << "|2026.01.02 03:04:05|Paquet de mesure\n"
        << kScriptPackage << "|2026.01.02 03:04:05|Script de mesure\n"
        << "UPDATEDIAG|2026.01.02 03:04:05|Renumerotation\n";
    std::ofstream(catalog / "clients" / (std::string(kClient) + ".txt"), std::ios::binary)
        << "nom=Clinique de mesure\r\nescompte=0\r\nID=1\r\n";
    std::printf("catalog in %s: package of %.0f MiB, script of %ld statements\n", catalog.c_str(),
                fs::file_size(catalog / "packages" / "gros_paquet.zip") / 1048576.0, statements);
    return 0;
}

void createClinic(const std::string& host, const std::string& password, const std::string& folder,
                  int diagRows) {
    const std::string clinic = host + ":" + folder + "/kliso.ib";
    test::createClinicDatabase(clinic, password);
    test::createFaxDatabase(host + ":" + folder + "/fax.ib", password);
    test::execute(
        clinic, password,
        {"insert into setup (nom, client, maj) values ('Clinique de mesure', '" + std::string(kClient) +
             "', '2004-05-11 14:03:22')",
         "create table bench_run (id integer, txt varchar(60))",
         "execute block as declare i integer = 0; begin while (i < " + std::to_string(diagRows) +
             ") do begin insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values "
             "('Diagnostic ' || :i, mod(:i, 9999), mod(:i, 40), iif(mod(:i, 50) = 0, null, "
             "'2004.03.07'), 'Otite moyenne aigue de l''oreille ' || :i, iif(mod(:i, 10) = 0, null, "
             "'Suivi du patient: revoir dans deux semaines, l''examen ' || :i)); i = i + 1; end end"});
}

// The window, telling the harness where the run stands. Each override calls the window's own.
class ObservedWindow : public TFtpform {
public:
    explicit ObservedWindow(const std::string& programFile) : TFtpform(programFile) {
        // The grid keeps its listener; the state words of the rows are read after it.
        model.tmem.setChangeListener([this] {
            layout.gridModel->refresh();
            const PackageTable& tmem = model.tmem;
            if (!tmem.eof())
                stateWord(tmem.current().etat);
        });
    }

    struct Mark {
        Clock::time_point at;
        std::string phase;
    };
    std::vector<Mark> marks;
    bool closed = false;

    void appendLog(std::string_view text) override {
        TFtpform::appendLog(text);
        const std::string line(text);
        if (line.starts_with("Compte:"))
            enter("attente (compte a rebours)");
        else if (line == "Transfert des fichiers...")
            enter("transfert: debut");
        else if (line.starts_with("Transfert de ")) {
            m_package = line.substr(13);
            enter(m_package == kBigPackage ? "telechargement 256 Mio"
                                           : "paquet " + m_package + ": telechargement");
        } else if (line.starts_with("Tentative de sauver sur ") && m_package == kBigPackage)
            enter("ecriture du fichier");
        else if (line == fr("Fichier sauvé")) {
            m_afterSave = true;
            enter(m_package == kBigPackage ? "decompression du gros paquet"
                                           : "paquet " + m_package + ": decompression");
        } else if (line == fr("Mise à jour terminer. fermeture dans 10 secondes."))
            enter("fermeture (10 s puis fin)");
    }
    void repaintNow() override {
        TFtpform::repaintNow();
        // After a package is saved, the first repaint once its file is gone (unpacked, then deleted)
        // ends its unpacking.
        if (!m_afterSave || fs::exists(packageFile()))
            return;
        m_afterSave = false;
        if (m_package == kBigPackage)
            enter("enregistrement du gros paquet (blob)");
        else if (m_package == kScriptPackage)
            enter("script 10 000 instructions");
        else
            enter("paquet " + m_package + ": enregistrement");
    }
    void stopCountdown() override {
        TFtpform::stopCountdown();
        if (!marks.empty() && marks.back().phase.starts_with("attente"))
            enter("echange du rapport");
    }
    void setPanelVisible(PanelId panel, bool visible) override {
        TFtpform::setPanelVisible(panel, visible);
        if (panel != PanelId::DiagNotice)
            return;
        m_inDiag = visible;
        enter(visible ? "DIAG: alter table" : "apres DIAG (fin du paquet, SETUP.MAJ)");
    }
    void setGaugeMaximum(GaugeId gauge, std::int32_t value) override {
        TFtpform::setGaugeMaximum(gauge, value);
        if (m_inDiag && gauge == GaugeId::CurrentFile && marks.back().phase == "DIAG: trigger, count(*)")
            enter("DIAG: max(desc_spec), ouverture de la lecture");
    }
    void setGaugeProgress(GaugeId gauge, std::int32_t value) override {
        TFtpform::setGaugeProgress(gauge, value);
        if (m_inDiag && gauge == GaugeId::CurrentFile && value > 0 && value >= gaugeMaximum(gauge) &&
            marks.back().phase == "DIAG: copie des lignes")
            enter("DIAG: commit, delete des anciennes lignes");
    }
    void closeWindow() override {
        TFtpform::closeWindow();
        closed = true;
    }

    void enter(std::string phase) {
        if (marks.empty() || marks.back().phase != phase)
            marks.push_back({Clock::now(), std::move(phase)});
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        TFtpform::closeEvent(event);
        closed = true;
    }

private:
    void stateWord(const std::string& etat) {
        if (!m_inDiag)
            return;
        static const std::map<std::string, std::string> kDiagPhases = {
            {"Generator", "DIAG: create generator"},
            {"diag=-1", "DIAG: marquage (update id=-1)"},
            {"trigger", "DIAG: trigger, count(*)"},
            {"Installation", "DIAG: copie des lignes"},
        };
        if (const auto found = kDiagPhases.find(etat); found != kDiagPhases.end())
            enter(found->second);
    }

    fs::path packageFile() const {
        std::string name = m_package;
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return fs::path(context.programFolder) / "update" / (name + ".zip");
    }

    std::string m_package;
    bool m_afterSave = false;
    bool m_inDiag = false;
};

struct Tick {
    Clock::time_point previous;
    Clock::time_point now;
};

struct PhaseFigures {
    std::string name;
    double seconds = 0;
    std::vector<double> lateness; // ms
    double longestStall = 0;      // ms
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// A tick's lateness belongs to the phase in which the middle of its wait fell: a stall is one call
// that blocked, and the marks are set between calls.
std::vector<PhaseFigures> figuresPerPhase(const std::vector<ObservedWindow::Mark>& marks,
                                          const std::vector<Tick>& ticks, Clock::time_point start,
                                          Clock::time_point end) {
    std::vector<ObservedWindow::Mark> all{{start, "connexion au demarrage"}};
    all.insert(all.end(), marks.begin(), marks.end());
    std::vector<PhaseFigures> phases;
    for (size_t i = 0; i < all.size(); ++i) {
        const auto until = i + 1 < all.size() ? all[i + 1].at : end;
        phases.push_back({all[i].phase, std::chrono::duration<double>(until - all[i].at).count(), {}, 0});
    }
    size_t phase = 0;
    for (const Tick& tick : ticks) {
        const auto middle = tick.previous + (tick.now - tick.previous) / 2;
        while (phase + 1 < all.size() && all[phase + 1].at <= middle)
            ++phase;
        const double gap = ms(tick.now - tick.previous);
        phases[phase].lateness.push_back(std::max(0.0, gap - ms(kTick)));
        phases[phase].longestStall = std::max(phases[phase].longestStall, gap);
    }
    return phases;
}

int run(const std::string& host, const std::string& password, const fs::path& work, int diagRows,
        bool withoutIdle) {
    const fs::path program = work / "program";
    fs::create_directories(program);
    createClinic(host, password, work.string(), diagRows);
    std::ofstream(program / "kliso.ini", std::ios::binary)
        << "SERVEUR=" << host << "\r\nDATABASE=" << (work / "kliso.ib").string() << "\r\nbeta=N\r\n";

    const auto start = Clock::now();
    auto window = std::make_unique<ObservedWindow>((program / "maj_kliso.exe").string());
    if (withoutIdle) {
        window->model.IB.attachment().setIdle(nullptr);
        window->model.ibfax.attachment().setIdle(nullptr);
        window->uz.setIdle(nullptr);
        std::printf("without the idle function of the database and of the package reader\n");
    }
    std::vector<Tick> ticks;
    ticks.reserve(1 << 16);
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kTick);
    auto previous = Clock::now();
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        ticks.push_back({previous, now});
        previous = now;
    });
    probe.start();
    window->show();
    while (!window->closed && Clock::now() - start < kRunLimit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto end = Clock::now();
    probe.stop();
    if (!window->closed)
        throw std::runtime_error("the run did not end within the limit");

    const std::string log = cp1252FromQtext(window->layout.Memo2->toPlainText());
    const long rows = std::stol(test::queryValue(host + ":" + (work / "kliso.ib").string(), password,
                                                 "select count(*) from bench_run"));
    const std::string renumbered = test::queryValue(host + ":" + (work / "kliso.ib").string(), password,
                                                    "select count(*) from diag where id > 0");
    const std::string recorded =
        test::queryValue(host + ":" + (work / "kliso.ib").string(), password,
                         "select octet_length(fichier) from maj where nom='GROS_PAQUET'");

    std::printf("whole run: %.1f s, %zu ticks of %lld ms; script rows %ld, DIAG rows renumbered %s, "
                "recorded package %s bytes\n",
                std::chrono::duration<double>(end - start).count(), ticks.size(),
                static_cast<long long>(kTick.count()), rows, renumbered.c_str(), recorded.c_str());
    std::printf("%-46s %8s %7s %10s %10s %12s\n", "phase", "s", "ticks", "median ms", "p99 ms", "longest ms");
    double worstP99 = 0;
    double worstStall = 0;
    std::vector<double> allLateness;
    for (const PhaseFigures& phase : figuresPerPhase(window->marks, ticks, start, end)) {
        const double p99 = percentile(phase.lateness, 0.99);
        std::printf("%-46s %8.2f %7zu %10.1f %10.1f %12.0f%s\n", phase.name.c_str(), phase.seconds,
                    phase.lateness.size(), percentile(phase.lateness, 0.5), p99, phase.longestStall,
                    phase.longestStall > 1000 ? "  STALL > 1 s" : "");
        worstP99 = std::max(worstP99, p99);
        worstStall = std::max(worstStall, phase.longestStall);
        allLateness.insert(allLateness.end(), phase.lateness.begin(), phase.lateness.end());
    }
    std::printf("whole run: median %.1f ms, p99 %.1f ms, longest stall %.0f ms; worst phase p99 %.1f ms "
                "(goal <= 50), longest stall %.0f ms (goal <= 1000)\n",
                percentile(allLateness, 0.5), percentile(allLateness, 0.99), worstStall, worstP99,
                worstStall);
    std::printf("RESULT window_p99_ms=%.1f window_longest_stall_ms=%.0f\n", worstP99, worstStall);
    if (std::getenv("RESP_BENCH_LOG"))
        std::printf("%s\n", log.c_str());
    window.reset();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc >= 3 && std::string(argv[1]) == "prepare")
            return prepare(argv[2], argc > 3 ? std::stoull(argv[3]) : 256u << 20,
                           argc > 4 ? std::stol(argv[4]) : 10000);
        if (argc >= 5 && std::string(argv[1]) == "run") {
            QApplication application(argc, argv);
            QApplication::setApplicationName("maj_kliso");
            // The run ends with QApplication::quit(): nothing here runs the application's own loop.
            QApplication::setQuitOnLastWindowClosed(false);
            return run(argv[2], argv[3], argv[4], argc > 5 ? std::atoi(argv[5]) : 100000,
                       argc > 6 && std::string(argv[6]) == "without-idle");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "resp_bench: %s\n", error.what());
        return 1;
    }
    std::fprintf(
        stderr, "usage: %s prepare WORK [BYTES [STATEMENTS]]\n       %s run HOST PASSWORD WORK [DIAG_ROWS]\n",
        argv[0], argv[0]);
    return 2;
}
