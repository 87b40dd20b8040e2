#include "http_front.h"

#include "log.h"
#include "request_rules.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

namespace {

// Request header and line together; the wizard's are under 200 bytes.
const size_t CONNECTION_MEMORY_LIMIT = 16 * 1024;
const unsigned int CONNECTION_LIMIT = 4096;

// The state of a GET or HEAD between the handler's first call, which only looks, and the
// one that answers: the library keeps a connection open only for an answer queued after
// its first call.
char READING_REQUEST = 0;

// One publication while its body arrives.
struct PendingPublication {
    std::string source;
    PublicationBody body;
};

int64_t SteadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

enum MHD_Result ReplyText(MHD_Connection* connection, unsigned int status, const std::string& text)
{
    std::string line = text + "\n";
    MHD_Response* response = MHD_create_response_from_buffer(line.size(), &line[0], MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) {
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    enum MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

std::string ClientAddress(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr || info->client_addr->sa_family != AF_INET) {
        return std::string();
    }
    char text[INET_ADDRSTRLEN] = {};
    const sockaddr_in* address = reinterpret_cast<const sockaddr_in*>(info->client_addr);
    inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    return text;
}

OpenConnection* ConnectionOf(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<OpenConnection*>(info->socket_context) : nullptr;
}

RequestLine RequestLineOf(MHD_Connection* connection, const char* method, const char* url, const char* version)
{
    const OpenConnection* open = ConnectionOf(connection);
    return {method, url, version, open ? open->rawUri : nullptr, open ? open->rawUriLength : 0,
            open && open->escapedNulInPath};
}

enum MHD_Result AddFramingHeader(void* context, enum MHD_ValueKind /*kind*/, const char* key, const char* value)
{
    if (IsFramingHeader(key)) {
        static_cast<std::vector<HeaderField>*>(context)->push_back({key, value});
    }
    return MHD_YES;
}

// The fields the request checks read, in their order: none for most GETs, so that a list
// request allocates nothing for them.
std::vector<HeaderField> FramingHeadersOf(MHD_Connection* connection)
{
    std::vector<HeaderField> headers;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &AddFramingHeader, &headers);
    return headers;
}

enum MHD_Result Refuse(MHD_Connection* connection, ServiceMetrics& metrics, const char* outcome,
                       const std::string& source, unsigned int status, const std::string& reason)
{
    metrics.publications.Add({outcome});
    Log("refused publication from %s (%u): %s", source.empty() ? "?" : source.c_str(), status, reason.c_str());
    return ReplyText(connection, status, "refused: " + reason);
}

enum MHD_Result RefuseUnstored(MHD_Connection* connection, ServiceMetrics& metrics)
{
    metrics.publications.Add({"store_unavailable"});
    // Logged once when the store goes, not for each publication while it is gone.
    return ReplyText(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                     "refused: the directory cannot store publications now; try again later");
}

// First call of a publication: everything that can be refused before the body is read is
// refused here, so that nobody can make the service read a body it will not take.
enum MHD_Result BeginPublication(MHD_Connection* connection, HttpRoutes& routes, void** requestState)
{
    ServiceMetrics& metrics = *routes.metrics;
    std::string source = ClientAddress(connection);
    if (source.empty()) {
        return Refuse(connection, metrics, "not_ipv4", source, MHD_HTTP_BAD_REQUEST, "only IPv4 hosts can be listed");
    }
    // Every attempt counts, good or bad, so that the log lines below are bounded too.
    switch (routes.directory->AdmitPublication(source, WallClock::now())) {
    case Admission::Admitted:
        break;
    case Admission::TooMany:
        // Not logged: a flood of these would flood the log too.
        metrics.publications.Add({"rate_limited"});
        return ReplyText(connection, MHD_HTTP_TOO_MANY_REQUESTS, "refused: too many publications from this address");
    case Admission::StoreUnavailable:
        return RefuseUnstored(connection, metrics);
    }
    Refusal length = CheckPublicationLength(FramingHeadersOf(connection));
    if (length.status != 0) {
        return Refuse(connection, metrics, length.status == MHD_HTTP_LENGTH_REQUIRED ? "no_length" : "wrong_length",
                      source, length.status, length.text);
    }
    PendingPublication* pending = new PendingPublication;
    pending->source = source;
    *requestState = pending;
    return MHD_YES;
}

enum MHD_Result FinishPublication(MHD_Connection* connection, HttpRoutes& routes, PendingPublication* pending)
{
    ServiceMetrics& metrics = *routes.metrics;
    std::string reason;
    PublishResult result =
        routes.directory->Publish(pending->source, reinterpret_cast<const unsigned char*>(pending->body.kept.data()),
                                  pending->body.received, WallClock::now(), &reason);
    switch (result) {
    case PublishResult::Added:
        metrics.publications.Add({"added"});
        return ReplyText(connection, MHD_HTTP_ACCEPTED, "accepted: listed once the host answers");
    case PublishResult::Refreshed:
        metrics.publications.Add({"refreshed"});
        return ReplyText(connection, MHD_HTTP_OK, "refreshed");
    case PublishResult::Invalid:
        return Refuse(connection, metrics, "invalid", pending->source, MHD_HTTP_BAD_REQUEST, reason);
    case PublishResult::AddressFull:
        return Refuse(connection, metrics, "address_full", pending->source, MHD_HTTP_FORBIDDEN, reason);
    case PublishResult::DirectoryFull:
        return Refuse(connection, metrics, "directory_full", pending->source, MHD_HTTP_SERVICE_UNAVAILABLE, reason);
    case PublishResult::StoreUnavailable:
        Log("cannot store the publication from %s: %s", pending->source.c_str(), reason.c_str());
        return RefuseUnstored(connection, metrics);
    }
    return MHD_NO;
}

enum MHD_Result AnswerRoute(MHD_Connection* connection, HttpRoutes& routes, const char* url,
                            const RequestRoute& route, void** requestState)
{
    switch (route.route) {
    case Route::List:
        return routes.lists.Queue(connection, *routes.directory) ? MHD_YES : MHD_NO;
    case Route::Web:
        return routes.web->Answer(connection, url);
    case Route::WebMethodRefused:
        return routes.web->RefuseMethod(connection);
    case Route::Publication:
        return BeginPublication(connection, routes, requestState);
    case Route::Refused:
        break;
    }
    return ReplyText(connection, route.refusal.status, route.refusal.text);
}

enum MHD_Result HandleRequest(void* context, MHD_Connection* connection, const char* url, const char* method,
                              const char* version, const char* uploadData, size_t* uploadDataSize,
                              void** requestState)
{
    HttpRoutes& routes = *static_cast<HttpRoutes*>(context);
    if (*requestState == &READING_REQUEST) {
        // A body sent with a GET is read and set aside.
        if (*uploadDataSize != 0) {
            *uploadDataSize = 0;
            return MHD_YES;
        }
        return AnswerRoute(connection, routes, url, RouteRequest(method, url, &WebFace::Serves), requestState);
    }
    PendingPublication* pending = static_cast<PendingPublication*>(*requestState);
    if (pending != nullptr) {
        if (*uploadDataSize != 0) {
            AddBodyBytes(pending->body, uploadData, *uploadDataSize);
            *uploadDataSize = 0;
            return MHD_YES;
        }
        return FinishPublication(connection, routes, pending);
    }

    // The first call: request line and header are in, the body (if any) is not.
    OpenConnection* open = ConnectionOf(connection);
    if (open != nullptr) {
        open->pathLabel = ServiceMetrics::PathLabel(url);
    }
    Refusal refusal = CheckRequestLine(RequestLineOf(connection, method, url, version));
    if (refusal.status == 0) {
        refusal = CheckBodyFraming(FramingHeadersOf(connection));
    }
    if (refusal.status != 0) {
        routes.metrics->malformedRequests.Add({});
        return ReplyText(connection, refusal.status, refusal.text);
    }
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 || std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0) {
        *requestState = &READING_REQUEST;
        return MHD_YES;
    }
    return AnswerRoute(connection, routes, url, RouteRequest(method, url, &WebFace::Serves), requestState);
}

void* NoteRequestLine(void* /*context*/, const char* uri, MHD_Connection* connection)
{
    OpenConnection* open = ConnectionOf(connection);
    if (open != nullptr) {
        open->rawUri = uri;
        open->rawUriLength = std::strlen(uri);
        open->escapedNulInPath = PathHoldsEscapedNul(uri, open->rawUriLength);
    }
    return nullptr;
}

// Every answered request is counted here, where its status is known whoever queued it.
void CountAnswer(ServiceMetrics& metrics, MHD_Connection* connection, OpenConnection* open)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS);
    if (info != nullptr && info->http_status != 0 && open->pathLabel != nullptr) {
        metrics.requests.Add({open->pathLabel, std::to_string(info->http_status)});
    }
    open->pathLabel = nullptr;
}

void ForgetRequest(void* context, MHD_Connection* connection, void** requestState,
                   enum MHD_RequestTerminationCode /*code*/)
{
    HttpRoutes& routes = *static_cast<HttpRoutes*>(context);
    if (*requestState != &READING_REQUEST) {
        delete static_cast<PendingPublication*>(*requestState);
    }
    *requestState = nullptr;
    OpenConnection* open = ConnectionOf(connection);
    if (open != nullptr) {
        CountAnswer(*routes.metrics, connection, open);
        open->rawUri = nullptr;
        open->escapedNulInPath = false;
        routes.clock->Completed(open);
    }
}

void NoteConnection(void* context, MHD_Connection* connection, void** socketState,
                    enum MHD_ConnectionNotificationCode code)
{
    RequestClock& clock = *static_cast<RequestClock*>(context);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        *socketState = clock.Started(info ? info->connect_fd : -1);
    } else {
        clock.Closed(static_cast<OpenConnection*>(*socketState));
        *socketState = nullptr;
    }
}

bool StartsWith(const char* text, const char* start)
{
    return std::strncmp(text, start, std::strlen(start)) == 0;
}

// The library's messages about what clients did. Each kind, told apart by its format, is
// logged at most once every few seconds; the two that strangers cause most are counted.
void LogLibraryError(void* context, const char* format, va_list args)
{
    HttpRoutes& routes = *static_cast<HttpRoutes*>(context);
    if (StartsWith(format, "Server reached connection limit")) {
        routes.metrics->refusedConnections.Add({});
    } else if (StartsWith(format, "Error processing request (HTTP response code is")) {
        routes.metrics->malformedRequests.Add({});
    }
    char text[512] = {};
    std::vsnprintf(text, sizeof text, format, args);
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) {
        text[--length] = '\0';
    }
    routes.limiter.Event(format, std::string("http: ") + text, Clock::now());
}

}  // namespace

OpenConnection* RequestClock::Started(int fd)
{
    OpenConnection* connection = new OpenConnection;
    connection->fd = fd;
    connection->since = SteadyNow();
    std::lock_guard<std::mutex> lock(mutex_);
    open_.insert(connection);
    return connection;
}

void RequestClock::Completed(OpenConnection* connection)
{
    connection->since = SteadyNow();
}

void RequestClock::Closed(OpenConnection* connection)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(connection);
    }
    delete connection;
}

size_t RequestClock::OpenCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_.size();
}

void RequestClock::CloseOverdue(std::chrono::steady_clock::duration limit)
{
    // The library reports a connection closed before it closes the socket, and that report
    // waits for this lock: a descriptor found here is still the connection's own.
    std::lock_guard<std::mutex> lock(mutex_);
    int64_t now = SteadyNow();
    int64_t ticks = limit.count();
    for (OpenConnection* connection : open_) {
        if (connection->fd >= 0 && now - connection->since > ticks) {
            shutdown(connection->fd, SHUT_RDWR);
            connection->since = INT64_MAX - ticks;
        }
    }
}

HttpFront::~HttpFront()
{
    Stop();
}

bool HttpFront::Start(const ServiceSettings& settings, Directory& directory, WebFace& web, ServiceMetrics& metrics,
                      std::string* error)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(settings.port));
    if (inet_pton(AF_INET, settings.listenAddress.c_str(), &address.sin_addr) != 1) {
        *error = "not an IPv4 address: " + settings.listenAddress;
        return false;
    }
    routes_.directory = &directory;
    routes_.web = &web;
    routes_.metrics = &metrics;
    routes_.clock = &clock_;
    // Polling threads (epoll where there is one) rather than a thread per connection: a
    // silent or slow client then holds one of a bounded number of connection slots, and
    // only until its time-out, never a thread that others wait for.
    daemon_ = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG, static_cast<uint16_t>(settings.port), nullptr, nullptr,
        &HandleRequest, &routes_,
        MHD_OPTION_EXTERNAL_LOGGER, &LogLibraryError, &routes_,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address),
        MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned int>(settings.threads),
        MHD_OPTION_CONNECTION_LIMIT, CONNECTION_LIMIT,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned int>(settings.connectionsPerAddress),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned int>(settings.connectionTimeout),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, CONNECTION_MEMORY_LIMIT,
        MHD_OPTION_URI_LOG_CALLBACK, &NoteRequestLine, nullptr,
        MHD_OPTION_NOTIFY_COMPLETED, &ForgetRequest, &routes_,
        MHD_OPTION_NOTIFY_CONNECTION, &NoteConnection, &clock_,
        MHD_OPTION_END);
    if (daemon_ == nullptr) {
        *error = "cannot listen on " + settings.listenAddress + ":" + std::to_string(settings.port);
        return false;
    }
    stopping_ = false;
    watcher_ = std::thread(&HttpFront::WatchRequests, this, std::chrono::seconds(settings.connectionTimeout));
    return true;
}

int HttpFront::Port() const
{
    const MHD_DaemonInfo* info = daemon_ ? MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    return info ? info->port : 0;
}

void HttpFront::Stop()
{
    if (watcher_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(stopMutex_);
            stopping_ = true;
        }
        stopWake_.notify_all();
        watcher_.join();
    }
    if (daemon_ != nullptr) {
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
    }
}

void HttpFront::WatchRequests(std::chrono::steady_clock::duration limit)
{
    std::unique_lock<std::mutex> lock(stopMutex_);
    while (!stopWake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        clock_.CloseOverdue(limit);
        routes_.limiter.Flush(Clock::now());
    }
}
