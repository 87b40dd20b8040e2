#pragma once
// Real peers for the directory service's native tests: stand-in lobby hosts on loopback,
// raw HTTP exchanges from chosen loopback source addresses, and the wire bytes of the
// wizard's requests and of the directory's records, written out by offset.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

enum class HostAnswer {
    Handshake,          // 39 30 00 00 and the player number message, then stays connected
    HandshakeInPieces,  // the same, two bytes at a time
    SlowHandshake,      // the same after 600 ms, so that a probe of it takes that long
    ServerFull,         // E9 03 00 00 00 00 00 00, then closes
    ServerFullInPieces,
    Silent,             // accepts and says nothing
    Garbage,            // answers like a web server
    Hangup,             // accepts and closes at once
};

// A stand-in for a wizard hosting a lobby: listens on every local address (so that a probe
// to any 127.x.y.z reaches it), on a port from 10000 to 36000, and answers each connection as told.
class StandInHost {
public:
    explicit StandInHost(HostAnswer answer);
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    int Port() const { return port_; }
    int Connections() const { return connections_; }
    // Stops listening: later connections to the port are refused.
    void Close();

private:
    void Serve();
    void Answer(int fd);

    HostAnswer answer_;
    int listen_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::vector<int> open_;
    std::thread thread_;
};

// A port from 10000 to 36000 that refuses connections: bound but not listening, and so
// kept from anyone else for as long as this lives.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// The service program, started with the arguments after the usual ones for a test (loopback,
// any free port, short probe intervals), its log in the folder; killed with SIGKILL at the end.
class ServiceProcess {
public:
    ServiceProcess(const TempFolder& folder, const std::string& name, const std::vector<std::string>& arguments);
    ~ServiceProcess() { Kill(); }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // 0 when the service did not start within 5 s.
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // What the service wrote to its standard error, sanitizer reports included.
    std::string Log() const;
    void Kill();
    // Sends the stop signal and waits for the end: the wait status, or -1 when the process
    // did not end within the limit.
    int Stop(std::chrono::milliseconds limit);

private:
    std::string log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Sends the bytes to 127.0.0.1:port from the given source address and returns everything
// the service answers until it closes (or 5 s pass).
std::string Exchange(int port, const std::string& request, const char* source = "127.0.0.1");

struct HttpReply {
    int status = 0;
    std::string body;
};
HttpReply ParseReply(const std::string& reply);

// The wizard's requests, byte for byte.
extern const std::string WIZARD_GET;
std::string WizardPost(const std::string& body);

// A 264-byte published entry as the wizard builds it.
std::string EntryBytes(const std::string& name, int32_t port, const std::string& address = "");

struct ListedHost {
    std::string address;
    std::string name;
    int32_t maxPlayers;
    int32_t port;
};
// The used entries (port not zero) of a 5280-byte list, in list order; the test fails
// when the body has another size.
std::vector<ListedHost> ParseList(const std::string& body);

// GET of the list with the wizard's bytes.
std::vector<ListedHost> FetchList(int port);

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);
