#pragma once
// The directory's two HTTP resources, served with libmicrohttpd:
//   GET  /cgi-bin/quarvcgiread.exe  the list, 5280 bytes
//   POST /cgi-bin/quarvcgi.exe      one 264-byte entry
// The library parses HTTP (including the lone LF that ends the wizard's GET line); this
// file only decides what each request gets.
#include "directory.h"
#include "service_settings.h"

#include <string>

struct MHD_Daemon;

class HttpFront {
public:
    HttpFront() = default;
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    bool Start(const ServiceSettings& settings, Directory& directory, std::string* error);
    int Port() const;
    void Stop();

private:
    MHD_Daemon* daemon_ = nullptr;
};
