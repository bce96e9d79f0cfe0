#include "app/window/main.h"
