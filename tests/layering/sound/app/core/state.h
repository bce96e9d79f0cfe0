#include "irport/port.h"
#include "store/table.h"
