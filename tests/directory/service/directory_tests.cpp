// The directory's rules, driven in process with a clock the test chooses, over each real
// store: what is listed, the limits per address and in all, the probe schedule, the
// rotation, what is kept of each host. Probe outcomes are handed in as the probe loop would
// hand them.
#include "directory.h"
#include "directory_service.h"
#include "test_stores.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class DirectoryTest : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override
    {
        UseFreshStore(GetParam(), folder_, &settings_);
        settings_.probeInterval = 60;
        settings_.retryInterval = 5;
        store_ = OpenStore();
        ASSERT_TRUE(store_);
        directory_.reset(new Directory(settings_, *store_));
        ASSERT_TRUE(directory_->Sync());
    }

    std::unique_ptr<DirectoryStore> OpenStore()
    {
        std::unique_ptr<DirectoryStore> store = MakeStore(settings_);
        std::string error;
        if (!store->Open(&error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        return store;
    }

    PublishResult Publish(const std::string& source, const std::string& name, int port)
    {
        std::string body = EntryBytes(name, port);
        std::string reason;
        return directory_->Publish(source, reinterpret_cast<const unsigned char*>(body.data()), body.size(), now_,
                                   &reason);
    }

    // Answers every probe that is due at the current time.
    size_t AnswerDueProbes(bool alive)
    {
        std::vector<ProbeTarget> due = directory_->TakeDueProbes(now_, 100000);
        directory_->RecordProbeResults(due, std::vector<bool>(due.size(), alive), now_);
        return due.size();
    }

    std::vector<ListedHost> List()
    {
        ServerList list = directory_->NextList();
        return ParseList(std::string(reinterpret_cast<const char*>(&list), sizeof list));
    }

    TempFolder folder_;
    ServiceSettings settings_;
    std::unique_ptr<DirectoryStore> store_;
    std::unique_ptr<Directory> directory_;
    WallClock::time_point now_ = WallClock::now();
};

INSTANTIATE_TEST_SUITE_P(Stores, DirectoryTest, ::testing::ValuesIn(AllStores()), StoreRowName);

TEST_P(DirectoryTest, ListsAHostOnlyOnceAProbeFoundItUnderItsSourceAddress)
{
    EXPECT_EQ(Publish("10.1.2.3", "Ann", 2300), PublishResult::Added);
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(AnswerDueProbes(true), 1u);
    std::vector<ListedHost> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].address, "10.1.2.3");
    EXPECT_EQ(listed[0].name, "Ann");
    EXPECT_EQ(listed[0].port, 2300);

    EXPECT_EQ(Publish("10.1.2.3", "Ann renamed", 2300), PublishResult::Refreshed);
    ASSERT_EQ(List().size(), 1u);
    EXPECT_EQ(List()[0].name, "Ann renamed");
}

TEST_P(DirectoryTest, DropsAHostAfterThreeFailedProbesInARow)
{
    Publish("10.1.2.3", "Ann", 2300);
    AnswerDueProbes(true);

    // A listed host is probed again after the probe interval, not before.
    now_ += seconds(59);
    EXPECT_EQ(AnswerDueProbes(false), 0u);
    now_ += seconds(1);
    EXPECT_EQ(AnswerDueProbes(false), 1u);
    // After a failure it is tried again sooner; a success in between starts the count anew.
    now_ += seconds(5);
    EXPECT_EQ(AnswerDueProbes(false), 1u);
    now_ += seconds(5);
    EXPECT_EQ(AnswerDueProbes(true), 1u);
    for (int failure = 1; failure <= 3; ++failure) {
        now_ += seconds(60);
        EXPECT_EQ(AnswerDueProbes(false), 1u) << "failure " << failure;
        EXPECT_EQ(List().size(), failure < 3 ? 1u : 0u) << "after failure " << failure;
    }
    EXPECT_EQ(directory_->EntryCount(), 0u);
}

TEST_P(DirectoryTest, ForgetsAHostThatNeverAnswered)
{
    Publish("10.1.2.3", "Ann", 2300);
    for (int failure = 1; failure <= 3; ++failure) {
        EXPECT_EQ(AnswerDueProbes(false), 1u) << "failure " << failure;
        now_ += seconds(5);
    }
    EXPECT_EQ(directory_->EntryCount(), 0u);
    EXPECT_TRUE(List().empty());
}

TEST_P(DirectoryTest, HoldsAtMostThreeEntriesPerAddress)
{
    EXPECT_EQ(Publish("10.0.0.1", "a", 2001), PublishResult::Added);
    EXPECT_EQ(Publish("10.0.0.1", "b", 2002), PublishResult::Added);
    EXPECT_EQ(Publish("10.0.0.1", "c", 2003), PublishResult::Added);
    EXPECT_EQ(Publish("10.0.0.1", "d", 2004), PublishResult::AddressFull);
    EXPECT_EQ(Publish("10.0.0.1", "c again", 2003), PublishResult::Refreshed);
    EXPECT_EQ(Publish("10.0.0.2", "e", 2004), PublishResult::Added);

    // Once one of the three is gone, the address may publish another.
    std::vector<ProbeTarget> due = directory_->TakeDueProbes(now_, 100);
    for (int failure = 1; failure <= 3; ++failure) {
        std::vector<bool> alive;
        for (const ProbeTarget& target : due) {
            alive.push_back(target.port != 2001);
        }
        directory_->RecordProbeResults(due, alive, now_);
        now_ += seconds(60);
        due = directory_->TakeDueProbes(now_, 100);
    }
    EXPECT_EQ(Publish("10.0.0.1", "d", 2004), PublishResult::Added);
}

TEST_P(DirectoryTest, HoldsABoundedNumberOfEntriesInAll)
{
    settings_.maxEntries = 5;
    directory_.reset(new Directory(settings_, *store_));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Publish("10.0.0." + std::to_string(i), "x", 2000), PublishResult::Added) << i;
    }
    EXPECT_EQ(Publish("10.0.0.9", "x", 2000), PublishResult::DirectoryFull);
    EXPECT_EQ(Publish("10.0.0.1", "refresh", 2000), PublishResult::Refreshed);
}

TEST_P(DirectoryTest, AdmitsTenPublicationsAMinutePerAddress)
{
    auto admitted = [&](const char* source, seconds later) {
        return directory_->AdmitPublication(source, now_ + later) == Admission::Admitted;
    };
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(admitted("10.0.0.1", seconds(i))) << i;
    }
    EXPECT_EQ(directory_->AdmitPublication("10.0.0.1", now_ + seconds(30)), Admission::TooMany);
    EXPECT_TRUE(admitted("10.0.0.2", seconds(30)));
    // The first publication leaves the window a minute after it was made.
    EXPECT_FALSE(admitted("10.0.0.1", seconds(59)));
    EXPECT_TRUE(admitted("10.0.0.1", seconds(60)));
    EXPECT_FALSE(admitted("10.0.0.1", seconds(60)));
}

TEST_P(DirectoryTest, RotatesThroughMoreThanTwentyListedHosts)
{
    std::set<std::string> all;
    for (int a = 1; a <= 15; ++a) {
        for (int p = 1; p <= 3; ++p) {
            std::string source = "10.0.0." + std::to_string(a);
            Publish(source, "host " + std::to_string(a) + "/" + std::to_string(p), 2000 + p);
            all.insert(source + ":" + std::to_string(2000 + p));
        }
    }
    AnswerDueProbes(true);

    std::set<std::string> seen;
    for (int request = 0; request < 3; ++request) {
        std::set<std::string> inThisList;
        for (const ListedHost& host : List()) {
            inThisList.insert(host.address + ":" + std::to_string(host.port));
        }
        EXPECT_EQ(inThisList.size(), 20u) << "list " << request;
        seen.insert(inThisList.begin(), inThisList.end());
    }
    EXPECT_EQ(seen, all) << "three lists of 20 show each of 45 hosts";
}

TEST_P(DirectoryTest, ShowsUpToTwentyHostsInEveryListInPublicationOrder)
{
    for (int i = 1; i <= 7; ++i) {
        Publish("10.0.0." + std::to_string(i), "host " + std::to_string(i), 2000);
    }
    AnswerDueProbes(true);
    for (int request = 0; request < 3; ++request) {
        std::vector<ListedHost> listed = List();
        ASSERT_EQ(listed.size(), 7u);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(listed[i].name, "host " + std::to_string(i + 1)) << "list " << request;
        }
    }
}

TEST_P(DirectoryTest, KeepsWhenEachHostWasListedAndLastAnsweredAcrossARestart)
{
    Publish("10.1.2.3", "Ann", 2300);
    EXPECT_TRUE(directory_->ListedHosts().empty()) << "nothing is listed before a probe";
    const WallClock::time_point firstAnswer = now_;
    EXPECT_EQ(AnswerDueProbes(true), 1u);
    // A failed probe in between keeps the time it was first listed.
    now_ += seconds(60);
    EXPECT_EQ(AnswerDueProbes(false), 1u);
    now_ += seconds(5);
    EXPECT_EQ(AnswerDueProbes(true), 1u);

    std::unique_ptr<DirectoryStore> reopened = OpenStore();
    ASSERT_TRUE(reopened);
    Directory restarted(settings_, *reopened);
    ASSERT_TRUE(restarted.Sync());
    auto millis = [](WallClock::time_point when) {
        return std::chrono::duration_cast<milliseconds>(when.time_since_epoch()).count();
    };
    for (const Directory* directory : {directory_.get(), &restarted}) {
        std::vector<HostSnapshot> hosts = directory->ListedHosts();
        ASSERT_EQ(hosts.size(), 1u);
        EXPECT_EQ(hosts[0].address, "10.1.2.3");
        EXPECT_EQ(hosts[0].port, 2300);
        EXPECT_EQ(hosts[0].name, "Ann");
        EXPECT_EQ(millis(hosts[0].listedSince), millis(firstAnswer));
        EXPECT_EQ(millis(hosts[0].lastAnswered), millis(now_));
    }
}

TEST_P(DirectoryTest, StoresAndListsNamesByteForByte)
{
    // Text that would break SQL pasted together from strings, and bytes beyond ASCII.
    const std::string names[] = {
        "Ann's \"best\" server",
        "back\\slash\\",
        "'); DROP TABLE listings; --",
        "x' OR '1'='1",
        "100% _match_ [a-z]*",
        "Caf\xE9 \xFF\x80",
        std::string(79, '\''),
    };
    int port = 2000;
    for (const std::string& name : names) {
        EXPECT_EQ(Publish("10.0.1." + std::to_string(port - 1999), name, port), PublishResult::Added) << name;
        ++port;
    }
    AnswerDueProbes(true);
    ServerList list = directory_->NextList();
    std::vector<HostSnapshot> hosts = directory_->ListedHosts();
    ASSERT_EQ(hosts.size(), std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) {
        std::string field(list.aEntries[i].szName, sizeof list.aEntries[i].szName);
        EXPECT_EQ(field, names[i] + std::string(80 - names[i].size(), '\0')) << names[i];
        EXPECT_EQ(hosts[i].name, names[i]);
    }
}

// Probe workers sleep until the next probe is due; the first to wake takes it while the
// others are still waiting for its time. (The sanitized build once found them reading the
// schedule's entry for that time after the first had freed it.)
TEST_P(DirectoryTest, ProbeWorkersWaitingForTheSameProbeTakeItOnce)
{
    settings_.probeInterval = 0.5;
    directory_.reset(new Directory(settings_, *store_));
    ASSERT_TRUE(directory_->Sync());
    Publish("10.1.2.3", "Ann", 2300);
    AnswerDueProbes(true);

    std::vector<ProbeTarget> taken[3];
    std::vector<std::thread> workers;
    for (std::vector<ProbeTarget>& mine : taken) {
        workers.emplace_back([this, &mine] { mine = directory_->WaitForDueProbes(10); });
    }
    std::this_thread::sleep_for(milliseconds(1500));
    directory_->Stop();
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(taken[0].size() + taken[1].size() + taken[2].size(), 1u);
}

}  // namespace
