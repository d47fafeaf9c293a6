// The locale and layout helpers (toolbox UI helpers).
#pragma once

#include "toolbox/ui/locale_layout.h"
