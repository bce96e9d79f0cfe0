// A free TCP port on the loopback address, for tests that open a listener
// (or start the program with one) on a port of their own.
#ifndef QEV_TESTS_SUPPORT_FREE_PORT_H
#define QEV_TESTS_SUPPORT_FREE_PORT_H

#include <cstdint>

namespace qev::test {

// A port on 127.0.0.1 that nothing listened on a moment ago; 0 when none
// could be had.
uint16_t Free_Loopback_Port();

}  // namespace qev::test

#endif
