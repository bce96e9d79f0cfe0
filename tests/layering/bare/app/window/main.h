#include "app/core/state.h"
#include "learn/ui/form.h"
