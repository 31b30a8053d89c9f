// The download and saving of a large package by the real window (offscreen), from the start of its
// GET to "Fichier sauvé", against curl fetching the same file from the same loopback server; with
// the window's peak memory over its resting size, and what its repaints cost. Prints its figures.
//   download_bench --make-package FILE BYTES
//   download_bench HOST PASSWORD WORK_FOLDER PACKAGE_FILE [ROUNDS]
// HOST is the Firebird server of the clinic database; the package is fetched from the public web
// host (localhost:18081), where run.sh starts package_file_server.
#include "ConnectionSecrets.h"
#include "FirebirdFixtures.h"
#include "Fonction.h"
#include "ServiceHosts.h"
#include "Windows1252.h"
#include "ZipWriter.h"
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
constexpr double kMiB = 1024.0 * 1024.0;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
double statusBytes(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) * 1024.0;
    }
    throw std::runtime_error("no " + field + " in /proc/self/status");
}

// Starts the peak resident size afresh from the present one.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The window, with a stop-watch on the lines and repaints of the transfer.
class MeasuredWindow : public TFtpform {
public:
    using TFtpform::TFtpform;

    void appendLog(std::string_view text) override {
        if (text.starts_with("Transfert de ")) {
            resetPeakMemory();
            restingBytes = statusBytes("VmRSS");
            repaints = 0;
            repaintSeconds = 0;
            messagePasses = 0;
            messageSeconds = 0;
            started = Clock::now();
            measuring = true;
        }
        TFtpform::appendLog(text);
        if (text.starts_with("Tentative de sauver sur ") && measuring)
            getSeconds = secondsSince(started);
        if (text == fr("Fichier sauvé") && measuring) {
            downloadSeconds = secondsSince(started);
            peakBytes = statusBytes("VmHWM");
            measuring = false;
        }
        if (text.starts_with("Compte:"))
            connected = true;
    }
    void repaintNow() override {
        const auto start = Clock::now();
        TFtpform::repaintNow();
        if (measuring) {
            ++repaints;
            repaintSeconds += secondsSince(start);
        }
    }
    void processMessages() override {
        const auto start = Clock::now();
        TFtpform::processMessages();
        if (measuring) {
            ++messagePasses;
            messageSeconds += secondsSince(start);
        }
    }

    bool connected = false;
    bool measuring = false;
    Clock::time_point started;
    double downloadSeconds = 0;
    double getSeconds = 0; // until the whole body is in its file, before the check and the rename
    double restingBytes = 0;
    double peakBytes = 0;
    int repaints = 0;
    double repaintSeconds = 0;
    long messagePasses = 0;
    double messageSeconds = 0;
};

std::string packageUrl(const std::string& packageFile) {
    return std::string("http://") + hosts::kPublicWebHost + "/kliso/update/" +
           std::filesystem::path(packageFile).filename().string();
}

int makePackage(const std::string& file, size_t bytes) {
    std::string noise(bytes, '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i + 8 <= noise.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(noise.data() + i, &state, 8);
    }
    // The first entry is the package content; the large second one is only carried.
    platform::ZipWriter writer(secrets::kPackagePassword);
    writer.addEntry("lisezmoi.txt", "Paquet de mesure\r\n");
    writer.addEntry("bruit.bin", std::move(noise));
    writer.writeTo(file);
    std::printf("%s: %.1f MiB\n", file.c_str(), std::filesystem::file_size(file) / kMiB);
    return 0;
}

void createClinicDatabase(const std::string& name, const std::string& password) {
    test::createClinicDatabase(name, password);
    test::execute(name, password,
                  {"insert into setup (nom, client, maj) values ('Clinique de mesure', 'C0001', "
                   "'2004-05-11 14:03:22')"});
}

struct CurlResult {
    double seconds = 0; // curl's own time_total
    double wallSeconds = 0;
    double bytes = 0;
};

CurlResult curlRound(const std::string& url, const std::string& outFile) {
    const std::string command =
        "curl -s --noproxy '*' -o '" + outFile + "' -w '%{time_total} %{size_download}' '" + url + "'";
    const auto start = Clock::now();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        throw std::runtime_error("cannot start curl");
    CurlResult result;
    if (std::fscanf(pipe.get(), "%lf %lf", &result.seconds, &result.bytes) != 2)
        throw std::runtime_error("curl gave no figures");
    pipe.reset();
    result.wallSeconds = secondsSince(start);
    std::filesystem::remove(outFile);
    return result;
}

struct WindowResult {
    double seconds = 0;
    double getSeconds = 0;
    double restingBytes = 0;
    double peakBytes = 0;
    int repaints = 0;
    double repaintSeconds = 0;
    long messagePasses = 0;
    double messageSeconds = 0;
    std::string etat;
};

WindowResult windowRound(const std::string& programFolder, std::int32_t packageSize) {
    auto window = std::make_unique<MeasuredWindow>(programFolder + "maj_kliso.exe");
    window->show();
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!window->connected && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window->connected)
        throw std::runtime_error("the window did not connect to the clinic database");
    // The run is started by hand here, not by the countdown and the exchange.
    window->stopCountdown();
    window->setChecked(CheckBoxId::DirectConnection, false);
    window->HTTP.setProxy("", 0);

    PackageTable& tmem = window->model.tmem;
    tmem.open();
    tmem.append();
    tmem.setNom("BENCH");
    tmem.setDescription("Paquet de mesure");
    // A package whose date is already recorded counts as installed by another workstation and is
    // passed over: each round offers a later one.
    static int round = 0;
    ++round;
    char dates[32];
    std::snprintf(dates, sizeof dates, "2024.01.%02d 03:04:05", 1 + round % 28);
    tmem.setDates(dates);
    tmem.setTaille(packageSize);
    tmem.post();
    window->setGaugeMaximum(GaugeId::AllFiles, packageSize);

    window->Button3Click();

    WindowResult result;
    result.seconds = window->downloadSeconds;
    result.getSeconds = window->getSeconds;
    result.restingBytes = window->restingBytes;
    result.peakBytes = window->peakBytes;
    result.repaints = window->repaints;
    result.repaintSeconds = window->repaintSeconds;
    result.messagePasses = window->messagePasses;
    result.messageSeconds = window->messageSeconds;
    result.etat = tmem.row(0).etat;
    if (result.seconds <= 0)
        throw std::runtime_error("the window did not save the package");
    window->close();
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--make-package")
        return makePackage(argv[2], std::stoull(argv[3]));
    if (argc < 5) {
        std::fprintf(
            stderr,
            "usage: %s --make-package FILE BYTES\n       %s HOST PASSWORD WORK_FOLDER PACKAGE [ROUNDS]\n",
            argv[0], argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("maj_kliso");
    const std::string host = argv[1];
    const std::string password = argv[2];
    const std::string work = argv[3];
    const std::string packageFile = argv[4];
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 5;
    const auto packageSize = static_cast<std::int32_t>(std::filesystem::file_size(packageFile));
    const std::string url = packageUrl(packageFile);

    const std::string programFolder = work + "/program/";
    std::filesystem::create_directories(programFolder);
    const std::string database = work + "/kliso.ib";
    createClinicDatabase(host + ":" + database, password);
    std::ofstream(programFolder + "kliso.ini", std::ios::binary)
        << "SERVEUR=" << host << "\r\nDATABASE=" << database << "\r\nbeta=N\r\n";

    std::printf("package %s: %.1f MiB, %d rounds; the window is timed from \"Transfert de\" (just before its "
                "GET) to\n"
                "\"Fichier sauv\xC3\xA9\", curl by its own time_total\n",
                url.c_str(), packageSize / kMiB, rounds);
    // A first round of each, not counted: it brings the server's file into the page cache and lets
    // each client meet fresh memory once (on a virtual machine its first touch costs far more).
    {
        const CurlResult curl = curlRound(url, work + "/curl.zip");
        const WindowResult window = windowRound(programFolder, packageSize);
        std::printf("warm-up, not counted: curl %.0f MiB/s, window %.0f MiB/s (get %.3f s, save %.3f s)\n",
                    curl.bytes / kMiB / curl.seconds, packageSize / kMiB / window.seconds, window.getSeconds,
                    window.seconds - window.getSeconds);
    }
    std::printf("%-6s %12s %12s %12s %8s %10s %10s %9s %9s\n", "round", "curl MiB/s", "(wall)",
                "window MiB/s", "ratio", "peak+MiB", "limit MiB", "repaints", "paint s");
    std::vector<double> curlRates;
    std::vector<double> windowRates;
    std::vector<double> growths;
    for (int round = 1; round <= rounds; ++round) {
        const CurlResult curl = curlRound(url, work + "/curl.zip");
        const WindowResult window = windowRound(programFolder, packageSize);
        const double curlRate = curl.bytes / kMiB / curl.seconds;
        const double curlWallRate = curl.bytes / kMiB / curl.wallSeconds;
        const double windowRate = packageSize / kMiB / window.seconds;
        const double growth = window.peakBytes - window.restingBytes;
        curlRates.push_back(curlRate);
        windowRates.push_back(windowRate);
        growths.push_back(growth);
        std::printf("%-6d %12.0f %12.0f %12.0f %7.1f%% %10.1f %10.1f %9d %9.3f  (get %.3f s, save %.3f s; "
                    "%ld message passes, %.3f s; %s)\n",
                    round, curlRate, curlWallRate, windowRate, 100.0 * windowRate / curlRate, growth / kMiB,
                    1.05 * packageSize / kMiB, window.repaints, window.repaintSeconds, window.getSeconds,
                    window.seconds - window.getSeconds, window.messagePasses, window.messageSeconds,
                    utf8FromCp1252(window.etat).c_str());
    }
    const double curlMedian = median(curlRates);
    const double windowMedian = median(windowRates);
    const double worstGrowth = *std::max_element(growths.begin(), growths.end());
    std::printf("median: curl %.0f MiB/s, window %.0f MiB/s: %.1f%% (at least 100%% wanted)\n", curlMedian,
                windowMedian, 100.0 * windowMedian / curlMedian);
    std::printf(
        "largest peak over resting size: %.1f MiB for a %.1f MiB package: %.2f times (at most 1.05 wanted)\n",
        worstGrowth / kMiB, packageSize / kMiB, worstGrowth / packageSize);
    const bool fastEnough = windowMedian >= curlMedian;
    const bool smallEnough = worstGrowth <= 1.05 * packageSize;
    return fastEnough && smallEnough ? 0 : 1;
}
