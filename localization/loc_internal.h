// Helpers shared by the three modules of the localization library (not a public header):
// allocation and run-time calls routed through the test seam, section names, and the slot view
// that maps a control's slot index to its flag byte, string pointer, key and description.
#pragma once

#include <cstddef>

#include "localization/uiobjects.h"
#include "platform/ui/rt_errors.h"

namespace loc {

// malloc / calloc / string copies that the test seam can make fail. Free with free().
void *Malloc(size_t size);
void *Calloc(size_t count, size_t size);
char *StrDup(const char *text); // null text copies as ""
// True when the test seam wants the next run-time call to fail (see LOC_RT).
bool InjectRuntimeFailure();

// "%s_%s" of two names in a heap block of exactly the needed size (null names count as ""); null
// when the allocation fails. No length limit.
char *JoinSection(const char *parent, const char *name);

// The string record of a control's class, as an untyped pointer (null when absent).
void *StrsPtr(int type, const CTRLSTRS &strs);

// Counts of a control: a, b, c are X/L/R (graph), X/Y (strip), N/V (list), R/C (table), else 0.
struct Counts {
    int a = 0;
    int b = 0;
    int c = 0;
};
Counts GetCounts(const CTRL *ctrl);

// Where one slot lives in a string record.
struct SlotRef {
    unsigned char *flag = nullptr;
    char **str = nullptr;
};
// The slot k (0-based) of a control in the record strs (local or default); false when k is out
// of range or the record is null.
bool GetSlot(const CTRL *ctrl, const CTRLSTRS &strs, int k, SlotRef *ref);

constexpr size_t kKeySize = 48;  // fits "Cell(%d,%d)" with two full-range ints
constexpr size_t kDescSize = 64; // fits "Right Y axis item %d label" with a full-range int
// Language-file key and description of slot k.
void SlotKey(const CTRL *ctrl, int k, char (&key)[kKeySize]);
void SlotDescription(const CTRL *ctrl, int k, char (&desc)[kDescSize]);

// The slot at position pos of the order in which the reader reads (readOrder true) or the writer
// writes keys: slot order, except that the reader takes list labels and values in pairs and both
// take each table column label followed by that column's cells.
int SlotAtOrder(const CTRL *ctrl, int pos, bool readOrder);

} // namespace loc

// A run-time call, or -47 without making the call when the test seam injects a failure, so an
// injected failure behaves like a call the run-time refused.
#define LOC_RT(call) (::loc::InjectRuntimeFailure() ? RT_ERR_INVALID_VALUE : (call))
