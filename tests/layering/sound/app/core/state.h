#include "store/table.h"
#include "irport/port.h"
