#include <QDialog>
#include "controls/button.h"
#include "learn/core/analysis.h"
