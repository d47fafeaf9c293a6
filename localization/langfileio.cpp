// Language file readers and writer. See langfileio.h for the layout and the codes.
#include "localization/langfileio.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "localization/loc_internal.h"
#include "toolbox/core/toolbox.h"

using namespace loc;

namespace {

const char *const kHeaderSection = "UI Language Resource File";
constexpr int kFileVersion = 100;
constexpr int kFileMagic = static_cast<int>(0xACCDACCDu); // written as -1395807027

struct IniDeleter {
    void operator()(IniObjectRecord *ini) const { Ini_Dispose(ini); }
};
using IniPtr = std::unique_ptr<IniObjectRecord, IniDeleter>;

using HeapBytes = std::unique_ptr<unsigned char, FreeDeleter>;

std::string g_failedSection;

// A getter's outcome: found continues, not found is a missing item, anything else is a failure
// of the INI object.
int Outcome(int getterResult) {
    if (getterResult > 0) return 0;
    return getterResult == 0 ? LOC_ERR_MISSING : LOC_ERR_INI;
}

// Header items. A value that is there but is no integer means the file is not one of ours; only
// an exhausted memory is reported as such.
int CheckHeaderInt(IniObject ini, const char *item, int expected) {
    int value = 0;
    int rc = Ini_GetInt(ini, kHeaderSection, item, &value);
    if (rc == 0) return LOC_ERR_NOT_LANGUAGE_FILE;
    if (rc == RT_ERR_OUT_OF_MEMORY) return LOC_ERR_NO_MEMORY;
    if (rc < 0) return LOC_ERR_NOT_LANGUAGE_FILE;
    return value == expected ? 0 : LOC_ERR_NOT_LANGUAGE_FILE;
}

// Readers that look up at least this many sections in a file of at least as many sections sort
// the INI object first; below it, sorting costs more than the linear lookups it saves.
constexpr int kSortedLookupThreshold = 64;

// Names as the INI object compares them: letter case ignored.
std::string FoldCase(const char *name) {
    std::string s = name ? name : "";
    for (char &ch : s)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    return s;
}

bool HasRepeats(std::vector<std::string> &names) {
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// A panel of many controls means as many sections, each looked up once; a linear search makes
// that quadratic. Sorted copies keep the lookups logarithmic. When a section or an item name
// repeats, the lookups stay linear, so the first of them is still the one used.
void SpeedUpLookups(IniObject ini, int expectedLookups) {
    const int numSections = Ini_NumberOfSections(ini);
    if (numSections < kSortedLookupThreshold || expectedLookups < kSortedLookupThreshold) return;
    std::vector<std::string> sections;
    for (int i = 1; i <= numSections; ++i) {
        char *name = nullptr;
        if (Ini_NthSectionName(ini, i, &name)) sections.push_back(FoldCase(name));
    }
    if (HasRepeats(sections) || Ini_SortInternally(ini) != 0) return;
    for (int i = 1; i <= numSections; ++i) {
        char *section = nullptr;
        if (!Ini_NthSectionName(ini, i, &section)) continue;
        std::vector<std::string> items;
        const int numItems = Ini_NumberOfItems(ini, section);
        for (int k = 1; k <= numItems; ++k) {
            char *item = nullptr;
            if (Ini_NthItemName(ini, section, k, &item)) items.push_back(FoldCase(item));
        }
        if (HasRepeats(items)) {
            Ini_DisableInternalSorting(ini);
            return;
        }
    }
}

// Creates the INI object, reads the file and checks the header. expectedLookups is the number
// of sections the caller is going to look up.
int OpenLangFile(const char *path, int expectedLookups, IniPtr *out) {
    IniPtr ini(Ini_New(0));
    if (!ini) return LOC_ERR_NO_MEMORY;
    int rc = Ini_ReadFromFile(ini.get(), path);
    if (rc == RT_ERR_OUT_OF_MEMORY) return LOC_ERR_NO_MEMORY;
    if (rc == ToolErr_CantOpenFileForReading) return LOC_ERR_OPEN;
    if (rc < 0) return LOC_ERR_READ;
    SpeedUpLookups(ini.get(), expectedLookups);
    if ((rc = CheckHeaderInt(ini.get(), "Version", kFileVersion)) ||
        (rc = CheckHeaderInt(ini.get(), "Magic", kFileMagic))) {
        g_failedSection = kHeaderSection;
        return rc;
    }
    *out = std::move(ini);
    return 0;
}

int ReadIntExpect(IniObject ini, const char *section, const char *item, int expected,
                  int mismatchCode) {
    int value = 0;
    int rc = Ini_GetInt(ini, section, item, &value);
    if (rc <= 0) return Outcome(rc);
    return value == expected ? 0 : mismatchCode;
}

// Stores a private copy of the string item in *dst (replacing an earlier copy).
int ReadString(IniObject ini, const char *section, const char *key, char **dst) {
    char *value = nullptr;
    int rc = Ini_GetPointerToString(ini, section, key, &value);
    if (rc <= 0) return Outcome(rc);
    char *copy = StrDup(value);
    if (!copy) return RT_ERR_OUT_OF_MEMORY;
    free(*dst);
    *dst = copy;
    return 0;
}

// The one flag byte of a panel, menu or menu item section.
int ReadOneFlag(IniObject ini, const char *section, unsigned char *flag) {
    unsigned char *data = nullptr;
    size_t size = 0;
    int rc = Ini_GetData(ini, section, "Flags", &data, &size);
    HeapBytes guard(data);
    if (rc <= 0) return Outcome(rc);
    if (size != 1 || !data) return LOC_ERR_INI;
    *flag = data[0];
    return 0;
}

int ReadControlSection(IniObject ini, const char *section, CTRL *ctrl) {
    if (!Ini_SectionExists(ini, section)) return LOC_ERR_MISSING;
    int rc = ReadIntExpect(ini, section, "Type", ctrl->type, LOC_ERR_CLASS_MISMATCH);
    if (rc) return rc;
    if (ctrl->type == CTRL_CLASS_NONE) return 0;
    const CtrlClassDef &def = ClassOf(ctrl->type);
    void *record = StrsPtr(ctrl->type, ctrl->localStrs);
    DoAssert(record != nullptr, __FILE__, __LINE__, "localStrs");

    unsigned char *data = nullptr;
    size_t size = 0;
    rc = Ini_GetData(ini, section, "Flags", &data, &size);
    HeapBytes flags(data); // released on every error path
    if (rc <= 0) return Outcome(rc);
    const Counts n = GetCounts(ctrl);
    for (int i = 0; i < def.numCounts; ++i) {
        const CountItem &item = def.countItems[i];
        if ((rc = ReadIntExpect(ini, section, item.name, n[item.count], LOC_ERR_COUNT_MISMATCH)))
            return rc;
    }
    const int numSlots = CtrlNumSlots(ctrl);
    if (size != static_cast<size_t>(numSlots) || !flags) return LOC_ERR_MISSING;
    if (def.flagsInline) {
        memcpy(InlineFlags(def, record), flags.get(), size);
    } else {
        free(*FlagBlock(def, record));
        *FlagBlock(def, record) = flags.release();
    }
    for (int pos = 0; pos < numSlots; ++pos) {
        const int k = SlotAtOrder(ctrl, pos, true);
        SlotRef ref;
        if (!GetSlot(ctrl, ctrl->localStrs, k, &ref) || *ref.flag != SLOT_VALID) continue;
        char key[kKeySize];
        SlotKey(ctrl, k, key);
        if ((rc = ReadString(ini, section, key, ref.str))) return rc;
    }
    return 0;
}

} // namespace

const char *LangFileLastFailedSection(void) {
    return g_failedSection.c_str();
}

void LangFileSetFailedSection(const char *section) {
    g_failedSection = section ? section : "";
}

int LangFileToCTRLLocalStrs(IniObject ini, const char *panelSection, CTRL *ctrl) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    HeapText section(JoinSection(panelSection, ctrl->name));
    if (!section) return LOC_ERR_NO_MEMORY;
    int rc = ReadControlSection(ini, section.get(), ctrl);
    if (rc) g_failedSection = section.get();
    return rc;
}

int LangFileToPNLAndCTRLLocalStrs(const char *langFile, PNL *pnl) {
    g_failedSection.clear();
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    DoAssert(pnl->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    if (!langFile) return LOC_ERR_NULL_ARGUMENT;
    IniPtr ini;
    int rc = OpenLangFile(langFile, 1 + ListNumItems(pnl->controls), &ini);
    if (rc) return rc;
    const char *section = pnl->name ? pnl->name : "";
    unsigned char flag = SLOT_UNUSED;
    if (!(rc = ReadOneFlag(ini.get(), section, &flag))) {
        pnl->plocalStrs->flag = flag;
        if (flag == SLOT_VALID)
            rc = ReadString(ini.get(), section, "Title", &pnl->plocalStrs->title);
    }
    if (rc) {
        g_failedSection = section;
        return rc;
    }
    const int n = ListNumItems(pnl->controls);
    for (int i = 1; i <= n; ++i) {
        auto *ctrl = static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, i));
        DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
        if ((rc = LangFileToCTRLLocalStrs(ini.get(), section, ctrl))) return rc;
    }
    return 0;
}

int LangFileToMENUITEMLocalStrs(IniObject ini, const char *parentSection, MENUITEM *item) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    DoAssert(item->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    HeapText section(JoinSection(parentSection, item->name));
    if (!section) return LOC_ERR_NO_MEMORY;
    unsigned char flag = SLOT_UNUSED;
    int rc = ReadOneFlag(ini, section.get(), &flag);
    if (!rc) {
        item->plocalStrs->flag = flag;
        if (flag == SLOT_VALID)
            rc = ReadString(ini, section.get(), "Name", &item->plocalStrs->name);
    }
    if (rc) {
        g_failedSection = section.get();
        return rc;
    }
    const int n = ListNumItems(item->children);
    for (int i = 1; i <= n; ++i) {
        auto **child = static_cast<MENUITEM **>(ListGetPtrToItem(item->children, i));
        DoAssert(child != nullptr && *child != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
        if ((rc = LangFileToMENUITEMLocalStrs(ini, section.get(), *child))) return rc;
    }
    return 0;
}

static int CountMenuItems(ListHandle items) {
    int count = ListNumItems(items);
    for (int i = 1; i <= ListNumItems(items); ++i)
        if (auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(items, i)); item && *item)
            count += CountMenuItems((*item)->children);
    return count;
}

int LangFileToMENUBARAndMENUITEMLocalStrs(const char *langFile, MENUBAR *menuBar) {
    g_failedSection.clear();
    DoAssert(menuBar != nullptr, __FILE__, __LINE__, "pmenubar");
    if (!langFile) return LOC_ERR_NULL_ARGUMENT;
    IniPtr ini;
    int rc = OpenLangFile(langFile, CountMenuItems(menuBar->menus), &ini);
    if (rc) return rc;
    const int n = ListNumItems(menuBar->menus);
    for (int i = 1; i <= n; ++i) {
        auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(menuBar->menus, i));
        DoAssert(item != nullptr && *item != nullptr, __FILE__, __LINE__, "ppmenuItem");
        if ((rc = LangFileToMENUITEMLocalStrs(ini.get(), menuBar->name, *item))) return rc;
    }
    return 0;
}

// ---- Writing -----------------------------------------------------------------------------------

namespace {

// Section writers: true on success.
bool WriteControl(IniObject ini, const char *panelName, const CTRL *ctrl) {
    HeapText section(JoinSection(panelName, ctrl->name));
    if (!section) return false;
    const char *sec = section.get();
    const CtrlClassDef &def = ClassOf(ctrl->type);
    if (Ini_PutInt(ini, sec, "Type", ctrl->type) < 0) return false;
    if (ctrl->type == CTRL_CLASS_NONE) return true;
    void *record = StrsPtr(ctrl->type, ctrl->localStrs);
    DoAssert(record != nullptr, __FILE__, __LINE__, "localStrs");
    const Counts n = GetCounts(ctrl);
    const int numSlots = CtrlNumSlots(ctrl);
    auto putFlags = [&] {
        return Ini_PutData(ini, sec, "Flags", SlotFlags(def, record),
                           static_cast<size_t>(numSlots)) >= 0;
    };
    bool ok = !def.flagsBeforeCounts || putFlags();
    for (int i = 0; ok && i < def.numCounts; ++i)
        ok = Ini_PutInt(ini, sec, def.countItems[i].name, n[def.countItems[i].count]) >= 0;
    if (ok && !def.flagsBeforeCounts) ok = putFlags();
    if (!ok) return false;
    for (int pos = 0; pos < numSlots; ++pos) {
        const int k = SlotAtOrder(ctrl, pos, false);
        SlotRef ref;
        if (!GetSlot(ctrl, ctrl->localStrs, k, &ref) || *ref.flag != SLOT_VALID) continue;
        char key[kKeySize];
        SlotKey(ctrl, k, key);
        if (Ini_PutString(ini, sec, key, *ref.str) < 0) return false;
    }
    return true;
}

bool WritePanel(IniObject ini, const PNL *pnl) {
    DoAssert(pnl->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    const char *section = pnl->name ? pnl->name : "";
    const unsigned char flag = pnl->plocalStrs->flag;
    if (Ini_PutData(ini, section, "Flags", &flag, 1) < 0) return false;
    if (flag == SLOT_VALID && Ini_PutString(ini, section, "Title", pnl->plocalStrs->title) < 0)
        return false;
    const int n = ListNumItems(pnl->controls);
    for (int i = 1; i <= n; ++i) {
        auto *ctrl = static_cast<const CTRL *>(ListGetPtrToItem(pnl->controls, i));
        DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
        if (!WriteControl(ini, section, ctrl)) return false;
    }
    return true;
}

bool WriteMenu(IniObject ini, const MENUITEM *item, const char *parentName) {
    DoAssert(item->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    HeapText section(JoinSection(parentName, item->name));
    if (!section) return false;
    const unsigned char flag = item->plocalStrs->flag;
    if (Ini_PutData(ini, section.get(), "Flags", &flag, 1) < 0) return false;
    if (flag == SLOT_VALID && Ini_PutString(ini, section.get(), "Name", item->plocalStrs->name) < 0)
        return false;
    const int n = ListNumItems(item->children);
    for (int i = 1; i <= n; ++i) {
        auto **child = static_cast<MENUITEM **>(ListGetPtrToItem(item->children, i));
        DoAssert(child != nullptr && *child != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
        if (!WriteMenu(ini, *child, section.get())) return false;
    }
    return true;
}

} // namespace

int ExportAllObjectsToLangFile(ListHandle *ppanelList, ListHandle *pmenubarList,
                               const char *langFileName) {
    DoAssert(ppanelList != nullptr, __FILE__, __LINE__, "ppanelList");
    DoAssert(pmenubarList != nullptr, __FILE__, __LINE__, "pmenubarList");
    DoAssert(langFileName != nullptr, __FILE__, __LINE__, "langFileName");
    IniPtr ini(Ini_New(0));
    if (!ini) return LOC_ERR_NO_MEMORY;
    if (Ini_PutInt(ini.get(), kHeaderSection, "Version", kFileVersion) != 0 ||
        Ini_PutInt(ini.get(), kHeaderSection, "Magic", kFileMagic) != 0)
        return LOC_ERR_NO_MEMORY;
    const int numPanels = ListNumItems(*ppanelList);
    for (int i = 1; i <= numPanels; ++i) {
        auto **pppnl = static_cast<PNL **>(ListGetPtrToItem(*ppanelList, i));
        DoAssert(pppnl != nullptr && *pppnl != nullptr, __FILE__, __LINE__, "pppnl");
        if (!WritePanel(ini.get(), *pppnl)) return LOC_ERR_NO_MEMORY;
    }
    const int numBars = ListNumItems(*pmenubarList);
    for (int i = 1; i <= numBars; ++i) {
        auto **ppmenubar = static_cast<MENUBAR **>(ListGetPtrToItem(*pmenubarList, i));
        DoAssert(ppmenubar != nullptr && *ppmenubar != nullptr, __FILE__, __LINE__, "ppmenubar");
        const MENUBAR *bar = *ppmenubar;
        const int numMenus = ListNumItems(bar->menus);
        for (int m = 1; m <= numMenus; ++m) {
            auto **menu = static_cast<MENUITEM **>(ListGetPtrToItem(bar->menus, m));
            DoAssert(menu != nullptr && *menu != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
            if (!WriteMenu(ini.get(), *menu, bar->name)) return LOC_ERR_NO_MEMORY;
        }
    }
    int rc = Ini_WriteToFile(ini.get(), langFileName);
    if (rc == 0) return 0;
    return rc == RT_ERR_OUT_OF_MEMORY ? LOC_ERR_NO_MEMORY : LOC_ERR_READ;
}
