// quarv-directory: the Internet server directory that the wizard downloads its list from
// and publishes hosts to. Runs in the foreground until SIGINT or SIGTERM.
#include "directory_service.h"
#include "log.h"
#include "service_settings.h"

#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    ServiceSettings settings;
    std::string message;
    bool help = false;
    if (!ParseSettings(argc, argv, &settings, &message, &help)) {
        std::fputs(message.c_str(), help ? stdout : stderr);
        return help ? 0 : 2;
    }

    // The C library would give each of the service's threads a heap of its own as they
    // contend, and each keeps what its thread freed (the list pages are rebuilt by whichever
    // thread saw a change): with a dozen threads that is most of the memory in use.
    mallopt(M_ARENA_MAX, 2);
    // The web page and the JSON (megabytes each with a full directory) are made anew every
    // second while polled. Left to itself the C library raises its threshold for mapping
    // large blocks once such a block is freed, and from then on keeps them in a heap that
    // stays resident; a fixed threshold maps each of them and gives it back when freed.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);

    // The signals are taken by sigwait below; every thread started from here on inherits the block.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Each probe and each HTTP connection holds a descriptor; the usual soft limit of 1024
    // is below what a full directory needs.
    rlimit files = {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    DirectoryService service(settings);
    std::string error;
    if (!service.Start(&error)) {
        Log("not started: %s", error.c_str());
        return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    Log("stopping on signal %d", signal);
    service.Stop();
    return 0;
}
