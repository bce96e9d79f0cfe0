#include "base/leaf.h"
#include "app/core/state.h"
