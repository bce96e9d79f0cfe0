#include "app/core/port_status.h"

namespace qev {

std::string Port_Summary(const TPort_Library& port) {
    const std::string description = port.Port_Description();
    if (description.empty()) return "no port library";
    return description.substr(0, description.find(" ("));
}

}  // namespace qev
