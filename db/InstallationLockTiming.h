#pragma once
// The times of the installation lock (InstallationLock.h); tests give shorter ones.

#include <chrono>

namespace halvio {

// The lease a holder takes on the lock, measured on the database server's clock. A workstation
// that dies holding the lock (power cut, killed program) blocks the clinic for this long at most;
// a live holder renews it long before it runs out, so two minutes leave room for several missed
// renewals (a busy server, a network hiccup).
inline constexpr std::chrono::seconds kInstallationLease{120};

// How often a holder renews its lease, from a thread of its own, so that a long download or a
// long step of the installation (which keep the window's thread busy) never lets it run out.
inline constexpr std::chrono::seconds kInstallationLeaseRenewal{20};

// How long a run waits for another workstation's installation to end before it gives up. Longer
// than the lease, so that a lock left by a workstation that died is always taken over within the
// wait; five minutes covers a morning's installation on another workstation (downloads, scripts,
// the DIAG renumbering) without leaving the clinic's staff in front of a window for long.
inline constexpr std::chrono::seconds kInstallationLockWait{300};

// Between two tries to take a lock that another workstation holds.
inline constexpr std::chrono::milliseconds kInstallationLockRetry{1000};

struct InstallationLockTiming {
    std::chrono::seconds lease = kInstallationLease;
    std::chrono::milliseconds renewEvery = kInstallationLeaseRenewal;
    std::chrono::milliseconds wait = kInstallationLockWait;
    std::chrono::milliseconds retryEvery = kInstallationLockRetry;
};

} // namespace halvio
