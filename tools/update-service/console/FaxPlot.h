#pragma once
// The plot of a clinic's faxes: one stacked bar per day over the days its report covers, one colour
// per site, drawn by the server as inline SVG so that the browser fetches nothing.

#include "ConsoleData.h"

#include <string>
#include <vector>

namespace halvio::tools::console {

// Every day from the first to the last of `faxes` has its place on the axis, so a day without faxes
// shows as a gap. Each segment carries its numbers in the markup: a <title> for the reader and
// data-site, data-jour, data-nombre attributes. Sites are named from `sites` where it has their id,
// in its order, then the others in the order met. Days that are no "yyyy.mm.dd" date are left out.
// Empty text when no day remains.
std::string faxPlotSvg(const std::vector<FaxDay>& faxes, const std::vector<ClinicSite>& sites);

} // namespace halvio::tools::console
