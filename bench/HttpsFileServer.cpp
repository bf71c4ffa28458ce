// A loopback HTTPS server for the download benchmark: serves the files of one
// directory with their Content-Length, streamed from disk in 256 KiB pieces.
// Prints "port <n>" once it listens, then serves until SIGTERM or SIGINT.
//   https-file-server <directory> <certificate.pem> <key.pem>
#include <fcntl.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace {

httplib::SSLServer* running = nullptr;

extern "C" void stopServer(int) {
    // stop() only shuts the listening socket down and flips a flag.
    if (running != nullptr) {
        running->stop();
    }
}

struct Descriptor {
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <directory> <certificate.pem> <key.pem>\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    httplib::SSLServer server(argv[2], argv[3]);
    if (!server.is_valid()) {
        std::fprintf(stderr, "cannot load the certificate or key\n");
        return 1;
    }
    server.Get(
        R"(/([A-Za-z0-9._-]+))", [&](const httplib::Request& request, httplib::Response& response) {
            const std::string path = directory + "/" + request.matches[1].str();
            auto file = std::make_shared<Descriptor>(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            struct stat info {};
            if (file->fd < 0 || ::fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode)) {
                response.status = 404;
                return;
            }
            response.set_content_provider(
                static_cast<std::size_t>(info.st_size), "video/mp4",
                [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    static thread_local std::string buffer(256 * 1024, '\0');
                    const std::size_t want = std::min(length, buffer.size());
                    const ssize_t got =
                        ::pread(file->fd, buffer.data(), want, static_cast<off_t>(offset));
                    if (got <= 0) {
                        return false;
                    }
                    return sink.write(buffer.data(), static_cast<std::size_t>(got));
                });
        });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "cannot bind a loopback port\n");
        return 1;
    }
    running = &server;
    std::signal(SIGTERM, stopServer);
    std::signal(SIGINT, stopServer);
    std::printf("port %d\n", port);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}
