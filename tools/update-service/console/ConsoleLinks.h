#pragma once
// The console's addresses, in one place for the pages that link to them and the server that routes
// them: "/clinique/<code>", "/rapport/<file>", "/catalogue?clinique=<code>".

#include <string>
#include <string_view>

namespace halvio::tools::console {

inline constexpr std::string_view kClinicPrefix = "/clinique/";
inline constexpr std::string_view kReportPrefix = "/rapport/";
inline constexpr std::string_view kCatalogPath = "/catalogue";

// The address of a clinic's page; the code is encoded whole, whatever bytes it holds. Safe inside a
// quoted attribute as it is.
std::string clinicLink(std::string_view code);

// A link that downloads the stored report, showing its file name.
std::string reportDownloadLink(std::string_view fileName);

} // namespace halvio::tools::console
