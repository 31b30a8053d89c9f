#include "ConsoleLinks.h"

#include "HtmlText.h"

namespace halvio::tools::console {

std::string clinicLink(std::string_view code) {
    return std::string(kClinicPrefix) + encodeUrlPart(code);
}

std::string reportDownloadLink(std::string_view fileName) {
    return "<a href=\"" + std::string(kReportPrefix) + encodeUrlPart(fileName) + "\" download>" +
           escapeHtml(fileName) + "</a>";
}

} // namespace halvio::tools::console
