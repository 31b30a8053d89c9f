#pragma once
// The transfer's side of the installation lock (InstallationLock.h): taking it before the first
// package, passing over the packages that another workstation installed while this run waited,
// and ending the run when the lock or a record cannot be had.

#include <string>

namespace halvio {

class InstallationLock;
class LockConflictTimeout;
class Model;
struct PackageRow;
struct RunContext;

// Waits for the lock (bounded). When it cannot be had, logs why, tells the user and closes the
// window: nothing was installed. Returns whether the transfer may go on.
bool takeInstallationLock(RunContext& run, InstallationLock& lock);

// Whether MAJ now holds the row's package at its offered date or a later one (the rule of the
// package list: no longer pending), in which case a French line says it is passed over. Opens IB
// when closed; a transaction it starts is rolled back.
bool installedMeanwhile(Model& model, const PackageRow& row);

// Before each package: the lease is renewed, and a lock that another workstation took over (this
// one having been cut off for longer than the lease) ends the run as a failed one. Returns
// whether the transfer may go on.
bool keepInstallationLock(RunContext& run, InstallationLock& lock);

// A package stopped on a record that another connection kept locked: the run ends as a failed one,
// the package not recorded.
void endRunOnLockedRecord(RunContext& run, const LockConflictTimeout& error);

} // namespace halvio
