#include "app/core/state.h"
#include <QWidget>
