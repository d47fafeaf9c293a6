// The dynamic list (toolbox core).
#pragma once

#include "toolbox/core/list.h"
