// The assertion report and the error codes (toolbox core).
#pragma once

#include "toolbox/core/toolbox.h"
