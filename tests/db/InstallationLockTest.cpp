// The installation lock between real connections to one clinic database on the private server:
// one holder at a time, a lease that a dead holder cannot keep, renewal while the holder works,
// a bounded wait with its notice, and two workstations creating the lock's table together.
#include "InstallationLock.h"

#include "RecordingView.h"
#include "TestDatabase.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <memory>
#include <thread>

using namespace halvio;
using namespace std::chrono_literals;

namespace {

struct InstallationLockTest : ::testing::Test {
    const test::TestDatabase db;
    test::RecordingView view;
    Database clinic;

    InstallationLockTest() { db.configure(clinic); }
    std::string value(const std::string& sql) const { return db.queryValue(sql); }

    static InstallationLockTiming waitingFor(std::chrono::milliseconds wait) {
        InstallationLockTiming timing;
        timing.wait = wait;
        timing.retryEvery = 200ms;
        return timing;
    }
};

} // namespace

TEST_F(InstallationLockTest, OneHolderAtATimeAndTheNextOnceItIsReleased) {
    ASSERT_EQ(value("select count(*) from rdb$relations where rdb$relation_name = 'MAJ_VERROU'"), "0");
    auto first =
        std::make_unique<InstallationLock>(clinic, InstallationLockTiming{}, "POSTE-A (processus 11)");
    EXPECT_TRUE(first->tryAcquire(view).taken);
    EXPECT_EQ(value("select count(*) from rdb$relations where rdb$relation_name = 'MAJ_VERROU'"), "1");

    InstallationLock second(clinic, InstallationLockTiming{}, "POSTE-B (processus 22)");
    const InstallationLock::Attempt refused = second.tryAcquire(view);
    EXPECT_FALSE(refused.taken);
    EXPECT_EQ(refused.holder, "POSTE-A (processus 11)");
    EXPECT_FALSE(second.isHeld());

    first.reset(); // the end of the first run, whichever way it ends
    EXPECT_TRUE(second.tryAcquire(view).taken);
    EXPECT_EQ(value("select poste from maj_verrou"), "POSTE-B (processus 22)");
    second.release();
    EXPECT_EQ(value("select count(*) from maj_verrou"), "0");
    EXPECT_TRUE(view.log.empty());
}

TEST_F(InstallationLockTest, ALeaseThatRanOutIsTakenOverAndALiveOneIsNot) {
    InstallationLock(clinic, InstallationLockTiming{}, "POSTE-A").tryAcquire(view); // creates the table
    struct Case {
        const char* echeance;
        bool taken;
    };
    const Case cases[] = {
        {"dateadd(-1 second to current_timestamp)", true}, // the holder died: its lease ran out
        {"null", true},
        {"dateadd(60 second to current_timestamp)", false},
    };
    for (const Case& c : cases) {
        db.execute({"delete from maj_verrou", std::string("insert into maj_verrou values (1, 'POSTE-MORT', "
                                                          "'0123456789abcdef', ") +
                                                  c.echeance + ")"});
        InstallationLock lock(clinic, InstallationLockTiming{}, "POSTE-B");
        const InstallationLock::Attempt attempt = lock.tryAcquire(view);
        EXPECT_EQ(attempt.taken, c.taken) << c.echeance;
        EXPECT_EQ(value("select trim(poste) from maj_verrou"), c.taken ? "POSTE-B" : "POSTE-MORT")
            << c.echeance;
    }
}

TEST_F(InstallationLockTest, TheHolderKeepsItsLeaseAliveWhileItWorks) {
    InstallationLockTiming shortLease;
    shortLease.lease = 2s;
    shortLease.renewEvery = 300ms;
    InstallationLock holder(clinic, shortLease, "POSTE-A");
    // The window's idle function is for the window's thread only, never the keeper's.
    const std::thread::id window = std::this_thread::get_id();
    std::atomic<bool> idleOnAnotherThread{false};
    holder.setIdle(
        [&] { idleOnAnotherThread = idleOnAnotherThread || std::this_thread::get_id() != window; });
    ASSERT_TRUE(holder.tryAcquire(view).taken);

    std::this_thread::sleep_for(4s); // twice the lease, the window's thread busy elsewhere

    InstallationLock other(clinic, InstallationLockTiming{}, "POSTE-B");
    EXPECT_FALSE(other.tryAcquire(view).taken);
    EXPECT_TRUE(holder.confirm());
    EXPECT_FALSE(idleOnAnotherThread);
}

TEST_F(InstallationLockTest, AHolderCutOffLongerThanItsLeaseLosesTheLock) {
    InstallationLockTiming cutOff;
    cutOff.lease = 1s;
    cutOff.renewEvery = 1h; // no renewal reaches the server
    auto holder = std::make_unique<InstallationLock>(clinic, cutOff, "POSTE-A");
    ASSERT_TRUE(holder->tryAcquire(view).taken);
    std::this_thread::sleep_for(1500ms);

    InstallationLock other(clinic, InstallationLockTiming{}, "POSTE-B");
    ASSERT_TRUE(other.tryAcquire(view).taken);
    EXPECT_FALSE(holder->confirm());
    holder.reset(); // its release leaves the new holder's row alone
    EXPECT_EQ(value("select trim(poste) from maj_verrou"), "POSTE-B");
    EXPECT_TRUE(other.confirm());
}

TEST_F(InstallationLockTest, TheWaitIsBoundedAndSaysWhoHoldsTheLock) {
    InstallationLock holder(clinic, InstallationLockTiming{}, "POSTE-A (processus 7)");
    ASSERT_TRUE(holder.tryAcquire(view).taken);
    InstallationLock waiter(clinic, waitingFor(1500ms), "POSTE-B");

    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter.acquire(view));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1500ms);

    EXPECT_EQ(view.logUtf8(),
              std::vector<std::string>{"Une installation est déjà en cours sur le poste POSTE-A "
                                       "(processus 7) : attente de sa fin (2 secondes au plus)..."});
    EXPECT_EQ(view.statusTexts,
              std::vector<std::string>{fr("Attente de l'installation en cours sur un autre poste...")});
    EXPECT_GT(view.messagePasses, 10) << "the window was not served while waiting";
    EXPECT_FALSE(waiter.isHeld());
    EXPECT_TRUE(holder.confirm());
}

TEST_F(InstallationLockTest, AWaiterTakesTheLockOnceTheHolderHasEnded) {
    auto holder = std::make_unique<InstallationLock>(clinic, InstallationLockTiming{}, "POSTE-A");
    ASSERT_TRUE(holder->tryAcquire(view).taken);
    InstallationLock waiter(clinic, waitingFor(60s), "POSTE-B");
    view.onProcessMessages = [&] {
        if (view.messagePasses == 5)
            holder.reset();
    };

    EXPECT_TRUE(waiter.acquire(view));
    EXPECT_EQ(view.logUtf8(),
              (std::vector<std::string>{
                  "Une installation est déjà en cours sur le poste POSTE-A : attente de sa fin (60 secondes "
                  "au plus)...",
                  "L'installation de l'autre poste est terminée : la mise à jour continue."}));
    EXPECT_EQ(value("select trim(poste) from maj_verrou"), "POSTE-B");
}

TEST_F(InstallationLockTest, TwoWorkstationsStartingTogetherOnADatabaseWithoutTheTable) {
    std::barrier together(2);
    std::atomic<int> taken{0};
    auto workstation = [&](const std::string& holder) {
        test::RecordingView ownView;
        InstallationLock lock(clinic, InstallationLockTiming{}, holder);
        together.arrive_and_wait();
        try {
            if (lock.tryAcquire(ownView).taken)
                ++taken;
        } catch (const std::exception& error) {
            ADD_FAILURE() << holder << ": " << error.what();
        }
        together.arrive_and_wait(); // neither releases before both have tried
    };
    std::thread first(workstation, "POSTE-A");
    std::thread second(workstation, "POSTE-B");
    first.join();
    second.join();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(value("select count(*) from rdb$relations where rdb$relation_name = 'MAJ_VERROU'"), "1");
}
