#pragma once
// Tells every workstation listed in ordinateur that a new Halvio program is in the update folder.

#include "HttpClient.h"

#include <chrono>
#include <string>
#include <string_view>

namespace halvio {

class Model;

// A listener on the clinic's network answers at once; one that accepts the notification and
// never answers, or a workstation that is off, must not hold the run: each is given this long in
// all, connection included.
inline constexpr std::chrono::milliseconds kNotificationTimeLimit{3000};

// The options of httplocal, the client that tells the workstations: no redirection followed, and
// every notification bounded by kNotificationTimeLimit.
platform::HttpClient::Options notificationClientOptions();

// "http://" + trimmed ip + ":" + trimmed port + "/MAJ".
std::string workstationAddress(std::string_view ip, std::string_view port);

// GETs every workstation's address in the order the database returns them, one after the other,
// through IBSQL1's transaction, committed at the end. The replies are dropped; a workstation that
// is off, refuses or answers with an error is passed over without a word.
void notifyWorkstations(Model& model, platform::HttpClient& httplocal);

} // namespace halvio
