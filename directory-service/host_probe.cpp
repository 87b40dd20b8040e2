#include "host_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const unsigned char HANDSHAKE[4] = {0x39, 0x30, 0x00, 0x00};
const unsigned char SERVER_FULL[8] = {0xE9, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

enum class Verdict { NeedMore, Alive, Dead };

Verdict Judge(const unsigned char* bytes, size_t count)
{
    if (count >= 4 && std::memcmp(bytes, HANDSHAKE, 4) == 0) {
        return Verdict::Alive;
    }
    size_t compared = count < sizeof SERVER_FULL ? count : sizeof SERVER_FULL;
    if (std::memcmp(bytes, SERVER_FULL, compared) != 0) {
        // Whatever else answers here, it is not a lobby host.
        return count >= 4 || std::memcmp(bytes, HANDSHAKE, count) != 0 ? Verdict::Dead : Verdict::NeedMore;
    }
    return compared == sizeof SERVER_FULL ? Verdict::Alive : Verdict::NeedMore;
}

struct Probe {
    int fd = -1;
    bool connected = false;
    bool done = false;
    bool alive = false;
    unsigned char bytes[8] = {};
    size_t count = 0;
};

void Finish(Probe* probe, bool alive)
{
    probe->done = true;
    probe->alive = alive;
    close(probe->fd);
    probe->fd = -1;
}

void Start(Probe* probe, const ProbeTarget& target)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(target.port));
    probe->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe->fd < 0 || inet_pton(AF_INET, target.address.c_str(), &address.sin_addr) != 1) {
        Finish(probe, false);
        return;
    }
    if (connect(probe->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        probe->connected = true;
    } else if (errno != EINPROGRESS) {
        Finish(probe, false);
    }
}

void Advance(Probe* probe, short revents)
{
    if (!probe->connected) {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(probe->fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            Finish(probe, false);
            return;
        }
        probe->connected = true;
        if (!(revents & (POLLIN | POLLHUP))) {
            return;
        }
    }
    ssize_t received = recv(probe->fd, probe->bytes + probe->count, sizeof probe->bytes - probe->count, 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    if (received <= 0) {
        Finish(probe, false);
        return;
    }
    probe->count += static_cast<size_t>(received);
    Verdict verdict = Judge(probe->bytes, probe->count);
    if (verdict != Verdict::NeedMore) {
        Finish(probe, verdict == Verdict::Alive);
    }
}

}  // namespace

std::vector<bool> ProbeHosts(const std::vector<ProbeTarget>& targets, std::chrono::milliseconds timeout)
{
    std::vector<Probe> probes(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        Start(&probes[i], targets[i]);
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<pollfd> waiting;
    std::vector<size_t> owners;
    for (;;) {
        waiting.clear();
        owners.clear();
        for (size_t i = 0; i < probes.size(); ++i) {
            if (!probes[i].done) {
                pollfd p = {};
                p.fd = probes[i].fd;
                p.events = probes[i].connected ? POLLIN : POLLOUT;
                waiting.push_back(p);
                owners.push_back(i);
            }
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (waiting.empty() || left.count() <= 0) {
            break;
        }
        int ready = poll(waiting.data(), waiting.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (size_t k = 0; ready > 0 && k < waiting.size(); ++k) {
            if (waiting[k].revents != 0) {
                Advance(&probes[owners[k]], waiting[k].revents);
            }
        }
    }
    std::vector<bool> alive(probes.size());
    for (size_t i = 0; i < probes.size(); ++i) {
        if (!probes[i].done) {
            Finish(&probes[i], false);
        }
        alive[i] = probes[i].alive;
    }
    return alive;
}
