// The test seam of the run-time, for tests only.
#pragma once

#include "platform/ui/testing.h"
