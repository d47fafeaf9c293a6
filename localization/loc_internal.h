// Helpers shared by the modules of the localization library (not a public header): allocation
// and run-time calls routed through the test seam, section names, heap texts read from the
// run-time, and the string-cell handling of table cells.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "localization/uiobjects.h"
#include "localization/uiobjects_internal.h"
#include "platform/ui/rt_errors.h"
#include "platform/runtime.h"

namespace loc {

// malloc / calloc / string copies that the test seam can make fail. Free with free().
void *Malloc(size_t size);
void *Calloc(size_t count, size_t size);
char *StrDup(const char *text); // null text copies as ""
// True when the test seam wants the next run-time call to fail (see LOC_RT).
bool InjectRuntimeFailure();

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

// "%s_%s" of two names in a heap block of exactly the needed size (null names count as ""); null
// when the allocation fails. No length limit.
char *JoinSection(const char *parent, const char *name);

} // namespace loc

// A run-time call, or -47 without making the call when the test seam injects a failure, so an
// injected failure behaves like a call the run-time refused.
#define LOC_RT(call) (::loc::InjectRuntimeFailure() ? RT_ERR_INVALID_VALUE : (call))

namespace loc {

// Reads a run-time text whose length is asked first into a heap copy. A length of 0 gives ""
// or, with skipEmpty, no copy at all (*out stays null, nothing is allocated). 0, -12 or the
// run-time's negative code.
template <typename LengthFn, typename TextFn>
int ReadRuntimeText(LengthFn getLength, TextFn getText, bool skipEmpty, HeapText *out) {
    int length = 0;
    int rc = LOC_RT(getLength(&length));
    if (rc < 0) return rc;
    if (length < 0) length = 0;
    if (length == 0 && skipEmpty) return 0;
    const size_t size = static_cast<size_t>(length) + 1;
    HeapText text(static_cast<char *>(Malloc(size)));
    if (!text) return RT_ERR_OUT_OF_MEMORY;
    text.get()[0] = '\0';
    if (length > 0 && (rc = LOC_RT(getText(text.get(), size))) < 0) return rc;
    *out = std::move(text);
    return 0;
}

constexpr int kStringCell = 1; // ATTR_CELL_TYPE of a string cell

// Runs action (returning a run-time result) on a table cell while it is a string cell: a cell of
// another type is made one first and gets its own type back afterwards, also when the action
// failed, so the table is left as it was. The first failure is returned.
template <typename Action> int WithStringCell(int panel, int control, Point cell, Action action) {
    int cellType = kStringCell;
    int rc = LOC_RT(GetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, &cellType));
    if (rc < 0) return rc;
    const bool retyped = cellType != kStringCell;
    if (retyped &&
        (rc = LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, kStringCell))) < 0)
        return rc;
    rc = action();
    if (retyped) {
        const int restore =
            LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, cellType));
        if (rc >= 0 && restore < 0) rc = restore;
    }
    return rc;
}

// The Y axis a graph has active while its texts are read or written: a text of the left or right
// axis makes that axis active first, and once the right one was, the left one is made active
// again at the end, also when a step failed.
class ActiveYAxis {
  public:
    ActiveYAxis(int panel, int control) : panel_(panel), control_(control) {}
    // Makes the axis of a text active (nothing for the texts of no axis); the run-time's result.
    int Select(YAxis axis) {
        if (axis == YAxis::None) return 0;
        rightActive_ = rightActive_ || axis == YAxis::Right;
        const int number = axis == YAxis::Right ? 2 : 1;
        return LOC_RT(SetCtrlAttribute(panel_, control_, ATTR_ACTIVE_YAXIS, number));
    }
    // rc, or the failure of making the left axis active again when rc is none.
    int Restore(int rc) {
        if (!rightActive_) return rc;
        const int restore = LOC_RT(SetCtrlAttribute(panel_, control_, ATTR_ACTIVE_YAXIS, 1));
        return rc >= 0 && restore < 0 ? restore : rc;
    }

  private:
    int panel_;
    int control_;
    bool rightActive_ = false;
};

} // namespace loc
