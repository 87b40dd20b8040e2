#include "request_rules.h"

#include "server_entry.h"

#include <algorithm>
#include <cstring>

const char* const LIST_PATH = "/cgi-bin/quarvcgiread.exe";
const char* const PUBLISH_PATH = "/cgi-bin/quarvcgi.exe";

namespace {

// Header names are compared as HTTP compares them: ASCII letters in either case.
bool SameName(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) {
            return false;
        }
    }
    return *a == *b;
}

// The first field of that name, as the library looks one up.
const char* FindHeader(const std::vector<HeaderField>& headers, const char* name)
{
    for (const HeaderField& field : headers) {
        if (SameName(field.key, name)) {
            return field.value;
        }
    }
    return nullptr;
}

bool IsRead(const char* method)
{
    return std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0;
}

RequestRoute Refused(unsigned int status, const char* text)
{
    return {Route::Refused, {status, text}};
}

RequestRoute Accepted(Route route)
{
    return {route, {0, std::string()}};
}

}  // namespace

// The library cuts the request line in place into method, URI and version, each ended by a
// NUL where a space or the line's end stood, and hands them on as C strings. A NUL that the
// client put inside the line ends one of them early and hides what follows, so that
// "GET /list\0junk HTTP/1.0" would read as a request for /list. Whatever lies between the
// pieces shows it: between method and URI only the spaces the library skips, and the URI as
// long as it was before the library took its query apart.
Refusal CheckRequestLine(const RequestLine& line)
{
    const Refusal refused = {400, "refused: a NUL byte in the request line"};
    if (line.rawUri == nullptr || line.rawUri != line.url || line.url + line.rawUriLength + 1 != line.version) {
        return refused;
    }
    const char* methodEnd = line.method + std::strlen(line.method);
    if (methodEnd >= line.url || !std::all_of(methodEnd + 1, line.url, [](char c) { return c == ' '; })) {
        return refused;
    }
    if (line.escapedNulInPath) {
        return {400, "refused: an escaped NUL byte in the path"};
    }
    return {0, std::string()};
}

bool PathHoldsEscapedNul(const char* rawUri, size_t length)
{
    const char* pathEnd = std::find(rawUri, rawUri + length, '?');
    const char escapedNul[] = "%00";
    return std::search(rawUri, pathEnd, escapedNul, escapedNul + 3) != pathEnd;
}

// The library reads a body by Transfer-Encoding before Content-length, and by the first of
// several Content-length headers, while a proxy may read it by another, and the rest would
// pass as the next request.
Refusal CheckBodyFraming(const std::vector<HeaderField>& headers)
{
    int lengths = 0;
    bool differ = false;
    const char* first = nullptr;
    for (const HeaderField& field : headers) {
        if (!SameName(field.key, "Content-Length")) {
            continue;
        }
        if (lengths++ == 0) {
            first = field.value;
        } else if (std::strcmp(first, field.value) != 0) {
            differ = true;
        }
    }
    if (lengths > 0 && FindHeader(headers, "Transfer-Encoding") != nullptr) {
        return {400, "refused: both Content-length and Transfer-Encoding"};
    }
    if (differ) {
        return {400, "refused: Content-length headers that differ"};
    }
    return {0, std::string()};
}

bool IsFramingHeader(const char* key)
{
    return SameName(key, "Content-Length") || SameName(key, "Transfer-Encoding");
}

RequestRoute RouteRequest(const char* method, const char* url, bool (*isWebPath)(const char*))
{
    if (IsRead(method)) {
        if (std::strcmp(url, LIST_PATH) == 0) {
            return Accepted(Route::List);
        }
        if (isWebPath(url)) {
            return Accepted(Route::Web);
        }
        return std::strcmp(url, PUBLISH_PATH) == 0 ? Refused(405, "publish with POST") : Refused(404, "not found");
    }
    if (std::strcmp(url, PUBLISH_PATH) == 0) {
        return std::strcmp(method, "POST") == 0 ? Accepted(Route::Publication) : Refused(405, "publish with POST");
    }
    if (std::strcmp(url, LIST_PATH) == 0) {
        return Refused(405, "the list is read with GET");
    }
    if (isWebPath(url)) {
        return Accepted(Route::WebMethodRefused);
    }
    return Refused(404, "not found");
}

Refusal CheckPublicationLength(const std::vector<HeaderField>& headers)
{
    const char* length = FindHeader(headers, "Content-Length");
    if (length == nullptr) {
        return {411, "no Content-length"};
    }
    if (std::strcmp(length, "264") != 0) {
        return {400, "Content-length is not 264"};
    }
    return {0, std::string()};
}

void AddBodyBytes(PublicationBody& body, const char* data, size_t size)
{
    size_t room = sizeof(ServerEntry) + 1 - body.kept.size();
    body.kept.append(data, std::min(size, room));
    body.received += size;
}
