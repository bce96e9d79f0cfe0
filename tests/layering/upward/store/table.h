#include "app/core/state.h"
#include "base/leaf.h"
