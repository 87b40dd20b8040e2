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
    const char* separator = "\n";
    for (const HostSnapshot& host : hosts) {
        json += separator;
        json += "    {\"name\": " + JsonString(host.name) + ", \"address\": " + JsonString(host.address) +
                ", \"port\": " + std::to_string(host.port) + ", \"listed_since\": " + JsonTime(host.listedSince) +
                ", \"last_answered\": " + JsonTime(host.lastAnswered) + "}";
        separator = ",\n";
    }
    json += hosts.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}
