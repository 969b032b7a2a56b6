#include "automation/error.h"

#include <gtest/gtest.h>
