#include "learn/ui/form.h"
#include "app/core/state.h"
