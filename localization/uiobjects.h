// The UI object tree of the localization library: plain records that copy the structure and the
// strings of one loaded panel (PNL with one CTRL per control) or menu bar (MENUBAR with one
// MENUITEM per menu, item and submenu item), so that a language file can be read into them and
// applied, or written out from them. A tree is short-lived: captured, filled, applied, freed.
//
// Every localizable string has a one-byte slot flag beside it: 'v' present and valid, 'u' none.
// Strings are private NUL-terminated heap copies (malloc) owned by the record that points to them.
// Slots are numbered per object in the order of the language file's "Flags" item (see
// langfileio.h); the enumeration below reports them in that order.
//
// Results: 0 on success; -12 when an allocation fails; a failed run-time query returns its own
// negative code unchanged. Programming errors (unknown control style or class, a null record in a
// list, a null parent) are reported through DoAssert and end the program.
#pragma once

#include "toolbox/core/list.h"

#include <vector>

enum {
    UIOBJ_KIND_PNL = 1,
    UIOBJ_KIND_MENUBAR = 2,
    UIOBJ_KIND_CTRL = 3,
    UIOBJ_KIND_MENUITEM = 4,
};

enum {
    SLOT_VALID = 'v',  // the slot carries a string
    SLOT_UNUSED = 'u', // no string; the panel's own text stays
};

// String classes of controls (written as "Type" in a language file).
enum {
    CTRL_CLASS_NONE = 1,   // decorations: nothing to translate
    CTRL_CLASS_BASIC = 2,  // label
    CTRL_CLASS_STRING = 3, // label, default value (strings, text boxes)
    CTRL_CLASS_MSG = 4,    // text of a text message
    CTRL_CLASS_STATE = 5,  // label, on text, off text
    CTRL_CLASS_GRAPH = 6,  // label, three axis names, items of three axes
    CTRL_CLASS_STRIP = 7,  // label, two axis names, items of two axes
    CTRL_CLASS_LIST = 8,   // label, item labels, string item values
    CTRL_CLASS_TABLE = 9,  // label, row labels, column labels, cells
};

// The string class of a control style (attribute 611); 0 for a style outside the class table.
int CtrlClassFromStyle(int style);

// ---- Records ---------------------------------------------------------------------------------

// Tree identifiers: one int per localizable string of the object, in slot order. Only tools that
// address single strings use them; the loading path never creates them.
struct TREEIDS {
    int numIds;
    int *ids; // numIds entries, zero-filled at creation; null when numIds is 0
};

struct TITLESTRS { // panel title
    char *title;
    unsigned char flag;
};

struct NAMESTRS { // menu or menu item name
    char *name;
    unsigned char flag;
};

struct BASICSTRS { // class 2
    char *label;
    unsigned char flags[1];
};
struct STRINGSTRS { // class 3
    char *label;
    char *dfltValue;
    unsigned char flags[2]; // label, default value
};
struct MSGSTRS { // class 4
    char *text;
    unsigned char flags[1];
};
struct STATESTRS { // class 5
    char *label;
    char *onText;
    char *offText;
    unsigned char flags[3]; // label, on, off
};
struct GRAPHSTRS { // class 6
    char *label;
    char *xName;
    char *lyName;
    char *ryName;
    unsigned char *flags; // 4 + X + L + R: label, X name, LY name, RY name, X, LY, RY items
    char **xItems;        // X item labels (null when X is 0)
    char **lyItems;       // L left Y item labels
    char **ryItems;       // R right Y item labels
};
struct STRIPSTRS {        // class 7
    unsigned char *flags; // 3 + X + L: label, X name, Y name, X items, Y items
    char *label;
    char *xName;
    char *yName;
    char **xItems;
    char **yItems;
};
struct LISTSTRS { // class 8
    char *label;
    unsigned char *flags; // 1 + N + V: label, N item labels, V item values
    char **itemLabels;
    char **itemValues;
};
struct TABLESTRS {        // class 9
    unsigned char *flags; // 1 + R + C + R * C: label, row labels, column labels, cells
    char *label;
    char **rowLabels; // R
    char **colLabels; // C
    char **cells;     // R * C, column-major: column c, row r at (c - 1) * R + (r - 1)
};

// The string record of a control; the member that is used follows from the control's class.
union CTRLSTRS {
    BASICSTRS *pbasic;
    STRINGSTRS *pstring;
    MSGSTRS *pmsg;
    STATESTRS *pstate;
    GRAPHSTRS *pgraph;
    STRIPSTRS *pstrip;
    LISTSTRS *plist;
    TABLESTRS *ptable;
};

struct GRAPHCOUNTS {
    int numXItems;
    int numLYItems;
    int numRYItems;
};
struct STRIPCOUNTS {
    int numXItems;
    int numYItems;
};
struct LISTCOUNTS {
    int numLabels; // N
    int numValues; // V: N when the values are strings, else 0
};
struct TABLECOUNTS {
    int numRows; // R
    int numCols; // C
};
union CTRLCOUNTS { // classes 6 to 9; null for classes 1 to 5
    GRAPHCOUNTS *pgraph;
    STRIPCOUNTS *pstrip;
    LISTCOUNTS *plist;
    TABLECOUNTS *ptable;
};

struct PNL;

struct CTRL {
    int kind; // UIOBJ_KIND_CTRL
    PNL *panel;
    int control;
    char *name;
    TREEIDS *treeIds;
    int type; // CTRL_CLASS_*
    CTRLCOUNTS counts;
    CTRLSTRS defaultStrs; // null when defaults were not captured, and for class 1
    CTRLSTRS localStrs;   // null for class 1
};

struct PNL {
    int kind; // UIOBJ_KIND_PNL
    int panel;
    char *name;
    TREEIDS *treeIds;
    TITLESTRS *pdefaultStrs;
    TITLESTRS *plocalStrs;
    ListHandle controls; // whole CTRL records by value, in the run-time's control order
};

struct MENUBAR {
    int kind; // UIOBJ_KIND_MENUBAR
    int menuBar;
    char *name;
    TREEIDS *treeIds;
    ListHandle menus; // MENUITEM pointers, in menu bar order
};

struct MENUITEM {
    int kind;      // UIOBJ_KIND_MENUITEM
    void *pparent; // the MENUBAR (for a menu) or the parent MENUITEM
    int id;
    char *name;
    TREEIDS *treeIds;
    NAMESTRS *pdefaultStrs;
    NAMESTRS *plocalStrs;
    ListHandle children; // MENUITEM pointers, or null
};

// ---- Capture (0, -12, or a run-time code) ----------------------------------------------------

// Fills pnl from a loaded panel and one CTRL per control. captureDefaults reads the object's own
// texts into the default records; clearCallbacks removes each control's callback. On failure the
// partial tree is freed.
int UIPanelToPNLAndCTRLs(int panel, PNL *pnl, int captureDefaults, int clearCallbacks);
// Fills one CTRL (zeroed by the caller) for a control of pnl's panel. On failure the caller frees.
int UIControlToCTRL(PNL *pnl, int control, CTRL *ctrl, int captureDefaults);
// Fills menuBarRec from a loaded menu bar, with a MENUITEM per menu and item (separators, whose
// attribute 1041 is non-zero, get none). On failure the partial tree is freed.
int UIMenubarToMENUBARAndMENUITEMs(int menuBar, MENUBAR *menuBarRec, int captureDefaults,
                                   int clearCallbacks);
// Appends a MENUITEM per item of one menu (or submenu) to parent's children, recursively.
int UIMenuToMENUITEMs(MENUITEM *parent, int menuBar, int menuId, int captureDefaults,
                      int clearCallbacks);

// Building blocks of the capture, for code that builds a tree without a loaded panel. Each
// creates records with null strings and all flags 'u'; 0 or -12.
int AllocTitleStrsForPNL(PNL *pnl, int withDefaults);           // plocalStrs (+ pdefaultStrs)
int AllocNameStrsForMENUITEM(MENUITEM *item, int withDefaults); // plocalStrs (+ pdefaultStrs)
int AllocCountsForCTRL(CTRL *ctrl); // zero-filled counts record of classes 6 to 9 (ctrl->type set)
int AllocStrsForCTRL(CTRL *ctrl, int withDefaults); // string records sized by type and counts

// ---- Release ---------------------------------------------------------------------------------

// Frees every CTRL with all it owns (the control records do not outlive the call, so their
// string records go whatever the flags say), the control list, then the panel's title records as
// flagged, its tree identifiers and its name. Every freed pointer is set to null, so a second
// call does nothing more.
void FreeDataForPNLAndCTRLs(PNL *pnl, int freeDefaults, int freeLocals);
// Frees every MENUITEM depth first with all it owns, the lists, and the menu bar's tree
// identifiers and name; the flags have nothing left to decide here. A second call is harmless.
void FreeDataForMENUBARAndMENUITEMs(MENUBAR *menuBar, int freeDefaults, int freeLocals);

// Trees captured into records allocated with new; each is freed with its controls or items,
// default and local texts included, when the owner goes out of scope.
struct CapturedTrees {
    std::vector<PNL *> panels;
    std::vector<MENUBAR *> bars;
    CapturedTrees() = default;
    CapturedTrees(const CapturedTrees &) = delete;
    CapturedTrees &operator=(const CapturedTrees &) = delete;
    ~CapturedTrees();
};

// ---- Navigation ------------------------------------------------------------------------------

MENUBAR *GetMENUBARFromMENUITEM(MENUITEM *item);
int GetMenubarHandleFromMENUITEM(MENUITEM *item);

// ---- Tree identifiers (0 or -12; freeing twice is harmless) ------------------------------------

int AllocTreeSpaceForPNL(PNL *pnl);             // one id: the title
int AllocTreeSpaceForCTRL(CTRL *ctrl);          // one id per slot of the control's class
int AllocTreeSpaceForMENUBAR(MENUBAR *menuBar); // one id for the menu bar node
int AllocTreeSpaceForMENUITEM(MENUITEM *item);  // one id: the name
void FreeTreeSpaceForPNL(PNL *pnl);
void FreeTreeSpaceForCTRL(CTRL *ctrl);
void FreeTreeSpaceForMENUBAR(MENUBAR *menuBar);
void FreeTreeSpaceForMENUITEM(MENUITEM *item);

// ---- Slots and enumeration ---------------------------------------------------------------------

// Number of localizable strings (slots) of a control: 0, 1, 2, 1, 3, 4 + X + L + R, 3 + X + L,
// 1 + N + V, 1 + R + C + R * C for classes 1 to 9.
int CtrlNumSlots(const CTRL *ctrl);

// One localizable string as the enumeration reports it.
struct LOCALSTR {
    const char *section;       // language-file section ("PANEL", "PANEL_CTRL", "BAR_MENU_ITEM")
    const char *key;           // item key in that section ("Title", "Label", "Cell(2,1)" ...)
    const char *description;   // "Control label", "X axis item 3 label", "Cell (2, 1)" ...
    int slot;                  // slot index within the object (byte index in its "Flags")
    unsigned char *localFlag;  // the localized slot flag (may be changed by the callback)
    char **localString;        // the localized string (the callback may replace it with a malloc
                               // copy after freeing the old one)
    const char *defaultString; // captured default, or null (no defaults, or flag not 'v')
};
// Called once per localizable string; a non-zero result stops the enumeration and is returned.
typedef int (*LocalStrEnumCallback)(const LOCALSTR *str, void *callbackData);

// Enumerate the panel title and every control's strings in slot order. Results: 0 when every
// call returned 0, -12 when a section name could not be built, else the callback's first
// non-zero result. Descriptions: "Panel title", "Control label", "Default value", "On text",
// "Off text", "X axis name", "Left Y axis name", "Right Y axis name", "X axis item %d label",
// "Left Y axis item %d label", "Right Y axis item %d label", "Y axis item %d label", "List item
// %d label", "List item %d value", "Row %d label", "Column %d label", "Cell (%d, %d)" (column,
// row), "Menu item name". Axis and list indexes are 0-based, rows and columns 1-based, as keys.
int EnumPNLAndCTRLLocals(PNL *pnl, LocalStrEnumCallback callback, void *callbackData);
int EnumCTRLLocals(CTRL *ctrl, const char *panelSection, LocalStrEnumCallback callback,
                   void *callbackData);
int EnumMENUBARAndMENUITEMLocals(MENUBAR *menuBar, LocalStrEnumCallback callback,
                                 void *callbackData);
int EnumMENUITEMLocals(MENUITEM *item, const char *parentSection, LocalStrEnumCallback callback,
                       void *callbackData);
