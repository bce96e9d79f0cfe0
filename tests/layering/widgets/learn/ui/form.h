#include "learn/core/analysis.h"
#include "controls/button.h"
#include <QDialog>
