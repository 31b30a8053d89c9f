#include "ConsoleLinks.h"

#include "HtmlText.h"
#include "PercentEncoding.h"

namespace halvio::tools::console {

std::string clinicLink(std::string_view code) {
    return std::string(kClinicPrefix) + percentEncoded(code);
}

std::string reportDownloadLink(std::string_view fileName) {
    return "<a href=\"" + std::string(kReportPrefix) + percentEncoded(fileName) + "\" download>" +
           escapeHtml(fileName) + "</a>";
}

} // namespace halvio::tools::console
