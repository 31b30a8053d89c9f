#pragma once
// Passwords the updater holds as constants.

namespace halvio::secrets {

// sysdba's password tried first for the clinic database, and the only one of the fax database.
inline constexpr const char* kFirstDatabasePassword = "rkv5218";
// Tried for the clinic database when the first is refused.
inline constexpr const char* kFallbackDatabasePassword = "quillbarn";
// Every package archive is encrypted under this password.
inline constexpr const char* kPackagePassword = "-vorpa";

} // namespace halvio::secrets
