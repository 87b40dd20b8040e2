#pragma once
// The directory's list pages as the HTTP library's responses, made once per set of pages
// and shared by every request that gets them: a list request costs a counter step and a
// queued response, never a copy of the list. The responses send from the pages themselves.
#include "directory.h"

#include <memory>
#include <mutex>
#include <vector>

struct MHD_Connection;
struct MHD_Response;

class ListResponses {
public:
    // Queues the rotation's next page of the directory's current pages.
    bool Queue(MHD_Connection* connection, Directory& directory);

private:
    // The library counts the uses of a response: one that is still being sent outlives these.
    struct Prepared {
        std::shared_ptr<const ListPages> pages;
        std::vector<MHD_Response*> responses;
        ~Prepared();
    };
    std::shared_ptr<const Prepared> Current(const std::shared_ptr<const ListPages>& pages);

    std::mutex mutex_;  // one preparation at a time
    std::shared_ptr<const Prepared> current_;
};
