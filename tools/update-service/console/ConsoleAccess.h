#pragma once
// Who may see the console. It shows every clinic's address, users and traffic: on loopback it is the
// vendor's own machine; on any other address it asks for the user and password of a password file
// (HTTP basic authentication), and it refuses to start there without one.

#include "ListenAddress.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace halvio::tools::console {

// Why the console will not start; the process ends with exit code 2 (a refused option).
class ConsoleRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 127.0.0.0/8 and ::1 (also as ::ffff:127.x.y.z).
bool isLoopbackAddress(const std::string& host);

// Throws ConsoleRefused for an address other than loopback without a password file.
void checkConsoleExposure(const ListenAddress& address, bool withPasswordFile);

// The password file: one line "user:password" (the line break after it is not part of the password).
// Returns "user:password", the form basic authentication sends. Throws ConsoleRefused saying why for a
// file that cannot be read, that others than its owner may read or change (chmod 600), or whose first
// line has no user, no ":" or no password.
std::string readPasswordFile(const std::filesystem::path& file);

// Whether an Authorization header value ("Basic <base64 of user:password>", the scheme in any case)
// carries exactly these credentials. The comparison takes the same time wherever they differ.
bool acceptsAuthorization(const std::string& headerValue, const std::string& userAndPassword);

} // namespace halvio::tools::console
