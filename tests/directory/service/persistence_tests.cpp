// The service program itself, killed without warning and started again on the same data file.
#include "test_peers.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using std::chrono::milliseconds;

class ServiceProcess {
public:
    ServiceProcess(const TempFolder& folder, const char* portFileName)
    {
        std::string portFile = folder.File(portFileName);
        std::string data = folder.File("directory.sqlite");
        std::string log = folder.File(std::string(portFileName) + ".log");
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen(log.c_str(), "w", stderr);
            execl(QUARV_DIRECTORY_EXE, QUARV_DIRECTORY_EXE, "--listen", "127.0.0.1", "--port", "0", "--port-file",
                  portFile.c_str(), "--data", data.c_str(), "--probe-interval", "0.3", "--retry-interval", "0.1",
                  "--probe-timeout", "0.5", static_cast<char*>(nullptr));
            _exit(127);
        }
        WaitUntil(
            [&] {
                std::ifstream file(portFile);
                return static_cast<bool>(file >> port_);
            },
            milliseconds(5000));
    }

    ~ServiceProcess() { Kill(); }

    int Port() const { return port_; }

    void Kill()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

TEST(Persistence, EntriesSurviveAKilledProcess)
{
    TempFolder folder;
    StandInHost host(HostAnswer::Handshake);
    const std::string entry = EntryBytes("Ann's server", host.Port());
    {
        ServiceProcess first(folder, "first.port");
        ASSERT_NE(first.Port(), 0) << "the service did not start";
        EXPECT_EQ(ParseReply(Exchange(first.Port(), WizardPost(entry))).status, 202);
        ASSERT_TRUE(WaitUntil([&] { return FetchList(first.Port()).size() == 1; }, milliseconds(3000)));
        first.Kill();
    }

    ServiceProcess second(folder, "second.port");
    ASSERT_NE(second.Port(), 0) << "the service did not start again";
    std::vector<ListedHost> listed = FetchList(second.Port());
    ASSERT_EQ(listed.size(), 1u) << "listed at once, before any new probe";
    EXPECT_EQ(listed[0].name, "Ann's server");
    EXPECT_EQ(listed[0].address, "127.0.0.1");
    EXPECT_EQ(listed[0].port, host.Port());
    EXPECT_EQ(ParseReply(Exchange(second.Port(), WizardPost(entry))).status, 200) << "known, so refreshed";
}

}  // namespace
