#include "automation/convert.h"
