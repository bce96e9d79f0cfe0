#include "base/leaf.h"
