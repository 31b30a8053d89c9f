#include "FaxPlot.h"

#include "DateTime.h"
#include "HtmlText.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

namespace halvio::tools::console {

namespace {

// A report covers three months; a report that claims a wider span (it is written by a clinic) is
// drawn over its latest year only, so that the page stays a few hundred bars wide.
constexpr int kMaxPlotDays = 366;

// The drawing's box, in SVG user units: wide enough for 90 bars of 9 units and the date labels.
constexpr int kWidth = 900;
constexpr int kPlotHeight = 240;
constexpr int kLeft = 52;
constexpr int kRight = 16;
constexpr int kTop = 14;
constexpr int kAxisLabels = 34; // under the x axis: the day labels
constexpr int kLegendRow = 20;
// A single day would otherwise be one bar as wide as the plot.
constexpr double kMaxBarWidth = 36.0;

// Distinct for the usual handful of sites, and still readable printed in grey.
const char* const kColours[] = {"#1f77b4", "#e4572e", "#2ca02c", "#9467bd",
                                "#f0a202", "#17becf", "#8c564b", "#e377c2"};

const char* const kMonths[] = {"janv.", "févr.", "mars",  "avr.", "mai",  "juin",
                               "juil.", "août",  "sept.", "oct.", "nov.", "déc."};

struct Series {
    std::string site;
    std::string label;
    std::map<int, int> counts; // day index -> faxes
};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// The step between two count ticks: 1, 2 or 5 times a power of ten, for about five ticks.
int tickStep(int maximum) {
    int step = 1;
    while (maximum / step > 5) {
        if (maximum / (step * 2) <= 5)
            return step * 2;
        if (maximum / (step * 5) <= 5)
            return step * 5;
        step *= 10;
    }
    return step;
}

std::string siteLabel(const std::string& site, const std::vector<ClinicSite>& sites) {
    for (const ClinicSite& known : sites)
        if (known.id == site && !known.nom.empty())
            return known.nom + " (site " + site + ")";
    return "Site " + site;
}

std::vector<Series> seriesOf(const std::vector<FaxDay>& faxes, const std::vector<ClinicSite>& sites,
                             const std::vector<std::string>& days) {
    std::map<std::string, int> dayIndex;
    for (size_t i = 0; i < days.size(); ++i)
        dayIndex[days[i]] = static_cast<int>(i);
    std::vector<Series> series;
    const auto find = [&](const std::string& site) -> Series* {
        for (Series& known : series)
            if (known.site == site)
                return &known;
        return nullptr;
    };
    for (const ClinicSite& site : sites)
        series.push_back({site.id, siteLabel(site.id, sites), {}});
    for (const FaxDay& fax : faxes) {
        const auto day = dayIndex.find(fax.day);
        if (day == dayIndex.end() || fax.count <= 0)
            continue;
        Series* target = find(fax.site);
        if (!target) {
            series.push_back({fax.site, siteLabel(fax.site, sites), {}});
            target = &series.back();
        }
        target->counts[day->second] += fax.count;
    }
    std::erase_if(series, [](const Series& s) { return s.counts.empty(); });
    return series;
}

// Every day from the first to the last valid one, at most the latest kMaxPlotDays.
std::vector<std::string> daysSpanned(const std::vector<FaxDay>& faxes) {
    std::optional<std::string> first, last;
    for (const FaxDay& fax : faxes) {
        const auto parsed = parseDateTime(fax.day);
        if (!parsed || !parsed->isMidnight() || DateToText(*parsed) != fax.day)
            continue;
        if (!first || fax.day < *first)
            first = fax.day;
        if (!last || fax.day > *last)
            last = fax.day;
    }
    std::vector<std::string> days;
    if (!last)
        return days;
    for (DateTime day = *parseDateTime(*last); static_cast<int>(days.size()) < kMaxPlotDays;
         day = addDays(day, -1)) {
        days.push_back(DateToText(day));
        if (days.back() <= *first)
            break;
    }
    std::reverse(days.begin(), days.end());
    return days;
}

std::string dayLabel(const std::string& day) {
    const auto parsed = parseDateTime(day);
    return std::to_string(parsed->day) + " " + kMonths[parsed->month - 1];
}

// Where things go: the counts' scale and the days' slots.
struct Layout {
    std::vector<std::string> days;
    int top = 1;  // the count at the top of the axis
    int step = 1; // between two count ticks
    double slot = 0;
    double unit = 0; // height of one fax
    int bottom = kTop + kPlotHeight;
};

Layout layoutOf(std::vector<std::string> days, const std::vector<Series>& series) {
    Layout layout;
    std::vector<int> totals(days.size(), 0);
    for (const Series& s : series)
        for (const auto& [day, count] : s.counts)
            totals[static_cast<size_t>(day)] += count;
    const int highest = std::max(1, *std::max_element(totals.begin(), totals.end()));
    layout.step = tickStep(highest);
    layout.top = (highest + layout.step - 1) / layout.step * layout.step;
    layout.slot = (kWidth - kLeft - kRight) / static_cast<double>(days.size());
    layout.unit = kPlotHeight / static_cast<double>(layout.top);
    layout.days = std::move(days);
    return layout;
}

std::string axesSvg(const Layout& l) {
    std::string svg;
    for (int tick = 0; tick <= l.top; tick += l.step) {
        const std::string y = number(l.bottom - tick * l.unit);
        svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + y + "\" x2=\"" +
               std::to_string(kWidth - kRight) + "\" y2=\"" + y + "\" stroke=\"" +
               (tick == 0 ? "#333" : "#e3e7ec") + "\"/>";
        svg += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + number(l.bottom - tick * l.unit + 4) +
               "\" text-anchor=\"end\">" + std::to_string(tick) + "</text>\n";
    }
    svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" +
           std::to_string(kLeft) + "\" y2=\"" + std::to_string(l.bottom) + "\" stroke=\"#333\"/>\n";
    // About a dozen day labels whatever the span; one a day for two weeks or less.
    const size_t labelEvery = std::max<size_t>(1, (l.days.size() + 11) / 12);
    for (size_t i = 0; i < l.days.size(); i += labelEvery) {
        const std::string x = number(kLeft + l.slot * (static_cast<double>(i) + 0.5));
        svg += "<line x1=\"" + x + "\" y1=\"" + std::to_string(l.bottom) + "\" x2=\"" + x + "\" y2=\"" +
               std::to_string(l.bottom + 4) + "\" stroke=\"#333\"/><text x=\"" + x + "\" y=\"" +
               std::to_string(l.bottom + 16) + "\" text-anchor=\"middle\">" +
               escapeHtml(dayLabel(l.days[i])) + "</text>\n";
    }
    svg += "<text x=\"" + std::to_string((kWidth + kLeft - kRight) / 2) + "\" y=\"" +
           std::to_string(l.bottom + 30) + "\" text-anchor=\"middle\" fill=\"#555\">Jours du " +
           l.days.front() + " au " + l.days.back() + " — télécopies envoyées par jour</text>\n";
    return svg;
}

// One segment per site and day, stacked in the series' order, and the legend line of each site.
std::string seriesSvg(const Layout& l, const std::vector<Series>& series) {
    std::string svg;
    const double barWidth = std::min(kMaxBarWidth, std::max(1.0, l.slot * 0.8));
    std::vector<double> stacked(l.days.size(), 0.0);
    for (size_t s = 0; s < series.size(); ++s) {
        const std::string colour = kColours[s % std::size(kColours)];
        const std::string site = escapeHtml(series[s].site);
        const std::string label = escapeHtml(series[s].label);
        for (const auto& [day, count] : series[s].counts) {
            const auto d = static_cast<size_t>(day);
            const double h = count * l.unit;
            stacked[d] += h;
            svg += "<rect x=\"" + number(kLeft + l.slot * static_cast<double>(d) + (l.slot - barWidth) / 2) +
                   "\" y=\"" + number(l.bottom - stacked[d]) + "\" width=\"" + number(barWidth) +
                   "\" height=\"" + number(h) + "\" fill=\"" + colour + "\" data-site=\"" + site +
                   "\" data-jour=\"" + l.days[d] + "\" data-nombre=\"" + std::to_string(count) +
                   "\"><title>" + l.days[d] + " — " + label + " : " + std::to_string(count) +
                   (count == 1 ? " télécopie" : " télécopies") + "</title></rect>\n";
        }
        const int legendY = l.bottom + kAxisLabels + 8 + kLegendRow * static_cast<int>(s);
        svg += "<rect x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(legendY) +
               "\" width=\"12\" height=\"12\" fill=\"" + colour + "\"/><text x=\"" +
               std::to_string(kLeft + 18) + "\" y=\"" + std::to_string(legendY + 10) + "\">" + label +
               "</text>\n";
    }
    return svg;
}

} // namespace

std::string faxPlotSvg(const std::vector<FaxDay>& faxes, const std::vector<ClinicSite>& sites) {
    std::vector<std::string> days = daysSpanned(faxes);
    const std::vector<Series> series = seriesOf(faxes, sites, days);
    if (days.empty() || series.empty())
        return {};
    const Layout layout = layoutOf(std::move(days), series);
    const int height = kTop + kPlotHeight + kAxisLabels + kLegendRow * static_cast<int>(series.size()) + 8;
    const std::string size = std::to_string(kWidth) + "\" height=\"" + std::to_string(height);
    return "<svg class=\"fax\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + size + "\" viewBox=\"0 0 " +
           std::to_string(kWidth) + " " + std::to_string(height) +
           "\" role=\"img\" font-family=\"Liberation Sans, Arial, sans-serif\" font-size=\"11\">\n"
           "<title>Télécopies envoyées par jour et par site, du " +
           layout.days.front() + " au " + layout.days.back() + "</title>\n" + axesSvg(layout) +
           seriesSvg(layout, series) + "</svg>\n";
}

} // namespace halvio::tools::console
