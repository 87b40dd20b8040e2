#include "list_responses.h"

#include <microhttpd.h>

namespace {

// Each response keeps the pages it sends from alive, however long it outlives its set.
void ReleasePages(void* pages)
{
    delete static_cast<std::shared_ptr<const ListPages>*>(pages);
}

}  // namespace

ListResponses::Prepared::~Prepared()
{
    for (MHD_Response* response : responses) {
        MHD_destroy_response(response);
    }
}

bool ListResponses::Queue(MHD_Connection* connection, Directory& directory)
{
    std::shared_ptr<const Prepared> prepared = Current(directory.Pages());
    if (prepared->responses.empty()) {
        return false;
    }
    MHD_Response* response = prepared->responses[directory.NextRotationStep() % prepared->responses.size()];
    return MHD_queue_response(connection, MHD_HTTP_OK, response) == MHD_YES;
}

std::shared_ptr<const ListResponses::Prepared> ListResponses::Current(const std::shared_ptr<const ListPages>& pages)
{
    std::shared_ptr<const Prepared> prepared = std::atomic_load(&current_);
    if (prepared && prepared->pages == pages) {
        return prepared;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    prepared = std::atomic_load(&current_);
    if (prepared && prepared->pages == pages) {
        return prepared;
    }
    auto made = std::make_shared<Prepared>();
    made->pages = pages;
    for (const ServerList& page : pages->pages) {
        auto* keep = new std::shared_ptr<const ListPages>(pages);
        MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
            sizeof page, const_cast<ServerList*>(&page), &ReleasePages, keep);
        if (response == nullptr) {
            delete keep;
            // Out of memory: this request makes do with the pages made so far, and the next tries again.
            return made;
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/octet-stream");
        // Lists rotate: nothing between us and the player may keep a copy.
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        made->responses.push_back(response);
    }
    std::atomic_store(&current_, std::shared_ptr<const Prepared>(made));
    return made;
}
