#include "automation/dates.h"
