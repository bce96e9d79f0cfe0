#include "base/leaf.h"
#include "io/io_api.h"
