#pragma once
// Tells every workstation listed in ordinateur that a new Halvio program is in the update folder.

#include <string>
#include <string_view>

namespace halvio {

class Model;

namespace platform {
class HttpClient;
}

// "http://" + trimmed ip + ":" + trimmed port + "/MAJ".
std::string workstationAddress(std::string_view ip, std::string_view port);

// GETs every workstation's address in the order the database returns them, one after the other,
// through IBSQL1's transaction, committed at the end. The replies are dropped; a workstation that
// is off, refuses or answers with an error is passed over without a word.
void notifyWorkstations(Model& model, platform::HttpClient& httplocal);

} // namespace halvio
