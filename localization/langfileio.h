// Language resource files: the readers that fill the localized strings of a captured tree
// (uiobjects.h) from a file, and the writer that produces such a file from trees.
//
// Layout (INI syntax, read and written only through the INI object):
//   [UI Language Resource File]  Version = 100, Magic = -1395807027 (0xACCDACCD)
//   [PANEL]                      Flags (1 byte), Title when that byte is 'v'
//   [PANEL_CONTROL]              Type (class 1..9), the class's count items, Flags (one byte per
//                                slot; class 1 has none), then the key of every 'v' slot
//   [BAR_MENU], [BAR_MENU_ITEM]  Flags (1 byte), Name when that byte is 'v'
// Count items: graph Xitems/LYitems/RYitems, strip chart Xitems/LYitems, list NumItemLabels/
// NumItemValues, table Rows/Cols. Keys: Label, Default, On, Off, Xname, LYname, RYname,
// Xitem_%d, LYitem_%d, RYitem_%d, ItemLabel_%d, ItemVal_%d (0-based), RowLabel_%d, ColLabel_%d,
// Cell(%d,%d) (1-based, column first). Section names are built without a length limit.
#pragma once

#include "ini/ini.h"
#include "localization/uiobjects.h"

// Local error codes of the localization library (localize.h translates them for callers). A
// string copy that cannot be allocated gives the shared RT_ERR_OUT_OF_MEMORY (-12), which passes
// the translation unchanged.
enum {
    LOC_ERR_NO_MEMORY = -1,         // no INI object, reader out of memory, no section name
    LOC_ERR_NULL_ARGUMENT = -2,     // a required argument is null
    LOC_ERR_NOT_LANGUAGE_FILE = -3, // header missing or Version/Magic wrong
    LOC_ERR_INI = -4,               // the INI object failed reading an item; panel/menu Flags
                                    // not exactly 1 byte
    LOC_ERR_CLASS_MISMATCH = -7,    // "Type" differs from the loaded control's class
    LOC_ERR_COUNT_MISMATCH = -8,    // a count item differs from the loaded control
    LOC_ERR_MISSING = -9,           // a section or item is missing, or a control's Flags length
                                    // is wrong
    LOC_ERR_READ = -10,             // the file could not be read
    LOC_ERR_OPEN = -11,             // the file could not be opened
};

// Reads the panel section and every control section of pnl (captured from the loaded panel)
// into its localized records. 0 or a local code; on failure the records may be partly filled and
// the caller frees the tree. The INI object lives only within the call.
int LangFileToPNLAndCTRLLocalStrs(const char *langFile, PNL *pnl);
// Reads every menu and item section of menuBar, depth first. 0 or a local code.
int LangFileToMENUBARAndMENUITEMLocalStrs(const char *langFile, MENUBAR *menuBar);
// Reads the section "<panelSection>_<control name>" into ctrl's localized record. 0 or a code.
int LangFileToCTRLLocalStrs(IniObject ini, const char *panelSection, CTRL *ctrl);
// Reads the section "<parentSection>_<item name>", then its children's. 0 or a local code.
int LangFileToMENUITEMLocalStrs(IniObject ini, const char *parentSection, MENUITEM *item);

// Writes the localized strings of the panels and menu bars (lists of PNL* and MENUBAR* items) as
// a language file. 0; -1 when the INI object could not be built; -10 when writing failed (an
// existing file is then left untouched). Null arguments are programming errors (assertion).
int ExportAllObjectsToLangFile(ListHandle *ppanelList, ListHandle *pmenubarList,
                               const char *langFileName);

// The section at which the most recent reader or apply step failed ("" when it did not fail),
// for tools that report where a file does not fit. Valid until the next reader call.
const char *LangFileLastFailedSection(void);
// Records the section of a failure (used by the apply step).
void LangFileSetFailedSection(const char *section);
