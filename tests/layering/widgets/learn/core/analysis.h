#include <QWidget>
#include "app/core/state.h"
