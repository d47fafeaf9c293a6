// Texts of the run-time's error codes. See platform/ui/rt_errors.h.
#include "platform/ui/rt_errors.h"

const char *RT_GetErrorString(int code) {
    return GetToolboxErrorString(code);
}
