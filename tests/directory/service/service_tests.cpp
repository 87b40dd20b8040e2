// The whole service in process, on a free loopback port, spoken to with the wizard's raw
// bytes from chosen loopback source addresses; stand-in lobby hosts answer its probes. The
// tests of what is stored run over every store.
#include "directory_service.h"
#include "test_peers.h"
#include "test_stores.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

using std::chrono::milliseconds;

// Reads whatever the service still sends, until it closes the connection or the limit passes.
bool ClosedByPeer(int fd, milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p = {fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1) {
            return false;
        }
        ssize_t received = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received == 0 || (received < 0 && errno == ECONNRESET)) {
            return true;
        }
    }
}

// Connects from 127.0.0.1, or fails the test.
int ConnectToService(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    timeval limit = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

// Reads one reply from a connection that stays open: its header, then as many body bytes
// as its Content-Length says.
std::string ReadOneReply(int fd)
{
    std::string reply;
    char buffer[8192];
    for (;;) {
        size_t end = reply.find("\r\n\r\n");
        if (end != std::string::npos) {
            size_t length = reply.find("Content-Length: ");
            size_t body = length == std::string::npos ? 0 : std::strtoul(reply.c_str() + length + 16, nullptr, 10);
            if (reply.size() >= end + 4 + body) {
                return reply;
            }
        }
        ssize_t received = recv(fd, buffer, sizeof buffer, 0);
        if (received <= 0) {
            return reply;
        }
        reply.append(buffer, static_cast<size_t>(received));
    }
}

// Every byte of a literal, NULs included.
template <size_t N>
std::string Raw(const char (&bytes)[N])
{
    return std::string(bytes, N - 1);
}

size_t CountReplies(const std::string& bytes)
{
    size_t count = 0;
    for (size_t at = bytes.find("HTTP/1.1 "); at != std::string::npos; at = bytes.find("HTTP/1.1 ", at + 1)) {
        ++count;
    }
    return count;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { StartService(StoreKind::Sqlite); }

    void StartService(StoreKind store)
    {
        settings_.listenAddress = "127.0.0.1";
        settings_.port = 0;
        UseFreshStore(store, folder_, &settings_);
        settings_.probeInterval = 0.3;
        settings_.retryInterval = 0.1;
        settings_.probeTimeout = 0.5;
        settings_.connectionTimeout = 2;
        service_.reset(new DirectoryService(settings_));
        std::string error;
        ASSERT_TRUE(service_->Start(&error)) << error;
        port_ = service_->Port();
    }

    HttpReply Publish(const std::string& name, int port, const char* source = "127.0.0.1",
                      const std::string& ownAddress = "")
    {
        return ParseReply(Exchange(port_, WizardPost(EntryBytes(name, port, ownAddress)), source));
    }

    bool Listed(const std::string& name)
    {
        for (const ListedHost& host : FetchList(port_)) {
            if (host.name == name) {
                return true;
            }
        }
        return false;
    }

    TempFolder folder_;
    ServiceSettings settings_;
    std::unique_ptr<DirectoryService> service_;
    int port_ = 0;
};

// The tests of what the service keeps: once per store.
class StoredServiceTest : public ServiceTest, public ::testing::WithParamInterface<StoreKind> {
protected:
    void SetUp() override { StartService(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Stores, StoredServiceTest, ::testing::ValuesIn(AllStores()), StoreRowName);

TEST_P(StoredServiceTest, AnswersTheWizardsExactRequests)
{
    // The GET line ends in a lone LF; the list is all zero while nothing is listed.
    HttpReply list = ParseReply(Exchange(port_, WIZARD_GET));
    EXPECT_EQ(list.status, 200);
    EXPECT_EQ(list.body, std::string(5280, '\0'));

    StandInHost host(HostAnswer::Handshake);
    EXPECT_EQ(Publish("Ann's server", host.Port()).status, 202);
    ASSERT_TRUE(WaitUntil([&] { return Listed("Ann's server"); }, milliseconds(3000)));
    std::vector<ListedHost> listed = FetchList(port_);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].address, "127.0.0.1");
    EXPECT_EQ(listed[0].port, host.Port());
    EXPECT_EQ(listed[0].maxPlayers, 4);
    EXPECT_EQ(Publish("Ann's server", host.Port()).status, 200) << "publishing again refreshes";
}

TEST_P(StoredServiceTest, ListsTheAddressThePublicationCameFrom)
{
    StandInHost host(HostAnswer::Handshake);
    EXPECT_EQ(Publish("Bob", host.Port(), "127.0.0.7", "6.6.6.6").status, 202);
    ASSERT_TRUE(WaitUntil([&] { return Listed("Bob"); }, milliseconds(3000)));
    EXPECT_EQ(FetchList(port_)[0].address, "127.0.0.7");
}

TEST_P(StoredServiceTest, ListsOnlyHostsThatAnswerAndDropsThemWhenTheyGo)
{
    StandInHost alive(HostAnswer::Handshake);
    StandInHost full(HostAnswer::ServerFull);
    StandInHost silent(HostAnswer::Silent);
    Publish("alive", alive.Port(), "127.0.1.1");
    Publish("full", full.Port(), "127.0.1.2");
    Publish("silent", silent.Port(), "127.0.1.3");
    RefusingPort refusing;
    Publish("refusing", refusing.Port(), "127.0.1.4");

    // Hosts that never answer are forgotten after three probes; they are never listed.
    ASSERT_TRUE(WaitUntil([&] { return service_->Entries().EntryCount() == 2; }, milliseconds(5000)));
    std::vector<ListedHost> listed = FetchList(port_);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "alive");
    EXPECT_EQ(listed[1].name, "full");
    EXPECT_GE(silent.Connections(), 3);

    // A host that goes away leaves the list after three failed probes.
    int probesBefore = alive.Connections();
    alive.Close();
    ASSERT_TRUE(WaitUntil([&] { return !Listed("alive"); }, milliseconds(5000)));
    EXPECT_TRUE(Listed("full"));
    EXPECT_GE(probesBefore, 2) << "a listed host is probed again";
}

TEST_P(StoredServiceTest, RefusesWhatItWillNotList)
{
    StandInHost host(HostAnswer::Handshake);
    const std::string good = EntryBytes("x", host.Port());
    struct RequestCase {
        const char* name;
        std::string request;
        int status;
    };
    const RequestCase cases[] = {
        {"short body", WizardPost(good.substr(0, 263)), 400},
        {"long body", WizardPost(good + "x"), 400},
        {"port 0", WizardPost(EntryBytes("x", 0)), 400},
        {"port 36001", WizardPost(EntryBytes("x", 36001)), 400},
        {"empty name", WizardPost(EntryBytes("", host.Port())), 400},
        {"name with a control character", WizardPost(EntryBytes("a\tb", host.Port())), 400},
        {"no length", "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\n\r\n" + good, 411},
        {"list read with POST", "POST /cgi-bin/quarvcgiread.exe HTTP/1.0\r\nContent-length: 0\r\n\r\n", 405},
        {"publication with GET", "GET /cgi-bin/quarvcgi.exe HTTP/1.0\r\n\r\n", 405},
        {"other path", "GET /index.html HTTP/1.0\r\n\r\n", 404},
    };
    int source = 1;
    for (const RequestCase& c : cases) {
        // Each from its own address, so that the rate limit stays out of the way.
        std::string address = "127.0.2." + std::to_string(source++);
        EXPECT_EQ(ParseReply(Exchange(port_, c.request, address.c_str())).status, c.status) << c.name;
    }
    EXPECT_EQ(service_->Entries().EntryCount(), 0u);
}

TEST_P(StoredServiceTest, LimitsEntriesAndPublicationsPerAddress)
{
    // Hosts that answer, so that no entry is dropped while the test runs.
    StandInHost host(HostAnswer::Handshake);
    StandInHost second(HostAnswer::Handshake);
    StandInHost third(HostAnswer::Handshake);
    EXPECT_EQ(Publish("a", host.Port(), "127.0.3.1").status, 202);
    EXPECT_EQ(Publish("b", second.Port(), "127.0.3.1").status, 202);
    EXPECT_EQ(Publish("c", third.Port(), "127.0.3.1").status, 202);
    EXPECT_EQ(Publish("d", RefusingPort().Port(), "127.0.3.1").status, 403) << "a fourth entry from one address";

    for (int i = 1; i <= 10; ++i) {
        EXPECT_NE(Publish("e", host.Port(), "127.0.3.2").status, 429) << "publication " << i;
    }
    EXPECT_EQ(Publish("e", host.Port(), "127.0.3.2").status, 429) << "the eleventh within a minute";
    EXPECT_EQ(Publish("f", host.Port(), "127.0.3.3").status, 202) << "another address";
}

TEST_F(ServiceTest, SilentAndSlowConnectionsDoNotHoldTheService)
{
    auto connect_to_service = [&]() { return ConnectToService(port_); };
    int silent = connect_to_service();
    int halfRequest = connect_to_service();
    std::string start = "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\nContent-length: 264\r\n\r\nonly a little";
    send(halfRequest, start.data(), start.size(), MSG_NOSIGNAL);
    int endlessHeader = connect_to_service();
    std::string header = "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\r\nX-Filler: " + std::string(64 * 1024, 'f');
    send(endlessHeader, header.data(), header.size(), MSG_NOSIGNAL);

    // One byte every 200 ms never leaves the connection silent for long.
    int slow = connect_to_service();
    std::atomic<bool> stopDripping{false};
    std::thread dripper([&] {
        for (int i = 0; i < 50 && !stopDripping && send(slow, "a", 1, MSG_NOSIGNAL) == 1; ++i) {
            std::this_thread::sleep_for(milliseconds(200));
        }
    });

    auto start_time = std::chrono::steady_clock::now();
    EXPECT_EQ(ParseReply(Exchange(port_, WIZARD_GET)).status, 200);
    // Well within the 2 s that a stuck connection would make it wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start_time, milliseconds(1000));

    // The service closes each of them: after its time-out, or at once for the oversized header.
    const char* names[] = {"silent", "half a request", "endless header", "one byte at a time"};
    int fds[] = {silent, halfRequest, endlessHeader, slow};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(ClosedByPeer(fds[i], milliseconds(4000))) << names[i];
    }
    stopDripping = true;
    dripper.join();
    for (int fd : fds) {
        close(fd);
    }
    EXPECT_EQ(service_->Entries().EntryCount(), 0u);
}

TEST_F(ServiceTest, KeepsAnHttp11ConnectionOpenForTheNextRequest)
{
    const std::string get = "GET /cgi-bin/quarvcgiread.exe HTTP/1.1\r\nHost: localhost\r\n\r\n";
    int fd = ConnectToService(port_);
    for (int request = 1; request <= 3; ++request) {
        ASSERT_EQ(send(fd, get.data(), get.size(), MSG_NOSIGNAL), static_cast<ssize_t>(get.size())) << request;
        std::string reply = ReadOneReply(fd);
        HttpReply parsed = ParseReply(reply);
        EXPECT_EQ(parsed.status, 200) << request;
        EXPECT_EQ(parsed.body.size(), 5280u) << request;
        EXPECT_EQ(reply.find("Connection: close"), std::string::npos) << request;
    }
    close(fd);

    // The wizard's HTTP/1.0 request reads until the service closes: it still does.
    int wizard = ConnectToService(port_);
    send(wizard, WIZARD_GET.data(), WIZARD_GET.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(ClosedByPeer(wizard, milliseconds(2000)));
    close(wizard);
}

TEST_F(ServiceTest, RefusesRequestsWhoseEndOrTargetIsInDoubt)
{
    StandInHost host(HostAnswer::Handshake);
    const std::string entry = EntryBytes("smuggled", host.Port());
    const std::string list = "GET /cgi-bin/quarvcgiread.exe HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string chunked = "108\r\n" + entry + "\r\n0\r\n\r\n";
    struct RequestCase {
        const char* name;
        std::string request;
        int status;
    };
    const RequestCase cases[] = {
        {"Content-length and chunked",
         "POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\nContent-length: 264\r\n"
         "Transfer-Encoding: chunked\r\n\r\n" + chunked + list,
         400},
        {"chunked and Content-length, other spellings",
         "POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\ntransfer-encoding: Chunked\r\n"
         "CONTENT-LENGTH: 264\r\n\r\n" + chunked + list,
         400},
        {"two different Content-lengths",
         "POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\nContent-length: 264\r\nContent-length: 300\r\n\r\n" +
             entry + list,
         400},
        {"NUL inside the path", Raw("GET /cgi-bin/quarvcgiread.exe\0x HTTP/1.0\r\n\r\n"), 400},
        {"NUL at the end of the path", Raw("GET /cgi-bin/quarvcgiread.exe\0 HTTP/1.0\r\n\r\n"), 400},
        {"NUL inside the method", Raw("GE\0T /cgi-bin/quarvcgiread.exe HTTP/1.0\r\n\r\n"), 400},
        {"NUL inside a publication's path", Raw("POST /cgi-bin/quarvcgi.exe\0/x HTTP/1.0\r\n") +
             "Content-length: 264\r\n\r\n" + entry, 400},
        {"an escaped NUL in the path", "GET /cgi-bin/quarvcgiread.exe%00.html HTTP/1.0\r\n\r\n", 400},
        {"an escaped NUL in a publication's path",
         "POST /cgi-bin/quarvcgi.exe%00/x HTTP/1.0\r\nContent-length: 264\r\n\r\n" + entry, 400},
        // What stays as it was.
        {"the wizard's list request", WIZARD_GET, 200},
        {"an escaped NUL in the query, which nothing reads", "GET /cgi-bin/quarvcgiread.exe?a=%00 HTTP/1.0\r\n\r\n",
         200},
        {"the same Content-length twice",
         "POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\nContent-length: 264\r\nContent-length: 264\r\n\r\n" + entry, 202},
        {"chunked without Content-length",
         "POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked, 411},
    };
    int source = 1;
    for (const RequestCase& c : cases) {
        std::string address = "127.0.4." + std::to_string(source++);
        std::string reply = Exchange(port_, c.request, address.c_str());
        EXPECT_EQ(ParseReply(reply).status, c.status) << c.name;
        if (c.status == 400) {
            // Nothing after the refused request is read as a request of its own.
            EXPECT_EQ(CountReplies(reply), 1u) << c.name;
        }
    }
    EXPECT_EQ(service_->Entries().EntryCount(), 1u) << "only the publication with its length twice";
}

}  // namespace
