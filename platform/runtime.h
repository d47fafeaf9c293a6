// The UI run-time: the one include of the layers above (the run-time lives in platform/ui,
// its file, time and serial services in platform/io).
#pragma once

#include "platform/ui/runtime.h"
