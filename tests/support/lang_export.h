// Writes captured panel and menu bar trees to one language file, as the language tool's export
// does, for tests that read the file back or edit it.
#pragma once

#include <string>
#include <vector>

#include "localization/uiobjects.h"

namespace ks_test {

// Returns ExportAllObjectsToLangFile's result.
int exportToLangFile(const std::vector<PNL *> &panels, const std::vector<MENUBAR *> &bars,
                     const std::string &path);

} // namespace ks_test
