#include "base/leaf.h"
#include <QWidget>
