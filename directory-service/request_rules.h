#pragma once
// What the directory makes of a request, from what the HTTP library hands over: the
// request line cut into pieces, the header fields, the body in pieces. Whether it is
// refused and how, or where it goes. Nothing here calls the library or the system, so that
// the service and its fuzz target run the same code.
#include <cstddef>
#include <string>
#include <vector>

extern const char* const LIST_PATH;
extern const char* const PUBLISH_PATH;

// The request line as the library leaves it: method, URI and version cut out of one
// buffer in place, each ended by a NUL where a space or the line's end stood; url is the
// URI's path, without its query and decoded in place. rawUri is where the library showed
// the URI before it took the query apart and decoded it (null if it never did),
// rawUriLength its length then, and escapedNulInPath what PathHoldsEscapedNul said of it
// then.
struct RequestLine {
    const char* method;
    const char* url;
    const char* version;
    const char* rawUri;
    size_t rawUriLength;
    bool escapedNulInPath;
};

// Whether the path of a URI as the library first shows it holds an escaped NUL: once the
// library has decoded it, the path ends there for the service but not for a proxy.
bool PathHoldsEscapedNul(const char* rawUri, size_t length);

// One header field, as the library hands it over: two C strings.
struct HeaderField {
    const char* key;
    const char* value;
};
// Whether the checks below read a field of this name (Content-Length, Transfer-Encoding):
// the others need not be handed to them.
bool IsFramingHeader(const char* key);

// Status 0: nothing refused. Otherwise the status and the line the client reads.
struct Refusal {
    unsigned int status;
    std::string text;
};

// A NUL inside the request line, or one escaped in its path, hides what follows from the
// service but not from a proxy in front of it: refused with 400.
Refusal CheckRequestLine(const RequestLine& line);
// Where a body ends must be beyond doubt: refused with 400 when it is not.
Refusal CheckBodyFraming(const std::vector<HeaderField>& headers);

enum class Route {
    List,              // GET or HEAD of the wizard's list
    Web,               // GET or HEAD of one of the web face's documents
    WebMethodRefused,  // any other method for one of them: the web face says which it takes
    Publication,       // POST of a publication: its source and its length come next
    Refused,
};
struct RequestRoute {
    Route route;
    Refusal refusal;  // for Route::Refused
};
// Where a request that passed both checks above goes.
RequestRoute RouteRequest(const char* method, const char* url, bool (*isWebPath)(const char*));

// A publication must say its length, and the length of one entry: refused with 411 without
// a Content-length and with 400 for any other than 264; the text is the reason alone.
Refusal CheckPublicationLength(const std::vector<HeaderField>& headers);

// A publication's body while it arrives: kept up to one byte past an entry's size, enough
// to tell a long body from a good one; every byte counted.
struct PublicationBody {
    std::string kept;
    size_t received = 0;
};
void AddBodyBytes(PublicationBody& body, const char* data, size_t size);
