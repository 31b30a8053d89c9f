// The console's index of a large reports folder: writes REPORTS synthetic client reports of CODES
// clinics (the updater's lines: address, a fax line over three months, two sites, a dozen users),
// builds the index from the files, then moves every report file away and answers the clinic list,
// so that the list's time is that of the index alone.
//   console_index_bench FOLDER [REPORTS] [CODES]
// Last line: "RESULT name=value ..." for scripts/bench.
#include "DateTime.h"
#include "ReportIndex.h"
#include "Windows1252.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace halvio::tools::console;

namespace {

constexpr const char* kToday = "2026.12.10";
// Runs of the clinic list; the median is reported.
constexpr int kListRuns = 7;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string two(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string reportBytes(int clinic, int report, std::mt19937& random) {
    const std::string code = "C" + std::to_string(10000 + clinic);
    const halvio::DateTime received = halvio::addDays({2026, 10, 1, 8, 0, 0}, report + clinic % 20);
    std::string text = halvio::fr(
        "update client set adres1='" + std::to_string(clinic) + " rue des Érables',adres2='',ville='" +
        (clinic % 3 ? "Québec" : "Trois-Rivières") + "',postal='G1A 1A1',PROV='QC'," +
        "REGION='03',TEL='418 555-0100',TEL2='',FAX='418 555-0101',CONTACT='Réception'," +
        "COURRIEL='',MAJ='" + halvio::DateToText(halvio::addDays(received, -1)) + "' WHERE CODE='" + code +
        "     '\r\n");
    text += "FAX=";
    for (int site = 1; site <= 2; ++site)
        for (int day = 90; day >= 2; --day)
            if (random() % 3 != 0)
                text += std::to_string(site) + "~" + halvio::DateToText(halvio::addDays(received, -day)) +
                        "~" + std::to_string(1 + random() % 30) + "|";
    text += "\r\n";
    text +=
        halvio::fr("SITE=1~Clinique " + std::to_string(clinic) +
                   "~1 rue des Érables~Québec~418 555-0101~FX1~"
                   "Clinique~418 555-0100|2~Point de service Lévis~2 rue~Lévis~418 555-0102~FX2~Lévis~|\r\n");
    for (int user = 1; user <= 12; ++user) {
        const halvio::DateTime access = halvio::addDays(received, -static_cast<int>(random() % 60));
        text += "id=" + std::to_string(user) + halvio::fr("|nom=MÉDECIN ") + std::to_string(user) +
                "|titre=Dr|vigilance=" + (user % 2 ? "O" : "N") +
                "|Dernacces=" + halvio::DateTimeText(access).substr(0, 16) + "    \r\n";
    }
    return text;
}

std::string fileName(int clinic, int report) {
    const halvio::DateTime at = halvio::addDays({2026, 10, 1, 8, 0, 0}, report + clinic % 20);
    return "C" + std::to_string(10000 + clinic) + "_" + std::to_string(at.year) + two(at.month) +
           two(at.day) + "-" + two(at.hour) + two(at.minute) + two(clinic % 60) + "_1.maj";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: console_index_bench FOLDER [REPORTS] [CODES]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int reports = argc > 2 ? std::stoi(argv[2]) : 100000;
    const int codes = argc > 3 ? std::stoi(argv[3]) : 2000;
    const fs::path folder = root / "reports", away = root / "away";
    fs::create_directories(folder);
    fs::create_directories(away);

    auto start = std::chrono::steady_clock::now();
    std::mt19937 random(42);
    std::uint64_t bytes = 0;
    for (int i = 0; i < reports; ++i) {
        const int clinic = i % codes, report = i / codes;
        const std::string body = reportBytes(clinic, report, random);
        std::ofstream(folder / fileName(clinic, report), std::ios::binary) << body;
        bytes += body.size();
    }
    std::printf("wrote %d reports of %d clinics, %.0f MiB, in %.1f s\n", reports, codes, bytes / 1048576.0,
                secondsSince(start));

    start = std::chrono::steady_clock::now();
    ReportIndex index(folder);
    const double build = secondsSince(start);
    const IndexSync sync = index.openSync();
    std::printf("index built from the files: %zu reports read in %.2f s, %.0f reports/s (%.1f MiB/s)\n",
                sync.read, build, sync.read / build, bytes / 1048576.0 / build);

    for (const fs::directory_entry& entry :
         std::vector<fs::directory_entry>(fs::directory_iterator(folder), {}))
        if (entry.path().extension() == ".maj")
            fs::rename(entry.path(), away / entry.path().filename());
    std::printf("report files moved away: the list below answers from %s alone\n",
                (folder / ReportIndex::kIndexFileName).c_str());

    ClinicQuery query;
    query.today = kToday;
    query.sortBy = ClinicColumn::Faxes;
    query.descending = true;
    std::vector<double> times;
    size_t listed = 0;
    for (int run = 0; run < kListRuns; ++run) {
        start = std::chrono::steady_clock::now();
        listed = index.clinics(query).size();
        times.push_back(secondsSince(start) * 1000);
    }
    std::sort(times.begin(), times.end());
    const double listMs = times[times.size() / 2];
    query.search = "trois-rivi";
    start = std::chrono::steady_clock::now();
    const size_t found = index.clinics(query).size();
    const double searchMs = secondsSince(start) * 1000;
    start = std::chrono::steady_clock::now();
    const auto detail = index.clinic("C10007", kToday);
    const double clinicMs = secondsSince(start) * 1000;
    std::printf(
        "clinic list of %zu clinics, sorted by faxes: median %.1f ms of %d (fastest %.1f, slowest %.1f)\n",
        listed, listMs, kListRuns, times.front(), times.back());
    std::printf(
        "search \"trois-rivi\": %zu clinics in %.1f ms; one clinic's page data: %zu reports, %zu fax days "
        "in %.1f ms\n",
        found, searchMs, detail ? detail->reports.size() : 0, detail ? detail->faxes.size() : 0, clinicMs);
    const bool whole =
        sync.read == static_cast<size_t>(reports) && listed == static_cast<size_t>(codes) && detail;
    std::printf("RESULT index_reports_per_s=%.0f clinic_list_ms=%.1f reports=%zu clinics=%zu complete=%s\n",
                sync.read / build, listMs, sync.read, listed, whole ? "yes" : "no");
    return whole ? 0 : 1;
}
