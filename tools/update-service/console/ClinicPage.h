#pragma once
// One clinic's page: its address and contacts, sites and users as its latest readable report gave
// them, the plot of its faxes, and every report it sent, each downloadable as received.

#include "ConsoleData.h"

#include <string>

namespace halvio::tools::console {

std::string clinicPage(const ClinicDetail& clinic);

} // namespace halvio::tools::console
