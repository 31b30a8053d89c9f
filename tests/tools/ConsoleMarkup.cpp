// The console's markup: every value a clinic or the catalog wrote reaches the page as text, never as
// markup; links carry any code whole; the fax plot shows each count where a reader (and a test) finds it.
#include "CatalogFixture.h"
#include "CatalogPage.h"
#include "ClinicListPage.h"
#include "ClinicPage.h"
#include "ConsoleFake.h"
#include "FaxPlot.h"
#include "HtmlText.h"
#include "PercentEncoding.h"

#include "Catalog.h"
#include "DateTime.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <tuple>

using namespace halvio::test;
using namespace halvio::tools::console;

namespace {

// Each tries to leave the text it is put in: element content, a quoted attribute, a URL.
const char* const kHostile[] = {
    "<script>alert(1)</script>",
    "\"><img src=x onerror=alert(1)>",
    "'><svg onload=alert(1)>",
    "</title></svg><script>x</script>",
    "a&b<c>d\"e'f",
};

// Every start of a tag in the page that is none of the console's own elements.
std::vector<std::string> foreignTags(const std::string& page) {
    static const std::regex tag(R"(<\s*/?\s*([A-Za-z!][A-Za-z0-9-]*))");
    static const std::set<std::string> own = {
        "!DOCTYPE", "html",  "head",  "meta",   "title",  "style", "body", "header", "strong",
        "a",        "main",  "h1",    "h2",     "p",      "table", "tr",   "th",     "td",
        "form",     "label", "input", "button", "dl",     "dt",    "dd",   "svg",    "line",
        "text",     "rect",  "ul",    "li",     "select", "option"};
    std::vector<std::string> foreign;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), tag); it != std::sregex_iterator(); ++it)
        if (!own.contains((*it)[1].str()))
            foreign.push_back((*it)[0].str());
    return foreign;
}

// Every attribute the page's tags carry, by name: a hostile value that broke out of its quotes adds one.
std::set<std::string> attributeNames(const std::string& page) {
    static const std::regex attribute(R"(\s([A-Za-z-]+)=")");
    static const std::regex tagText(R"(<[A-Za-z][^>]*>)");
    std::set<std::string> names;
    for (auto t = std::sregex_iterator(page.begin(), page.end(), tagText); t != std::sregex_iterator(); ++t) {
        const std::string inside = (*t)[0].str();
        for (auto a = std::sregex_iterator(inside.begin(), inside.end(), attribute);
             a != std::sregex_iterator(); ++a)
            names.insert((*a)[1].str());
    }
    return names;
}

const std::set<std::string> kOwnAttributes = {
    "lang",        "charset", "href",      "class",     "method",     "action",  "type", "name",
    "value",       "id",      "xmlns",     "width",     "height",     "viewBox", "role", "font-family",
    "font-size",   "x1",      "y1",        "x2",        "y2",         "stroke",  "x",    "y",
    "text-anchor", "fill",    "data-site", "data-jour", "data-nombre"};

TEST(ConsoleMarkup, HostileReportValuesStayTextOnEveryPage) {
    for (const char* hostile : kHostile) {
        SCOPED_TRACE(hostile);
        ClinicDetail detail = clinicFilledWith(hostile, hostile);
        detail.faxes.push_back({hostile, "2026.12.02", 2}); // a site id as hostile as the rest
        ClinicListView list;
        list.clinics = {detail.summary};
        list.unreadable = {{hostile, "", "2026.12.09 11:00:00", 5, hostile}};
        list.latest = detail;
        list.query.search = hostile;
        for (const std::string& page : {clinicListPage(list), clinicPage(detail)}) {
            EXPECT_EQ(foreignTags(page), std::vector<std::string>{});
            for (const std::string& name : attributeNames(page))
                EXPECT_TRUE(kOwnAttributes.contains(name)) << name;
            EXPECT_EQ(page.find(hostile), std::string::npos);
            EXPECT_NE(page.find(escapeHtml(hostile)), std::string::npos);
        }
    }
}

TEST(ClinicPage, SitesThatCouldNotBeReadShowTheirReasonAsTextInPlaceOfTheTable) {
    ClinicDetail detail = clinicFilledWith("C1", "Clinique");
    detail.sites.clear();
    detail.sitesFault =
        "ligne 3 : une valeur de site contient « ~ » ou « | » (groupe 1 : 3 champs au lieu de "
        "8 « 1~<b>Parc</b> & ~ »)";
    const std::string page = clinicPage(detail);
    EXPECT_NE(
        page.find("<h2>Sites</h2>\n<p class=\"faute\">Sites illisibles : ligne 3 : une valeur de site "
                  "contient « ~ » ou « | » (groupe 1 : 3 champs au lieu de 8 « 1~&lt;b&gt;Parc&lt;/b&gt; "
                  "&amp; ~ »)</p>"),
        std::string::npos)
        << page;
    EXPECT_EQ(foreignTags(page), std::vector<std::string>{});
    EXPECT_EQ(page.find("Aucun site"), std::string::npos);
    EXPECT_EQ(page.find("class=\"sites\""), std::string::npos);
    EXPECT_NE(page.find("class=\"utilisateurs\""), std::string::npos) << "the rest of the report is shown";
    EXPECT_NE(page.find("data-site=\"1\""), std::string::npos) << "the faxes too, by site number";

    detail.sitesFault.clear();
    EXPECT_EQ(clinicPage(detail).find("Sites illisibles"), std::string::npos);
    EXPECT_NE(clinicPage(detail).find("Aucun site dans le dernier rapport."), std::string::npos);
}

TEST(ConsoleMarkup, TextFormsTable) {
    const struct {
        std::string in, html, url;
    } cases[] = {
        {"DEMO", "DEMO", "DEMO"},
        {"a&b<c>\"'", "a&amp;b&lt;c&gt;&quot;&#39;", "a%26b%3Cc%3E%22%27"},
        {"C 1/2?x#y%", "C 1/2?x#y%", "C%201%2F2%3Fx%23y%25"},
        {"Québec", "Québec", "Qu%C3%A9bec"},
        {std::string("a\0b\x1b", 4),
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD",
         "a%00b%1B"},
        {"tab\there", "tab\there", "tab%09here"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeHtml(c.in), c.html) << c.in;
        EXPECT_EQ(halvio::percentEncoded(c.in), c.url) << c.in;
    }
    EXPECT_EQ(frenchNumber(0), "0");
    EXPECT_EQ(frenchNumber(3145728), "3\u202F145\u202F728");
}

// The count, site and day of every bar, read back from the markup.
std::vector<std::tuple<std::string, std::string, int>> bars(const std::string& svg) {
    static const std::regex bar(
        R"re(data-site="([^"]*)" data-jour="([^"]*)" data-nombre="([0-9]+)"><title>([^<]*)</title>)re");
    std::vector<std::tuple<std::string, std::string, int>> found;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), bar); it != std::sregex_iterator(); ++it) {
        found.emplace_back((*it)[1].str(), (*it)[2].str(), std::stoi((*it)[3].str()));
        EXPECT_NE((*it)[4].str().find((*it)[2].str()), std::string::npos) << "the title names the day";
        EXPECT_NE((*it)[4].str().find(" : " + (*it)[3].str() + " t"), std::string::npos) << (*it)[4].str();
    }
    return found;
}

TEST(FaxPlot, OneDayGivesOneReadableBar) {
    const std::string svg =
        faxPlotSvg({{"1", "2026.12.08", 4}}, {{"1", "Clinique du Parc", "", "", "", "", "", ""}});
    EXPECT_EQ(bars(svg), (std::vector<std::tuple<std::string, std::string, int>>{{"1", "2026.12.08", 4}}));
    EXPECT_NE(svg.find("Clinique du Parc (site 1)"), std::string::npos) << "legend";
    EXPECT_NE(svg.find(">8 déc.</text>"), std::string::npos) << "the day is labelled";
    // A lone bar is not stretched over the whole width.
    const std::regex width(R"re(<rect [^>]*width="([0-9.]+)"[^>]*data-site)re");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(svg, match, width));
    EXPECT_LE(std::stod(match[1].str()), 40.0);
}

TEST(FaxPlot, NinetyDaysTwoSitesKeepEveryCountAndTheGaps) {
    std::vector<FaxDay> faxes;
    std::vector<std::tuple<std::string, std::string, int>> expected;
    halvio::DateTime day{2026, 9, 10};
    for (int i = 0; i < 90; ++i, day = halvio::addDays(day, 1)) {
        if (i % 3 == 1)
            continue; // a day without faxes keeps its place
        const std::string text = halvio::DateToText(day);
        faxes.push_back({"1", text, i + 1});
        expected.emplace_back("1", text, i + 1);
        if (i % 2 == 0) {
            faxes.push_back({"2", text, 2});
        }
    }
    for (const FaxDay& f : faxes)
        if (f.site == "2")
            expected.emplace_back("2", f.day, 2);
    const std::string svg =
        faxPlotSvg(faxes, {{"1", "Parc", "", "", "", "", "", ""}, {"2", "Lévis", "", "", "", "", "", ""}});
    EXPECT_EQ(bars(svg), expected);
    EXPECT_NE(svg.find("du 2026.09.10 au 2026.12.08"), std::string::npos);
    // The count axis rises past the busiest day, 90 faxes, to its next step.
    EXPECT_NE(svg.find(">100</text>"), std::string::npos);
    // Day labels stay a dozen or so, not ninety.
    const std::regex dayLabel(R"(text-anchor="middle">[0-9]+ [a-zéû.]+</text>)");
    const auto labels =
        std::distance(std::sregex_iterator(svg.begin(), svg.end(), dayLabel), std::sregex_iterator());
    EXPECT_GE(labels, 8);
    EXPECT_LE(labels, 13);
}

TEST(FaxPlot, NothingToDrawGivesNoPlot) {
    EXPECT_EQ(faxPlotSvg({}, {}), "");
    EXPECT_EQ(faxPlotSvg({{"1", "2026.13.40", 3}, {"1", "hier", 2}, {"1", "2026.12.01", 0}}, {}), "");
}

TEST(FaxPlot, AClaimedSpanOfCenturiesIsCutToTheLatestYear) {
    const std::string svg = faxPlotSvg({{"1", "1901.01.01", 1}, {"1", "2026.12.08", 2}}, {});
    EXPECT_EQ(bars(svg), (std::vector<std::tuple<std::string, std::string, int>>{{"1", "2026.12.08", 2}}));
    EXPECT_LT(svg.size(), 20000u);
}

TEST(ClinicListPage, HeadingsSortAndTurnTheOrderRound) {
    ClinicListView view;
    view.query = clinicQueryFromParameters("parc & co", "fax", "desc", "2026.12.10");
    EXPECT_EQ(view.query.sortBy, ClinicColumn::Faxes);
    EXPECT_TRUE(view.query.descending);
    EXPECT_EQ(view.query.search, "parc & co");
    view.clinics = {{"DEMO", "Clinique", "Québec", "2026.12.09 10:00:00", 1, 2, 3}};
    const std::string page = clinicListPage(view);
    // The sorted column's heading turns the order round and keeps the search; another starts afresh.
    EXPECT_NE(page.find("href=\"/?tri=fax&amp;ordre=asc&amp;q=parc%20%26%20co\">Télécopies (30 jours) ▼"),
              std::string::npos);
    EXPECT_NE(page.find("href=\"/?tri=nom&amp;ordre=asc&amp;q=parc%20%26%20co\">Nom<"), std::string::npos);
    EXPECT_NE(page.find("name=\"q\" value=\"parc &amp; co\""), std::string::npos);
    EXPECT_NE(page.find("href=\"/clinique/DEMO\">DEMO<"), std::string::npos);

    const ClinicQuery fallback = clinicQueryFromParameters("", "nimporte", "x", "2026.12.10");
    EXPECT_EQ(fallback.sortBy, ClinicColumn::Code);
    EXPECT_FALSE(fallback.descending);
    EXPECT_EQ(fallback.today, "2026.12.10");
}

TEST(CatalogPage, ShowsTheCommonListOneClinicsOffersAndEveryFileCheck) {
    CatalogFixture fixture;
    fixture.writePackageList("HALVIO|2026.12.01 10:00:00|Nouvelle version\n"
                             "GABARITS|2026.13.01 10:00:00|Date impossible\n");
    fixture.writePackageFile("halvio.zip", std::string(3000, 'x'));
    fixture.writeClient("DEMO", "nom=Clinique du Parc\nescompte=15\nID=47\npackage=SQL_DEMO_01|2026.12.02 "
                                "08:00:00|Script <b>\n");
    fixture.writeClient("AUTRE", "nom=Autre\nescompte=1\nID=2\n");
    const halvio::tools::Catalog catalog(fixture.catalog());

    const std::string page = catalogPage(catalog, "DEMO", {"DEMO", "RAPPORT_SEUL"});
    EXPECT_EQ(foreignTags(page), std::vector<std::string>{});
    EXPECT_NE(page.find("<td>HALVIO</td><td>2026.12.01 10:00:00</td><td>Nouvelle version</td><td>halvio.zip "
                        "(3\u202F000 octets)</td>"),
              std::string::npos);
    EXPECT_NE(page.find("gabarits.zip manquant"), std::string::npos);
    EXPECT_NE(page.find("<td>SQL_DEMO_01</td><td>2026.12.02 08:00:00</td><td>Script &lt;b&gt;</td>"),
              std::string::npos);
    EXPECT_NE(page.find("clients/DEMO.txt — nom « Clinique du Parc »"), std::string::npos);
    EXPECT_NE(page.find("<option selected value=\"DEMO\">"), std::string::npos);
    EXPECT_NE(page.find("<option value=\"RAPPORT_SEUL\">"), std::string::npos);
    EXPECT_NE(page.find("<option value=\"AUTRE\">"), std::string::npos);
    // The check is update-service --check's: the impossible date of packages.txt, the missing files.
    EXPECT_NE(page.find("<td>packages.txt</td><td class=\"faute\"><ul><li>ligne 2 : "), std::string::npos);
    EXPECT_NE(page.find("<td>clients/AUTRE.txt</td>"), std::string::npos);
    EXPECT_NE(page.find("erreur 500"), std::string::npos)
        << "the impossible date keeps DEMO's reply from going";
}

} // namespace
