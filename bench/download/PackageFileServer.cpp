// Serves one package file at /kliso/update/<its name> from a loopback address, straight from the
// page cache, until it is told to stop (SIGTERM or SIGINT). The port is bound without sharing, so a
// test server holding it makes this fail instead of splitting the connections.
//   package_file_server FILE ADDRESS PORT
#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE ADDRESS PORT\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    const auto size = static_cast<size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    const char* bytes = static_cast<const char*>(mapped);
    const std::string name = path.substr(path.find_last_of('/') + 1);

    httplib::Server server;
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.Get("/kliso/update/" + name, [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(size, "application/zip",
                                      [bytes, size](size_t offset, size_t length, httplib::DataSink& sink) {
                                          const size_t piece = std::min<size_t>(length, 4u << 20);
                                          return offset < size && sink.write(bytes + offset, piece);
                                      });
    });
    if (!server.bind_to_port(argv[2], std::stoi(argv[3]))) {
        std::fprintf(stderr, "%s:%s is taken\n", argv[2], argv[3]);
        return 1;
    }
    // The stop signals are taken by one thread, outside any signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    std::printf("serving %s (%zu bytes) at http://%s:%s/kliso/update/%s\n", path.c_str(), size, argv[2],
                argv[3], name.c_str());
    std::fflush(stdout);
    server.listen_after_bind();
    // Wakes the stopper if the server ended on its own; otherwise the signal stays blocked, unseen.
    ::kill(::getpid(), SIGTERM);
    stopper.join();
    ::munmap(mapped, size);
    ::close(fd);
    return 0;
}
