// The port in use, in words for people.
#ifndef QEV_APP_CORE_PORT_STATUS_H
#define QEV_APP_CORE_PORT_STATUS_H

#include "irport/port_library.h"

#include <string>

namespace qev {

// Where the port is, in a few words for the status bar: the port library's
// description without its reason in brackets ("simulated port",
// "/dev/parport0"); "no port library" when none is loaded.
std::string Port_Summary(const TPort_Library& port);

}  // namespace qev

#endif
