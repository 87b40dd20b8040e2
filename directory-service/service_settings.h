#pragma once
// What an operator (or a test) can set on the command line.
#include <cstddef>
#include <string>

// One thread per core, up to 8.
int DefaultThreads();

struct ServiceSettings {
    std::string listenAddress = "0.0.0.0";
    int port = 80;                          // 0: any free port (see portFile)
    std::string dataFile = "quarv-directory.sqlite";
    std::string database;                   // a PostgreSQL connection string; when set, used instead of dataFile
    std::string portFile;                   // when set, receives the port once the service listens
    double probeInterval = 60;              // seconds between probes of a listed host
    double retryInterval = 5;               // seconds between probes of a new or failing host
    double probeTimeout = 3;                // seconds a probe may take from connect to answer
    double probeLease = 30;                 // seconds a host is left to the instance probing it
    int failuresToDrop = 3;                 // failed probes in a row that remove a host
    int entriesPerAddress = 3;
    int publicationsPerMinute = 10;         // per source address
    size_t maxEntries = 10000;
    int connectionsPerAddress = 32;         // open HTTP connections from one address
    int connectionTimeout = 10;             // seconds an HTTP connection may stay silent
    int threads = DefaultThreads();         // threads that serve HTTP
};

// Fills settings from the arguments. False with a message (the usage, for --help) when the
// service should not start; *help tells a request for help from a mistake.
bool ParseSettings(int argc, char** argv, ServiceSettings* settings, std::string* message, bool* help);
