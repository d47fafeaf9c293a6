// The progress dialog (toolbox UI helpers).
#pragma once

#include "toolbox/ui/progress_dialog.h"
