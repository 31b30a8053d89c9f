// Many clinics at once against a server on loopback, for a bounded time. Each client is a thread that
// opens a connection per request, as the updater does (HTTP/1.0), and counts what it got.
//   service_load reports HOST PORT SECONDS CLIENTS SERVICE_PID REPORTS_FOLDER
//       posts client reports, each one different, samples the service's resident memory, then checks
//       that every report answered 200 is stored byte for byte.
//   service_load packages HOST PORT SECONDS CLIENTS PATH BYTES
//       fetches the package at PATH (BYTES long) again and again; prints the throughput.
// Last line: "RESULT name=value ..." for scripts/bench.
#include "FileDescriptor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// A report's size in the field: a few lines of settings, the fax counts of three months, the users.
constexpr size_t kReportBytes = 2500;
// How long the first part of a run is left out of the memory figure: pools and caches fill then.
constexpr double kWarmUpShare = 0.25;

struct Reply {
    bool ok = false;
    int status = 0;
    std::string body;
    size_t bodyBytes = 0;
};

// One HTTP/1.0 exchange; the reply's body is kept only when keepBody.
Reply exchange(const sockaddr_in& address, const std::string& request, bool keepBody) {
    Reply reply;
    halvio::platform::FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0 ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return reply;
    for (size_t sent = 0; sent < request.size();) {
        const ssize_t n = ::send(socket.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return reply;
        sent += static_cast<size_t>(n);
    }
    std::string head;
    static thread_local std::vector<char> buffer(1 << 16);
    bool inBody = false;
    for (;;) {
        const ssize_t n = ::recv(socket.get(), buffer.data(), buffer.size(), 0);
        if (n < 0)
            return reply;
        if (n == 0)
            break;
        if (inBody) {
            reply.bodyBytes += static_cast<size_t>(n);
            if (keepBody)
                reply.body.append(buffer.data(), static_cast<size_t>(n));
            continue;
        }
        head.append(buffer.data(), static_cast<size_t>(n));
        const size_t end = head.find("\r\n\r\n");
        if (end == std::string::npos)
            continue;
        inBody = true;
        reply.bodyBytes = head.size() - end - 4;
        if (keepBody)
            reply.body = head.substr(end + 4);
        head.resize(end);
    }
    if (head.size() < 12 || head.compare(0, 7, "HTTP/1.") != 0)
        return reply;
    reply.status = std::atoi(head.c_str() + 9);
    reply.ok = true;
    return reply;
}

// The report of client `client`, its `sequence`th: a first line naming it, then bytes that follow
// from the name, so that a stored file can be checked against what was sent.
std::string reportBody(int client, long sequence) {
    std::string body = "rapport " + std::to_string(client) + " " + std::to_string(sequence) + "\r\n";
    std::uint32_t state = static_cast<std::uint32_t>(client * 7919 + sequence * 104729 + 1);
    while (body.size() < kReportBytes) {
        state = state * 1664525u + 1013904223u;
        body += static_cast<char>(state >> 24);
    }
    return body;
}

std::string clientCode(int client) {
    char code[16];
    std::snprintf(code, sizeof code, "C%04d", client);
    return code;
}

long residentKiB(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

sockaddr_in addressOf(const std::string& host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("not a numeric IPv4 address: " + host);
    return address;
}

struct Counts {
    std::atomic<long> done{0};
    std::atomic<long> failed{0};
    std::atomic<long long> bytes{0};
};

template <typename Work> double runClients(int clients, double seconds, Work work) {
    const auto start = Clock::now();
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int client = 1; client <= clients; ++client)
        threads.emplace_back([&, client] {
            for (long sequence = 1; Clock::now() < deadline; ++sequence)
                work(client, sequence);
        });
    for (std::thread& thread : threads)
        thread.join();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int reports(const std::string& host, int port, double seconds, int clients, int servicePid,
            const fs::path& folder) {
    const sockaddr_in address = addressOf(host, port);
    Counts counts;
    std::mutex answeredMutex;
    std::set<std::pair<int, long>> answered;
    std::atomic<bool> sampling{true};
    std::vector<std::pair<double, long>> memory;
    const auto start = Clock::now();
    std::thread sampler([&] {
        while (sampling) {
            memory.emplace_back(std::chrono::duration<double>(Clock::now() - start).count(),
                                residentKiB(servicePid));
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    });
    const double elapsed = runClients(clients, seconds, [&](int client, long sequence) {
        const std::string body = reportBody(client, sequence);
        const std::string request =
            "POST /" + clientCode(client) + ".maj HTTP/1.0\r\nHost: " + host +
            "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
            body;
        const Reply reply = exchange(address, request, true);
        if (reply.ok && reply.status == 200 && reply.body.rfind("nom=", 0) == 0) {
            ++counts.done;
            const std::lock_guard lock(answeredMutex);
            answered.insert({client, sequence});
        } else {
            ++counts.failed;
        }
    });
    sampling = false;
    sampler.join();

    // Every report answered must be in a file of its own, whole; no file may hold anything else.
    long stored = 0;
    long damaged = 0;
    std::set<std::pair<int, long>> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int client = 0;
        long sequence = 0;
        ++stored;
        if (std::sscanf(content.c_str(), "rapport %d %ld", &client, &sequence) != 2 ||
            content != reportBody(client, sequence) || !found.insert({client, sequence}).second)
            ++damaged;
    }
    long missing = 0;
    for (const auto& key : answered)
        missing += found.count(key) ? 0 : 1;

    long warmKiB = -1;
    long peakKiB = 0;
    const long lastKiB = memory.empty() ? -1 : memory.back().second;
    for (const auto& [at, kib] : memory) {
        if (warmKiB < 0 && at >= kWarmUpShare * elapsed)
            warmKiB = kib;
        peakKiB = std::max(peakKiB, kib);
    }
    const double rate = static_cast<double>(counts.done) / elapsed;
    std::printf("%d clients, %.1f s: %ld exchanges answered 200 (%.0f per second), %ld failed\n", clients,
                elapsed, counts.done.load(), rate, counts.failed.load());
    std::printf("reports stored: %ld files, %ld damaged or doubled, %ld answered but missing\n", stored,
                damaged, missing);
    std::printf(
        "service resident memory: %.1f MiB after warm-up (%.0f s), %.1f MiB at the end, peak %.1f MiB\n",
        warmKiB / 1024.0, kWarmUpShare * elapsed, lastKiB / 1024.0, peakKiB / 1024.0);
    std::printf("RESULT exchanges_per_s=%.0f failures=%ld stored_bad=%ld missing=%ld mem_warm_mib=%.1f "
                "mem_end_mib=%.1f mem_peak_mib=%.1f\n",
                rate, counts.failed.load(), damaged, missing, warmKiB / 1024.0, lastKiB / 1024.0,
                peakKiB / 1024.0);
    return counts.failed == 0 && damaged == 0 && missing == 0 ? 0 : 1;
}

int packages(const std::string& host, int port, double seconds, int clients, const std::string& path,
             long long bytes) {
    const sockaddr_in address = addressOf(host, port);
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
    Counts counts;
    const double elapsed = runClients(clients, seconds, [&](int, long) {
        const Reply reply = exchange(address, request, false);
        if (reply.ok && reply.status == 200 && static_cast<long long>(reply.bodyBytes) == bytes) {
            ++counts.done;
            counts.bytes += bytes;
        } else {
            ++counts.failed;
        }
    });
    const double mibPerSecond = static_cast<double>(counts.bytes) / 1048576.0 / elapsed;
    std::printf("%d clients, %.1f s: %ld packages of %.1f MiB whole (%.0f MiB/s), %ld failed\n", clients,
                elapsed, counts.done.load(), static_cast<double>(bytes) / 1048576.0, mibPerSecond,
                counts.failed.load());
    std::printf("RESULT package_mib_per_s=%.0f failures=%ld\n", mibPerSecond, counts.failed.load());
    return counts.failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "reports" && argc == 8)
            return reports(argv[2], std::stoi(argv[3]), std::stod(argv[4]), std::stoi(argv[5]),
                           std::stoi(argv[6]), argv[7]);
        if (mode == "packages" && argc == 8)
            return packages(argv[2], std::stoi(argv[3]), std::stod(argv[4]), std::stoi(argv[5]), argv[6],
                            std::stoll(argv[7]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "service_load: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: service_load reports HOST PORT SECONDS CLIENTS SERVICE_PID REPORTS_FOLDER\n"
                         "       service_load packages HOST PORT SECONDS CLIENTS PATH BYTES\n");
    return 2;
}
