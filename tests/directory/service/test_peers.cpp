#include "test_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const unsigned char OPENING[16] = {0x39, 0x30, 0x00, 0x00, 0xEC, 0x03, 0x00, 0x00,
                                   0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
const unsigned char SERVER_FULL[8] = {0xE9, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

void SendInPieces(int fd, const unsigned char* bytes, size_t size)
{
    for (size_t i = 0; i < size; i += 2) {
        send(fd, bytes + i, 2, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

int32_t Int32At(const std::string& bytes, size_t offset)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutInt32(std::string* bytes, size_t offset, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        (*bytes)[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::string TextAt(const std::string& bytes, size_t offset)
{
    std::string field = bytes.substr(offset, 80);
    return field.substr(0, field.find('\0'));
}

// Binds a loopback-reachable port that a wizard could host on (1 to 36000): the system's
// own choice of port lies above that range.
int BindHostPort(int fd)
{
    static std::atomic<unsigned> next{20000u + static_cast<unsigned>(getpid()) % 10000u};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        int port = static_cast<int>(10000u + next++ % 26000u);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return port;
        }
    }
    return 0;
}

}  // namespace

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/quarv-directory-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "";
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

StandInHost::StandInHost(HostAnswer answer) : answer_(answer)
{
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    port_ = BindHostPort(listen_);
    if (port_ == 0 || listen(listen_, 64) != 0 || pipe(stopPipe_) != 0) {
        ADD_FAILURE() << "stand-in host cannot listen";
        return;
    }
    thread_ = std::thread(&StandInHost::Serve, this);
}

StandInHost::~StandInHost()
{
    Close();
    if (stopPipe_[0] >= 0) {
        close(stopPipe_[0]);
        close(stopPipe_[1]);
    }
}

void StandInHost::Close()
{
    if (thread_.joinable()) {
        (void)!write(stopPipe_[1], "x", 1);
        thread_.join();
    }
    if (listen_ >= 0) {
        close(listen_);
        listen_ = -1;
    }
    for (int fd : open_) {
        close(fd);
    }
    open_.clear();
}

void StandInHost::Serve()
{
    for (;;) {
        pollfd fds[2] = {};
        fds[0].fd = listen_;
        fds[0].events = POLLIN;
        fds[1].fd = stopPipe_[0];
        fds[1].events = POLLIN;
        if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) {
            return;
        }
        int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ++connections_;
            Answer(fd);
        }
    }
}

void StandInHost::Answer(int fd)
{
    switch (answer_) {
    case HostAnswer::Handshake:
        send(fd, OPENING, sizeof OPENING, MSG_NOSIGNAL);
        open_.push_back(fd);
        return;
    case HostAnswer::HandshakeInPieces:
        SendInPieces(fd, OPENING, sizeof OPENING);
        open_.push_back(fd);
        return;
    case HostAnswer::SlowHandshake:
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        send(fd, OPENING, sizeof OPENING, MSG_NOSIGNAL);
        open_.push_back(fd);
        return;
    case HostAnswer::ServerFull:
        send(fd, SERVER_FULL, sizeof SERVER_FULL, MSG_NOSIGNAL);
        break;
    case HostAnswer::ServerFullInPieces:
        SendInPieces(fd, SERVER_FULL, sizeof SERVER_FULL);
        break;
    case HostAnswer::Silent:
        open_.push_back(fd);
        return;
    case HostAnswer::Garbage:
        send(fd, "HTTP/1.0 400 Bad Request\r\n\r\n", 28, MSG_NOSIGNAL);
        break;
    case HostAnswer::Hangup:
        break;
    }
    close(fd);
}

RefusingPort::RefusingPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindHostPort(fd_))
{
}

RefusingPort::~RefusingPort()
{
    close(fd_);
}

ServiceProcess::ServiceProcess(const TempFolder& folder, const std::string& name,
                               const std::vector<std::string>& arguments)
    : log_(folder.File(name + ".log"))
{
    std::string portFile = folder.File(name + ".port");
    std::vector<std::string> all = {QUARV_DIRECTORY_EXE, "--listen", "127.0.0.1", "--port", "0", "--port-file",
                                    portFile, "--probe-interval", "0.3", "--retry-interval", "0.1",
                                    "--probe-timeout", "0.5", "--probe-lease", "1"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        if (std::freopen(log_.c_str(), "w", stderr) != nullptr) {
            execv(QUARV_DIRECTORY_EXE, argv.data());
        }
        _exit(127);
    }
    WaitUntil(
        [&] {
            std::ifstream file(portFile);
            if (file >> port_) {
                return true;
            }
            // A service that did not start is not waited for.
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            return false;
        },
        std::chrono::milliseconds(5000));
}

std::string ServiceProcess::Log() const
{
    std::ifstream file(log_);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void ServiceProcess::Kill()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

int ServiceProcess::Stop(std::chrono::milliseconds limit)
{
    kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit)) {
        return -1;
    }
    pid_ = -1;
    return status;
}

std::string Exchange(int port, const std::string& request, const char* source)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from = {};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ADD_FAILURE() << "cannot connect from " << source << " to port " << port;
        close(fd);
        return reply;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[8192];
    ssize_t received = 0;
    while ((received = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        reply.append(buffer, static_cast<size_t>(received));
    }
    close(fd);
    return reply;
}

HttpReply ParseReply(const std::string& reply)
{
    HttpReply parsed;
    size_t space = reply.find(' ');
    size_t end = reply.find("\r\n\r\n");
    if (reply.compare(0, 5, "HTTP/") != 0 || space == std::string::npos || end == std::string::npos) {
        return parsed;
    }
    parsed.status = std::atoi(reply.c_str() + space + 1);
    parsed.body = reply.substr(end + 4);
    return parsed;
}

const std::string WIZARD_GET = "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: localhost\r\n\r\n";

std::string WizardPost(const std::string& body)
{
    return "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\n"
           "Content-type: application/x-www-form-urlencoded\r\n"
           "Content-length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string EntryBytes(const std::string& name, int32_t port, const std::string& address)
{
    std::string bytes(264, '\0');
    bytes.replace(0, address.size(), address);
    bytes.replace(80, name.size(), name);
    PutInt32(&bytes, 160, 1);
    PutInt32(&bytes, 164, 1);
    PutInt32(&bytes, 252, 1);
    PutInt32(&bytes, 256, 4);
    PutInt32(&bytes, 260, port);
    return bytes;
}

std::vector<ListedHost> ParseList(const std::string& body)
{
    std::vector<ListedHost> hosts;
    EXPECT_EQ(body.size(), 5280u) << "a list is 20 entries of 264 bytes";
    for (size_t offset = 0; offset + 264 <= body.size(); offset += 264) {
        int32_t port = Int32At(body, offset + 260);
        if (port != 0) {
            hosts.push_back(ListedHost{TextAt(body, offset), TextAt(body, offset + 80), Int32At(body, offset + 256), port});
        }
    }
    return hosts;
}

std::vector<ListedHost> FetchList(int port)
{
    HttpReply reply = ParseReply(Exchange(port, WIZARD_GET));
    EXPECT_EQ(reply.status, 200);
    return ParseList(reply.body);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
