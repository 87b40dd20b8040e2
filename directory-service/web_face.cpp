#include "web_face.h"

#include "games_page.h"
#include "gzip.h"
#include "servers_json.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

const char* const PAGE_PATH = "/";
const char* const JSON_PATH = "/servers.json";
const char* const HEALTH_PATH = "/healthz";
const char* const METRICS_PATH = "/metrics";
const char* const PLAIN_TEXT = "text/plain; charset=utf-8";
const auto RENDER_INTERVAL = std::chrono::seconds(1);
// How long after the last request for them the documents are still made every second.
const auto KEEP_RENDERING = std::chrono::seconds(5);
const auto KEEP_COMPRESSING = std::chrono::minutes(1);

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
    : listedHosts_(std::move(listedHosts)), health_(std::move(health)), registry_(registry),
      renderer_(&WebFace::Render, this)
{
}

WebFace::~WebFace()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    renderer_.join();
    // The library keeps its own reference while a response is still being sent.
    for (MHD_Response* response : {page_.plain, page_.gzipped, json_.plain, json_.gzipped}) {
        if (response != nullptr) {
            MHD_destroy_response(response);
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
        return AnswerRendered(connection, &page_);
    }
    if (std::strcmp(url, JSON_PATH) == 0) {
        return AnswerRendered(connection, &json_);
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

enum MHD_Result WebFace::AnswerRendered(MHD_Connection* connection, Document* document)
{
    bool gzip = AcceptsGzip(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING));
    std::unique_lock<std::mutex> lock(mutex_);
    Clock::time_point now = Clock::now();
    // After a quiet spell the document may be minutes old: this request waits for a new one.
    bool idle = document->renders == 0 || now - document->asked > KEEP_RENDERING;
    document->asked = now;
    if (gzip) {
        document->askedGzip = now;
    }
    if (idle || now - document->made >= RENDER_INTERVAL) {
        wake_.notify_all();
    }
    if (idle) {
        uint64_t seen = document->renders;
        rendered_.wait(lock, [&] { return document->renders != seen || stopping_; });
    }
    // Until the renderer has compressed it, those who take gzip take the plain text.
    MHD_Response* response = gzip && document->gzipped != nullptr ? document->gzipped : document->plain;
    if (response == nullptr) {
        return MHD_NO;
    }
    // Queued under the lock: the library takes its own reference to the response then,
    // before a newer one can replace and release it.
    return MHD_queue_response(connection, MHD_HTTP_OK, response);
}

bool WebFace::Due(const Document& document, Clock::time_point now, Clock::time_point* next)
{
    if (document.asked == Clock::time_point() || now - document.asked > KEEP_RENDERING) {
        return false;
    }
    if (document.renders == 0 || now - document.made >= RENDER_INTERVAL) {
        return true;
    }
    *next = std::min(*next, document.made + RENDER_INTERVAL);
    return false;
}

// Makes the document's responses anew: plain, and compressed when anyone has asked for
// that lately. The caller holds no lock; the responses it replaces are its to release.
void WebFace::Make(Document* document, const std::vector<HostSnapshot>& hosts, Clock::time_point read)
{
    WallClock::time_point now = WallClock::now();
    std::string text = document->page ? GamesPage(hosts, now) : ServersJson(hosts, now);
    auto make = [&](const std::string& body, bool compressed) {
        MHD_Response* response =
            MakeResponse(body, document->page ? "text/html; charset=utf-8" : "application/json", "no-store");
        if (response != nullptr) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_VARY, MHD_HTTP_HEADER_ACCEPT_ENCODING);
            if (compressed) {
                MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING, "gzip");
            }
            if (!document->page) {
                // Public data, meant for other sites too.
                MHD_add_response_header(response, MHD_HTTP_HEADER_ACCESS_CONTROL_ALLOW_ORIGIN, "*");
            }
        }
        return response;
    };
    document->plain = make(text, false);
    bool gzip = document->askedGzip != Clock::time_point() && read - document->askedGzip <= KEEP_COMPRESSING;
    std::string packed = gzip ? Gzip(text) : std::string();
    document->gzipped = packed.empty() ? nullptr : make(packed, true);
    document->made = read;
}

void WebFace::Render()
{
    // A nice value of 10 for this thread alone (Linux): on a busy machine the players' list
    // requests come first, and the page gets a little older instead.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    // Named, so that its share of the processor shows in top -H and in the benchmark.
    pthread_setname_np(pthread_self(), "web-render");
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        std::vector<Document*> due;
        for (Document* document : {&page_, &json_}) {
            if (Due(*document, now, &next)) {
                due.push_back(document);
            }
        }
        if (due.empty()) {
            if (next == Clock::time_point::max()) {
                wake_.wait(lock);
            } else {
                wake_.wait_until(lock, next);
            }
            continue;
        }
        // Made on copies, outside the lock, so that requests go on meanwhile.
        std::vector<Document> made;
        for (Document* document : due) {
            made.push_back(*document);
        }
        lock.unlock();
        Clock::time_point read = Clock::now();
        std::vector<HostSnapshot> hosts = listedHosts_();
        for (Document& document : made) {
            Make(&document, hosts, read);
        }
        lock.lock();
        std::vector<MHD_Response*> old;
        for (size_t i = 0; i < due.size(); ++i) {
            old.push_back(due[i]->plain);
            old.push_back(due[i]->gzipped);
            due[i]->plain = made[i].plain;
            due[i]->gzipped = made[i].gzipped;
            due[i]->made = made[i].made;
            ++due[i]->renders;
        }
        rendered_.notify_all();
        lock.unlock();
        for (MHD_Response* response : old) {
            if (response != nullptr) {
                MHD_destroy_response(response);
            }
        }
        lock.lock();
    }
    rendered_.notify_all();
}
