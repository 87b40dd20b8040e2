#include "timed_store.h"

#include <chrono>

namespace {

class TimedStore : public DirectoryStore {
public:
    TimedStore(std::unique_ptr<DirectoryStore> store, HistogramFamily& seconds)
        : store_(std::move(store)), seconds_(seconds)
    {
    }

    bool Open(std::string* error) override
    {
        return Timed("open", [&] { return store_->Open(error); });
    }
    std::string Describe() const override { return store_->Describe(); }
    bool Available() const override { return store_->Available(); }
    std::string LastError() const override { return store_->LastError(); }

    bool AdmitPublication(const std::string& address, StoreTime now, const PublicationLimits& limits,
                          bool* admitted) override
    {
        return Timed("admit_publication", [&] { return store_->AdmitPublication(address, now, limits, admitted); });
    }
    bool Publish(const std::string& address, const ServerEntry& entry, const PublicationLimits& limits, StoreTime now,
                 StoredPublication* result) override
    {
        return Timed("publish", [&] { return store_->Publish(address, entry, limits, now, result); });
    }
    bool ClaimDueProbes(const std::string& owner, StoreTime now, StoreTime leaseUntil, size_t max,
                        std::vector<ProbeTarget>* due, StoreTime* nextDue) override
    {
        return Timed("claim_due_probes",
                     [&] { return store_->ClaimDueProbes(owner, now, leaseUntil, max, due, nextDue); });
    }
    bool RecordProbes(const std::string& owner, const std::vector<ProbeTarget>& targets,
                      const std::vector<bool>& alive, StoreTime now, const ProbeRules& rules,
                      std::vector<ProbeChange>* changes) override
    {
        return Timed("record_probes", [&] { return store_->RecordProbes(owner, targets, alive, now, rules, changes); });
    }
    bool ReadChanges(int64_t* version, bool* full, std::vector<StoredHost>* changed,
                     std::vector<int64_t>* removed) override
    {
        return Timed("read_changes", [&] { return store_->ReadChanges(version, full, changed, removed); });
    }
    bool Tidy(StoreTime now, StoreTime window, StoreTime keepRemoved) override
    {
        return Timed("tidy", [&] { return store_->Tidy(now, window, keepRemoved); });
    }

private:
    template <typename Operation>
    bool Timed(const char* name, Operation operation)
    {
        auto start = std::chrono::steady_clock::now();
        bool done = operation();
        seconds_.Observe({name}, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return done;
    }

    std::unique_ptr<DirectoryStore> store_;
    HistogramFamily& seconds_;
};

}  // namespace

std::unique_ptr<DirectoryStore> MakeTimedStore(std::unique_ptr<DirectoryStore> store, HistogramFamily& seconds)
{
    return std::unique_ptr<DirectoryStore>(new TimedStore(std::move(store), seconds));
}
