#pragma once
// The client report read from the model: the SETUP row, the fax statistics of the fax database,
// the sites and the users of the clinic database.

#include "DateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace halvio {

class Model;

struct ClientReport {
    std::string client; // SETUP.CLIENT as read, CHAR padding kept
    std::vector<std::string> lines;
};

// TSETUP must be open (OpenSetup). `now` sets the window of the fax statistics. The fax and site
// lines are left out without a word when their source fails; a failure to open tuser propagates.
ClientReport buildClientReport(Model& model, const DateTime& now);

// The steps of the report, each usable alone.
std::optional<std::string> readFaxLine(Model& model, const DateTime& now);
std::optional<std::string> readSiteLine(Model& model);
std::vector<std::string> readUserLines(Model& model);

} // namespace halvio
