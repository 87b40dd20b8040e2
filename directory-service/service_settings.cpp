#include "service_settings.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const char* const USAGE =
    "usage: quarv-directory [options]\n"
    "  --listen ADDRESS            IPv4 address to listen on (default 0.0.0.0)\n"
    "  --port N                    TCP port, 0 for any free one (default 80)\n"
    "  --data FILE                 SQLite file that keeps the entries (default quarv-directory.sqlite)\n"
    "  --database CONNINFO         keep them in PostgreSQL instead, shared by every instance of a fleet\n"
    "                              (postgresql://USER@HOST:PORT/DATABASE or key=value ...; a password\n"
    "                              belongs in ~/.pgpass or PGPASSWORD, not on the command line)\n"
    "  --port-file FILE            write the port here once listening\n"
    "  --probe-interval SECONDS    between probes of a listed host (default 60)\n"
    "  --retry-interval SECONDS    between probes of a new or failing host (default 5)\n"
    "  --probe-timeout SECONDS     for one probe, connect to answer (default 3)\n"
    "  --probe-lease SECONDS       a host is left to the instance probing it (default 30)\n"
    "  --failures-to-drop N        failed probes in a row that remove a host (default 3)\n"
    "  --entries-per-address N     entries one address may hold (default 3)\n"
    "  --publications-per-minute N from one address (default 10)\n"
    "  --max-entries N             entries in all (default 10000)\n"
    "  --connections-per-address N open HTTP connections from one address (default 32)\n"
    "  --connection-timeout SECONDS  an HTTP connection may stay silent (default 10)\n"
    "  --threads N                 threads that serve HTTP (default: one per core, up to 8)\n";

bool ParseNumber(const char* text, double minimum, double maximum, double* value)
{
    errno = 0;
    char* end = nullptr;
    double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(parsed >= minimum && parsed <= maximum)) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseWhole(const char* text, long minimum, long maximum, long* value)
{
    errno = 0;
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > maximum) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace

int DefaultThreads()
{
    unsigned int cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores < 8 ? cores : 8);
}

bool ParseSettings(int argc, char** argv, ServiceSettings* settings, std::string* message, bool* help)
{
    *help = false;
    bool dataGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            *help = true;
            *message = USAGE;
            return false;
        }
        if (i + 1 >= argc) {
            *message = "missing value for " + option + "\n" + USAGE;
            return false;
        }
        const char* value = argv[++i];
        long whole = 0;
        double number = 0;
        bool good = true;
        if (option == "--listen") {
            in_addr address = {};
            good = inet_pton(AF_INET, value, &address) == 1;
            settings->listenAddress = value;
        } else if (option == "--port") {
            good = ParseWhole(value, 0, 65535, &whole);
            settings->port = static_cast<int>(whole);
        } else if (option == "--data") {
            good = *value != '\0';
            settings->dataFile = value;
            dataGiven = true;
        } else if (option == "--database") {
            good = *value != '\0';
            settings->database = value;
        } else if (option == "--port-file") {
            settings->portFile = value;
        } else if (option == "--probe-interval") {
            good = ParseNumber(value, 0.01, 86400, &number);
            settings->probeInterval = number;
        } else if (option == "--retry-interval") {
            good = ParseNumber(value, 0.01, 86400, &number);
            settings->retryInterval = number;
        } else if (option == "--probe-timeout") {
            good = ParseNumber(value, 0.01, 60, &number);
            settings->probeTimeout = number;
        } else if (option == "--probe-lease") {
            good = ParseNumber(value, 0.01, 86400, &number);
            settings->probeLease = number;
        } else if (option == "--failures-to-drop") {
            good = ParseWhole(value, 1, 1000, &whole);
            settings->failuresToDrop = static_cast<int>(whole);
        } else if (option == "--entries-per-address") {
            good = ParseWhole(value, 1, 1000000, &whole);
            settings->entriesPerAddress = static_cast<int>(whole);
        } else if (option == "--publications-per-minute") {
            good = ParseWhole(value, 1, 1000000, &whole);
            settings->publicationsPerMinute = static_cast<int>(whole);
        } else if (option == "--max-entries") {
            good = ParseWhole(value, 1, 10000000, &whole);
            settings->maxEntries = static_cast<size_t>(whole);
        } else if (option == "--connections-per-address") {
            good = ParseWhole(value, 1, 100000, &whole);
            settings->connectionsPerAddress = static_cast<int>(whole);
        } else if (option == "--connection-timeout") {
            good = ParseWhole(value, 1, 3600, &whole);
            settings->connectionTimeout = static_cast<int>(whole);
        } else if (option == "--threads") {
            good = ParseWhole(value, 1, 64, &whole);
            settings->threads = static_cast<int>(whole);
        } else {
            *message = "unknown option " + option + "\n" + USAGE;
            return false;
        }
        if (!good) {
            *message = "bad value for " + option + ": " + value + "\n" + USAGE;
            return false;
        }
    }
    if (dataGiven && !settings->database.empty()) {
        *message = "--data and --database each choose the store: give one of them\n" + std::string(USAGE);
        return false;
    }
    // A lease shorter than a probe would let a second instance probe the host meanwhile.
    if (settings->probeLease <= settings->probeTimeout) {
        *message = "--probe-lease must be longer than --probe-timeout\n" + std::string(USAGE);
        return false;
    }
    return true;
}
