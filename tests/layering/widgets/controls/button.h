#include <QWidget>
#include "base/leaf.h"
