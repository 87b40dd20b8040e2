#include "servers_json.h"

#include "text_escape.h"

namespace {

std::string JsonTime(WallClock::time_point when)
{
    std::string text = UtcText(when);
    return text.empty() ? "null" : JsonString(text);
}

}  // namespace

std::string ServersJson(std::vector<HostSnapshot> hosts, WallClock::time_point now)
{
    SortNewestFirst(&hosts);
    std::string json = "{\n  \"generated\": " + JsonTime(now) + ",\n  \"order\": \"newest first\",\n  \"count\": " +
                       std::to_string(hosts.size()) + ",\n  \"servers\": [";
    json.reserve(json.size() + hosts.size() * 176 + 16);
    const char* separator = "\n";
    for (const HostSnapshot& host : hosts) {
        json += separator;
        json += "    {\"name\": ";
        json += JsonString(host.name);
        json += ", \"address\": ";
        json += JsonString(host.address);
        json += ", \"port\": ";
        json += std::to_string(host.port);
        json += ", \"listed_since\": ";
        json += JsonTime(host.listedSince);
        json += ", \"last_answered\": ";
        json += JsonTime(host.lastAnswered);
        json += "}";
        separator = ",\n";
    }
    json += hosts.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}
