#include "tests/support/lang_export.h"

#include "localization/langfileio.h"

namespace ks_test {

int exportToLangFile(const std::vector<PNL *> &panels, const std::vector<MENUBAR *> &bars,
                     const std::string &path) {
    ListHandle panelList = ListCreate(sizeof(PNL *));
    ListHandle barList = ListCreate(sizeof(MENUBAR *));
    for (PNL *panel : panels)
        ListInsertItem(panelList, &panel, LIST_POS_END);
    for (MENUBAR *bar : bars)
        ListInsertItem(barList, &bar, LIST_POS_END);
    const int result = ExportAllObjectsToLangFile(&panelList, &barList, path.c_str());
    ListDispose(panelList);
    ListDispose(barList);
    return result;
}

} // namespace ks_test
