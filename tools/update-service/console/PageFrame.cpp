#include "PageFrame.h"

#include "HtmlText.h"

namespace halvio::tools::console {

namespace {

const char* const kStyle = R"(
body { font-family: "Liberation Sans", Arial, sans-serif; margin: 0; color: #1d2733; background: #f5f7fa; }
header { background: #1f4e79; color: #fff; padding: 10px 24px; display: flex; gap: 24px; align-items: baseline; }
header strong { font-size: 18px; }
header a { color: #dbe8f5; text-decoration: none; }
header a:hover { text-decoration: underline; }
main { padding: 8px 24px 24px; }
h1 { font-size: 22px; margin: 14px 0 10px; }
h2 { font-size: 17px; margin: 22px 0 8px; }
table { border-collapse: collapse; background: #fff; font-size: 14px; }
th, td { border: 1px solid #d5dce4; padding: 4px 10px; text-align: left; vertical-align: top; }
th { background: #e8eef5; }
th a { color: inherit; text-decoration: none; }
td.n, th.n { text-align: right; }
.faute { color: #a01818; }
.vide { color: #6b7785; font-style: italic; }
form { margin: 8px 0 12px; }
dl { display: grid; grid-template-columns: max-content auto; gap: 2px 16px; background: #fff;
     padding: 8px 12px; border: 1px solid #d5dce4; width: max-content; }
dt { font-weight: bold; }
dd { margin: 0; }
svg { background: #fff; border: 1px solid #d5dce4; }
)";

} // namespace

std::string htmlPage(std::string_view title, std::string_view body) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    page += escapeHtml(title);
    page += " — Console des mises à jour</title>\n<style>";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n<header><strong>Console des mises à jour</strong>"
            "<a href=\"/\">Cliniques</a><a href=\"/catalogue\">Catalogue</a></header>\n<main>\n<h1>";
    page += escapeHtml(title);
    page += "</h1>\n";
    page += body;
    page += "</main>\n</body>\n</html>\n";
    return page;
}

std::string messagePage(std::string_view title, std::string_view message) {
    return htmlPage(title, "<p>" + escapeHtml(message) + "</p>\n");
}

} // namespace halvio::tools::console
