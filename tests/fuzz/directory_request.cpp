// The directory service's handling of one HTTP request, from the bytes a client sends: the
// checks that refuse a request whose target or end is in doubt, the route, a publication's
// length and its body as it arrives, then the publication's own checks.
//
// The service gets a request through libmicrohttpd, which cuts the bytes into pieces in
// place before it hands them on. The harness cuts them the same way, so that the service's
// checks meet the layout they meet in the service:
// - the head ends at the first empty line; lines end with LF, a CR before it dropped;
// - the request line ends in " HTTP/1.0" or " HTTP/1.1" (anything else the library answers
//   itself); the method runs to the first space, the URI from the spaces after it to the
//   space before the version, and each piece ends with a NUL put where that space stood;
// - the URI is shown as it is (rawUri, its length as a C string), then its query is cut off
//   at the first '?' and its path decoded in place (%XX, XX two hex digits);
// - a header line is "name:value", the value from the first character that is not a space
//   or tab; a line without a colon, a name that is empty or holds a space, tab or NUL, and a
//   folded line are the library's to refuse;
// - the body is what follows the head; a publication's is handed over as its 264 declared
//   bytes.
#include "fuzz_check.h"
#include "publication.h"
#include "request_rules.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const VERSIONS[] = {" HTTP/1.0", " HTTP/1.1"};
const size_t VERSION_LENGTH = 9;

// A stand-in for the web face's documents: the route must not depend on which they are.
bool IsWebPath(const char* url)
{
    return std::strcmp(url, "/") == 0 || std::strcmp(url, "/metrics") == 0;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes %XX in place, as the library does with the path: a C string in, a C string out.
void DecodeInPlace(char* text)
{
    char* out = text;
    for (const char* in = text; *in != '\0'; ++out) {
        if (in[0] == '%' && HexValue(in[1]) >= 0 && HexValue(in[2]) >= 0) {
            *out = static_cast<char>(HexValue(in[1]) * 16 + HexValue(in[2]));
            in += 3;
        } else {
            *out = *in++;
        }
    }
    *out = '\0';
}

// The whole path, decoded, NULs and all: what a proxy in front of the service routes by.
std::string WholePath(const std::string& uri)
{
    std::string path = uri.substr(0, uri.find('?'));
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 && HexValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}

std::string Lower(const char* text)
{
    std::string lower(text);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

struct Request {
    std::unique_ptr<char[]> head;  // the head, cut in place
    RequestLine line;
    bool nulInLine;         // between the method's start and the version's space
    std::string wholePath;  // as a proxy reads it
    std::vector<HeaderField> headers;
    const uint8_t* body;
    size_t bodySize;
};

// Cuts the request as the library does; false for what the library refuses or waits on.
bool CutRequest(const uint8_t* data, size_t size, Request* request)
{
    std::vector<std::pair<size_t, size_t>> lines;  // start and length, without CR LF
    size_t start = 0;
    size_t headEnd = 0;
    for (size_t i = 0; i < size && headEnd == 0; ++i) {
        if (data[i] != '\n')
            continue;
        size_t length = i - start - (i > start && data[i - 1] == '\r' ? 1 : 0);
        if (length == 0 && !lines.empty())
            headEnd = i + 1;
        else
            lines.push_back({start, length});
        start = i + 1;
    }
    if (headEnd == 0)
        return false;

    request->head.reset(new char[headEnd]);
    char* head = request->head.get();
    std::memcpy(head, data, headEnd);
    const size_t lineLength = lines[0].second;
    if (lineLength < VERSION_LENGTH + 2)
        return false;
    const size_t versionSpace = lineLength - VERSION_LENGTH;
    if (std::memcmp(head + versionSpace, VERSIONS[0], VERSION_LENGTH) != 0 &&
        std::memcmp(head + versionSpace, VERSIONS[1], VERSION_LENGTH) != 0)
        return false;
    const char* firstSpace = static_cast<const char*>(std::memchr(head, ' ', lineLength));
    size_t uriStart = static_cast<size_t>(firstSpace - head) + 1;
    while (uriStart < versionSpace && head[uriStart] == ' ')
        ++uriStart;
    if (uriStart >= versionSpace)
        return false;
    request->nulInLine = std::memchr(head, '\0', versionSpace) != nullptr;
    request->wholePath = WholePath(std::string(head + uriStart, versionSpace - uriStart));

    head[firstSpace - head] = '\0';
    head[versionSpace] = '\0';
    head[lineLength] = '\0';
    RequestLine& line = request->line;
    line.method = head;
    line.rawUri = head + uriStart;
    line.rawUriLength = std::strlen(line.rawUri);
    line.escapedNulInPath = PathHoldsEscapedNul(line.rawUri, line.rawUriLength);
    char* query = static_cast<char*>(std::memchr(head + uriStart, '?', versionSpace - uriStart));
    if (query != nullptr)
        *query = '\0';
    DecodeInPlace(head + uriStart);
    line.url = head + uriStart;
    line.version = head + versionSpace + 1;

    for (size_t n = 1; n < lines.size(); ++n) {
        char* field = head + lines[n].first;
        const size_t length = lines[n].second;
        char* colon = static_cast<char*>(std::memchr(field, ':', length));
        if (field[0] == ' ' || field[0] == '\t' || colon == nullptr || colon == field)
            return false;
        for (const char* c = field; c < colon; ++c) {
            if (*c == '\0' || *c == ' ' || *c == '\t')
                return false;
        }
        *colon = '\0';
        field[length] = '\0';
        char* value = colon + 1;
        while (*value == ' ' || *value == '\t')
            ++value;
        request->headers.push_back({field, value});
    }
    request->body = data + headEnd;
    request->bodySize = size - headEnd;
    return true;
}

void CheckLine(const Request& request, const Refusal& refusal)
{
    // Routed only by the whole path, and refused for nothing else.
    const bool cut = request.nulInLine || request.wholePath != request.line.url;
    FUZZ_CHECK((refusal.status != 0) == cut);
    FUZZ_CHECK(refusal.status == 0 || refusal.status == 400);
}

void CheckFraming(const Request& request, const Refusal& refusal)
{
    std::vector<std::string> lengths;
    bool transferEncoding = false;
    for (const HeaderField& field : request.headers) {
        if (Lower(field.key) == "content-length")
            lengths.push_back(field.value);
        transferEncoding = transferEncoding || Lower(field.key) == "transfer-encoding";
    }
    bool differ = false;
    for (const std::string& length : lengths)
        differ = differ || length != lengths[0];
    FUZZ_CHECK((refusal.status != 0) == ((!lengths.empty() && transferEncoding) || differ));
    FUZZ_CHECK(refusal.status == 0 || refusal.status == 400);
}

void CheckRoute(const char* method, const char* url, const RequestRoute& route)
{
    const bool read = std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0;
    const bool list = std::strcmp(url, LIST_PATH) == 0;
    const bool publish = std::strcmp(url, PUBLISH_PATH) == 0;
    Route expected = Route::Refused;
    if (read && list)
        expected = Route::List;
    else if (IsWebPath(url))
        expected = read ? Route::Web : Route::WebMethodRefused;
    else if (publish && std::strcmp(method, "POST") == 0)
        expected = Route::Publication;
    FUZZ_CHECK(route.route == expected);
    if (expected == Route::Refused)
        FUZZ_CHECK(route.refusal.status == (list || publish ? 405u : 404u));
}

// Whatever arrives, in whatever pieces: the first 265 bytes kept, every byte counted.
void CheckBodyKeeping(const uint8_t* body, size_t size)
{
    PublicationBody kept;
    size_t offset = 0;
    for (size_t piece = 1; offset < size; piece = piece * 3 + 1) {
        size_t part = size - offset < piece ? size - offset : piece;
        AddBodyBytes(kept, reinterpret_cast<const char*>(body + offset), part);
        offset += part;
    }
    const size_t keep = size < sizeof(ServerEntry) + 1 ? size : sizeof(ServerEntry) + 1;
    FUZZ_CHECK(kept.received == size);
    FUZZ_CHECK(kept.kept.size() == keep && std::memcmp(kept.kept.data(), body, keep) == 0);
}

void Publish(const Request& request)
{
    const char* length = nullptr;
    for (const HeaderField& field : request.headers) {
        if (length == nullptr && Lower(field.key) == "content-length")
            length = field.value;
    }
    const Refusal refusal = CheckPublicationLength(request.headers);
    FUZZ_CHECK(refusal.status == (length == nullptr ? 411u : std::strcmp(length, "264") != 0 ? 400u : 0u));
    if (refusal.status != 0 || request.bodySize < sizeof(ServerEntry))
        return;

    PublicationBody body;
    AddBodyBytes(body, reinterpret_cast<const char*>(request.body), 100);
    AddBodyBytes(body, reinterpret_cast<const char*>(request.body) + 100, sizeof(ServerEntry) - 100);
    // Read from a block of exactly what was kept, as the service hands it on.
    std::unique_ptr<unsigned char[]> kept(new unsigned char[body.kept.size()]);
    std::memcpy(kept.get(), body.kept.data(), body.kept.size());
    ServerEntry entry = {};
    std::string reason;
    if (!ParsePublication(kept.get(), body.received, &entry, &reason))
        FUZZ_CHECK(!reason.empty());
    else
        FUZZ_CHECK(entry.nPort >= MIN_HOST_PORT && entry.nPort <= MAX_HOST_PORT);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Request request;
    if (!CutRequest(data, size, &request))
        return 0;
    CheckBodyKeeping(request.body, request.bodySize);

    const Refusal line = CheckRequestLine(request.line);
    CheckLine(request, line);
    if (line.status != 0)
        return 0;
    const Refusal framing = CheckBodyFraming(request.headers);
    CheckFraming(request, framing);
    if (framing.status != 0)
        return 0;
    const RequestRoute route = RouteRequest(request.line.method, request.line.url, &IsWebPath);
    CheckRoute(request.line.method, request.line.url, route);
    if (route.route == Route::Publication)
        Publish(request);
    return 0;
}
