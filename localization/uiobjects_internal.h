// The control classes of the object tree as data (not a public header): for each class its fixed
// slots, its counted blocks and where both live in the class's string record, so that capture,
// apply, keys, descriptions, slot counts, lookup and the language-file items all read one table.
#pragma once

#include <cstddef>

#include "localization/uiobjects.h"

namespace loc {

// Which Y axis a text of a graph belongs to: the run-time reads and writes the active one.
enum class YAxis { None, Left, Right };

// A slot that every control of the class has, in slot order.
struct FixedSlot {
    const char *key;         // language-file key
    const char *description; // text of the enumeration
    size_t offset;           // of the char * in the string record
    int textAttribute;       // the run-time attribute of the text ...
    int lengthAttribute;     // ... and of its length
    YAxis yAxis;             // the axis to make active first (graphs only)
    bool clearsTextBox;      // a text box's typed text is cleared before this text is set
};

// Where a count comes from in the run-time.
enum class CountSource { None, AxisItems, ListItems, StringValues, TableRows, TableColumns };

// Where the texts of a counted block come from in the run-time.
enum class BlockSource { AxisItems, ListLabels, ListValues, RowLabels, ColumnLabels, Cells };

// A run of slots whose length is one of the control's counts (or rows x columns for cells).
struct CountedBlock {
    const char *keyFormat;         // "%d" is the item's index; cells: "%d" column, "%d" row
    const char *descriptionFormat; // as keyFormat
    int firstIndex;                // the index of the block's first item in keys (0 or 1)
    int count;                     // 0 .. 2: which count; kGridCount: rows x columns
    size_t offset;                 // of the char ** array in the string record
    BlockSource source;
    int axis; // AxisItems: 0 X, 1 left Y, 2 right Y
};
constexpr int kGridCount = -1;

// A count item of a control section, in the order the file has them.
struct CountItem {
    const char *name;
    int count; // 0 .. 2
};

// The order in which a language file has a control's keys.
enum class KeyOrder {
    Slots,              // slot order
    LabelValuePairs,    // the reader takes each list item's label and value together
    ColumnsBeforeCells, // each column label is followed by that column's cells
};

constexpr int kMaxFixedSlots = 4;
constexpr int kMaxBlocks = 3;
constexpr int kMaxCounts = 3;

struct CtrlClassDef {
    int ctrlClass = 0;        // CTRL_CLASS_*
    size_t recordSize = 0;    // of the string record (0: the class has none)
    size_t flagsOffset = 0;   // of the flags in the string record ...
    bool flagsInline = false; // ... an array in the record, or a pointer to one byte per slot
    int numFixed = 0;
    FixedSlot fixed[kMaxFixedSlots] = {};
    int numBlocks = 0;
    CountedBlock blocks[kMaxBlocks] = {};
    int numCounts = 0; // ints of the counts record (0: the class has none)
    CountSource countSources[kMaxCounts] = {};
    CountItem countItems[kMaxCounts] = {}; // in file order
    bool flagsBeforeCounts = false;        // the writer puts "Flags" before the count items
    KeyOrder keyOrder = KeyOrder::Slots;
};

// The class's entry; null for a number outside the table.
const CtrlClassDef *FindClass(int ctrlClass);
// As FindClass, for a class that must be known (an unknown one is a programming error).
const CtrlClassDef &ClassOf(int ctrlClass);

// The string record of a control's class, as an untyped pointer (null when absent).
void *StrsPtr(int type, const CTRLSTRS &strs);
void SetStrsPtr(CTRLSTRS &strs, void *record);
// The counts record of a control (null when absent or the class has none).
void *CountsPtr(const CTRL *ctrl);
void SetCountsPtr(CTRL *ctrl, void *record);

// Counts of a control: a, b, c are X/L/R (graph), X/Y (strip), N/V (list), R/C (table), else 0.
struct Counts {
    int a = 0;
    int b = 0;
    int c = 0;
    int operator[](int i) const { return i == 0 ? a : i == 1 ? b : c; }
};
Counts GetCounts(const CTRL *ctrl);
void SetCounts(CTRL *ctrl, const Counts &n);
// The number of strings of a block, and of all slots, of a control with these counts.
int BlockLength(const CountedBlock &block, const Counts &n);
int NumSlots(const CtrlClassDef &def, const Counts &n);

// Where one slot lives in a string record.
struct SlotRef {
    unsigned char *flag = nullptr;
    char **str = nullptr;
};
// The slot k (0-based) of a control in the record strs (local or default); false when k is out
// of range or the record is null.
bool GetSlot(const CTRL *ctrl, const CTRLSTRS &strs, int k, SlotRef *ref);
// The flag bytes of a string record, one per slot; InlineFlags is the array of a class with inline
// flags, FlagBlock the pointer to the block of the others.
unsigned char *SlotFlags(const CtrlClassDef &def, void *record);
unsigned char *InlineFlags(const CtrlClassDef &def, void *record);
unsigned char **FlagBlock(const CtrlClassDef &def, void *record);
// The char ** array of a block in a string record.
char ***BlockArray(const CountedBlock &block, void *record);
char **FixedString(const FixedSlot &slot, void *record);

constexpr size_t kKeySize = 48;  // fits "Cell(%d,%d)" with two full-range ints
constexpr size_t kDescSize = 64; // fits "Right Y axis item %d label" with a full-range int
// Language-file key and description of slot k.
void SlotKey(const CTRL *ctrl, int k, char (&key)[kKeySize]);
void SlotDescription(const CTRL *ctrl, int k, char (&desc)[kDescSize]);

// The slot at position pos of the order in which the reader reads (readOrder true) or the writer
// writes keys: slot order, except that the reader takes list labels and values in pairs and both
// take each table column label followed by that column's cells.
int SlotAtOrder(const CTRL *ctrl, int pos, bool readOrder);

// Frees everything a control record owns (string and counts records, tree identifiers, name),
// whatever the flags say, and leaves its pointers null.
void FreeCtrlRecord(CTRL *ctrl);

} // namespace loc
