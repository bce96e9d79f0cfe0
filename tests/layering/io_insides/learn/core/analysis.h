#include "app/core/state.h"
