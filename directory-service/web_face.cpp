#include "web_face.h"

#include "games_page.h"
#include "servers_json.h"

#include <chrono>
#include <cstring>

namespace {

const char* const PAGE_PATH = "/";
const char* const JSON_PATH = "/servers.json";
const char* const HEALTH_PATH = "/healthz";
const char* const METRICS_PATH = "/metrics";
const char* const PLAIN_TEXT = "text/plain; charset=utf-8";
const auto RENDER_INTERVAL = std::chrono::seconds(1);

// Nothing on these answers may run a script or load anything from elsewhere: whatever a
// host name smuggled past the escaping would still do nothing.
const char* const CONTENT_SECURITY_POLICY =
    "default-src 'none'; style-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

MHD_Response* MakeResponse(const std::string& body, const char* contentType, const char* cacheControl)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) {
        return nullptr;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, cacheControl);
    MHD_add_response_header(response, "Content-Security-Policy", CONTENT_SECURITY_POLICY);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    return response;
}

// Queues a response made for this one request, and lets it go.
enum MHD_Result Queue(MHD_Connection* connection, unsigned int status, MHD_Response* response)
{
    if (response == nullptr) {
        return MHD_NO;
    }
    enum MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace

WebFace::WebFace(std::function<std::vector<HostSnapshot>()> listedHosts, std::function<ServiceHealth()> health,
                 MetricsRegistry& registry)
    : listedHosts_(std::move(listedHosts)), health_(std::move(health)), registry_(registry)
{
}

WebFace::~WebFace()
{
    // The library keeps its own reference while a response is still being sent.
    for (Rendered* rendered : {&page_, &json_}) {
        if (rendered->response != nullptr) {
            MHD_destroy_response(rendered->response);
        }
    }
}

bool WebFace::Serves(const char* url)
{
    for (const char* path : {PAGE_PATH, GAMES_PAGE_STYLESHEET_PATH, JSON_PATH, HEALTH_PATH, METRICS_PATH}) {
        if (std::strcmp(url, path) == 0) {
            return true;
        }
    }
    return false;
}

enum MHD_Result WebFace::Answer(MHD_Connection* connection, const char* url)
{
    if (std::strcmp(url, PAGE_PATH) == 0) {
        return AnswerRendered(connection, &page_, true);
    }
    if (std::strcmp(url, JSON_PATH) == 0) {
        return AnswerRendered(connection, &json_, false);
    }
    if (std::strcmp(url, GAMES_PAGE_STYLESHEET_PATH) == 0) {
        return Queue(connection, MHD_HTTP_OK,
                     MakeResponse(GAMES_PAGE_STYLESHEET, "text/css; charset=utf-8", "max-age=3600"));
    }
    if (std::strcmp(url, HEALTH_PATH) == 0) {
        ServiceHealth health = health_();
        return Queue(connection, health.answersLists ? MHD_HTTP_OK : MHD_HTTP_SERVICE_UNAVAILABLE,
                     MakeResponse(health.text + "\n", PLAIN_TEXT, "no-store"));
    }
    return Queue(connection, MHD_HTTP_OK,
                 MakeResponse(registry_.Exposition(), "text/plain; version=0.0.4; charset=utf-8", "no-store"));
}

enum MHD_Result WebFace::RefuseMethod(MHD_Connection* connection)
{
    MHD_Response* refusal = MakeResponse("read with GET or HEAD\n", PLAIN_TEXT, "no-store");
    if (refusal != nullptr) {
        MHD_add_response_header(refusal, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    }
    return Queue(connection, MHD_HTTP_METHOD_NOT_ALLOWED, refusal);
}

enum MHD_Result WebFace::AnswerRendered(MHD_Connection* connection, Rendered* rendered, bool page)
{
    // Queued under the lock: the library takes its own reference to the response then,
    // before a newer one can replace and release it.
    std::lock_guard<std::mutex> lock(rendered->mutex);
    Clock::time_point now = Clock::now();
    if (rendered->response == nullptr || now - rendered->made >= RENDER_INTERVAL) {
        MHD_Response* response =
            page ? MakeResponse(GamesPage(listedHosts_(), WallClock::now()), "text/html; charset=utf-8", "no-store")
                 : MakeResponse(ServersJson(listedHosts_(), WallClock::now()), "application/json", "no-store");
        if (response == nullptr) {
            return MHD_NO;
        }
        if (!page) {
            // Public data, meant for other sites too.
            MHD_add_response_header(response, MHD_HTTP_HEADER_ACCESS_CONTROL_ALLOW_ORIGIN, "*");
        }
        if (rendered->response != nullptr) {
            MHD_destroy_response(rendered->response);
        }
        rendered->response = response;
        rendered->made = now;
    }
    return MHD_queue_response(connection, MHD_HTTP_OK, rendered->response);
}
