#include "io/backend.h"
