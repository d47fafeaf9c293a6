// The run-time's error codes are in the one table of toolbox/core/errors.h; RT_GetErrorString
// gives the text of any code there.
#pragma once

#include "toolbox/core/errors.h"

const char *RT_GetErrorString(int code);
