// The control classes as data: which styles belong to which class, and each class's slots,
// blocks and counts. See uiobjects_internal.h.
#include "localization/uiobjects_internal.h"

#include <cstdio>
#include <cstring>

#include "platform/runtime.h"
#include "toolbox/toolbox.h"

namespace {

using namespace loc;

// ---- Styles -------------------------------------------------------------------------------------

// Style numbers the capture knows beyond the run-time's named ones: the ends and variants of the
// style families that share the strings of their named first member.
enum : int {
    kNumericFamilyLast = 114,
    kNumericFamilyVariant = 130,
    kButtonFamilyLast = 204,
    kButtonVariantsFirst = 220,
    kButtonVariantsLast = 230,
    kSwitchFamilyLast = 234,
    kSwitchLabelOnly = 235,
    kSwitchVariantsFirst = 260,
    kSwitchVariantsLast = 263,
    kToggleFamilyLast = 285,
    kRingFamilyLast = 318,
    kDecorationFamilyLast = 394,
    kPictureVariant1 = 490,
    kPictureVariant2 = 500,
};

struct StyleRange {
    int first;
    int last;
    int ctrlClass;
};

constexpr StyleRange kStyleClasses[] = {
    {CTRL_NUMERIC, kNumericFamilyLast, CTRL_CLASS_BASIC},
    {kNumericFamilyVariant, kNumericFamilyVariant, CTRL_CLASS_BASIC},
    {CTRL_STRING, CTRL_STRING, CTRL_CLASS_STRING},
    {CTRL_TEXT_MSG, CTRL_TEXT_MSG, CTRL_CLASS_MSG},
    {CTRL_TEXT_BOX, CTRL_TEXT_BOX, CTRL_CLASS_STRING},
    {CTRL_COMMAND_BUTTON, kButtonFamilyLast, CTRL_CLASS_BASIC},
    {kButtonVariantsFirst, kButtonVariantsLast, CTRL_CLASS_BASIC},
    {CTRL_BINARY_SWITCH, kSwitchFamilyLast, CTRL_CLASS_STATE},
    {kSwitchLabelOnly, kSwitchLabelOnly, CTRL_CLASS_BASIC},
    {kSwitchVariantsFirst, kSwitchVariantsLast, CTRL_CLASS_BASIC},
    {CTRL_TOGGLE_BUTTON, kToggleFamilyLast, CTRL_CLASS_STATE},
    {CTRL_RING, kRingFamilyLast, CTRL_CLASS_LIST},
    {CTRL_LIST_BOX, CTRL_LIST_BOX, CTRL_CLASS_LIST},
    {CTRL_DECORATION, kDecorationFamilyLast, CTRL_CLASS_NONE},
    {CTRL_GRAPH, CTRL_GRAPH, CTRL_CLASS_GRAPH},
    {CTRL_STRIP_CHART, CTRL_STRIP_CHART, CTRL_CLASS_STRIP},
    {CTRL_PICTURE, CTRL_PICTURE, CTRL_CLASS_BASIC},
    {kPictureVariant1, kPictureVariant1, CTRL_CLASS_BASIC},
    {kPictureVariant2, kPictureVariant2, CTRL_CLASS_BASIC},
    {CTRL_TABLE, CTRL_TABLE, CTRL_CLASS_TABLE},
};

// ---- Classes ------------------------------------------------------------------------------------

#define TEXT_ATTR(name) name, name##_LENGTH

constexpr FixedSlot Label(size_t offset) {
    return {"Label", "Control label", offset, TEXT_ATTR(ATTR_LABEL_TEXT), YAxis::None, false};
}
constexpr FixedSlot DefaultValue(size_t offset, bool clearsTextBox) {
    return {"Default",   "Default value", offset, TEXT_ATTR(ATTR_DFLT_VALUE),
            YAxis::None, clearsTextBox};
}
constexpr FixedSlot XName(size_t offset) {
    return {"Xname", "X axis name", offset, TEXT_ATTR(ATTR_XNAME), YAxis::None, false};
}
constexpr FixedSlot YName(const char *description, size_t offset, YAxis axis) {
    return {axis == YAxis::Right ? "RYname" : "LYname",
            description,
            offset,
            TEXT_ATTR(ATTR_YNAME),
            axis,
            false};
}
// The item labels of axis `axis`, whose number is count `axis` of the control.
constexpr CountedBlock AxisItems(const char *keyFormat, const char *descriptionFormat, int axis,
                                 size_t offset) {
    return {keyFormat, descriptionFormat, 0, axis, offset, BlockSource::AxisItems, axis};
}

#undef TEXT_ATTR

// A class whose string record is the struct Strs with an inline flag array.
#define INLINE_FLAGS(Strs)                                                                         \
    .recordSize = sizeof(Strs), .flagsOffset = offsetof(Strs, flags), .flagsInline = true
// A class whose string record is the struct Strs with a pointer to its flag bytes.
#define FLAG_BLOCK(Strs) .recordSize = sizeof(Strs), .flagsOffset = offsetof(Strs, flags)

constexpr CtrlClassDef kClasses[] = {
    {.ctrlClass = CTRL_CLASS_NONE},
    {.ctrlClass = CTRL_CLASS_BASIC,
     INLINE_FLAGS(BASICSTRS),
     .numFixed = 1,
     .fixed = {Label(offsetof(BASICSTRS, label))}},
    {.ctrlClass = CTRL_CLASS_STRING,
     INLINE_FLAGS(STRINGSTRS),
     .numFixed = 2,
     .fixed = {Label(offsetof(STRINGSTRS, label)),
               DefaultValue(offsetof(STRINGSTRS, dfltValue), true)}},
    {.ctrlClass = CTRL_CLASS_MSG,
     INLINE_FLAGS(MSGSTRS),
     .numFixed = 1,
     .fixed = {DefaultValue(offsetof(MSGSTRS, text), false)}},
    {.ctrlClass = CTRL_CLASS_STATE,
     INLINE_FLAGS(STATESTRS),
     .numFixed = 3,
     .fixed = {Label(offsetof(STATESTRS, label)),
               {"On", "On text", offsetof(STATESTRS, onText), ATTR_ON_TEXT, ATTR_ON_TEXT_LENGTH,
                YAxis::None, false},
               {"Off", "Off text", offsetof(STATESTRS, offText), ATTR_OFF_TEXT,
                ATTR_OFF_TEXT_LENGTH, YAxis::None, false}}},
    {.ctrlClass = CTRL_CLASS_GRAPH,
     FLAG_BLOCK(GRAPHSTRS),
     .numFixed = 4,
     .fixed = {Label(offsetof(GRAPHSTRS, label)), XName(offsetof(GRAPHSTRS, xName)),
               YName("Left Y axis name", offsetof(GRAPHSTRS, lyName), YAxis::Left),
               YName("Right Y axis name", offsetof(GRAPHSTRS, ryName), YAxis::Right)},
     .numBlocks = 3,
     .blocks = {AxisItems("Xitem_%d", "X axis item %d label", 0, offsetof(GRAPHSTRS, xItems)),
                AxisItems("LYitem_%d", "Left Y axis item %d label", 1,
                          offsetof(GRAPHSTRS, lyItems)),
                AxisItems("RYitem_%d", "Right Y axis item %d label", 2,
                          offsetof(GRAPHSTRS, ryItems))},
     .numCounts = 3,
     .countSources = {CountSource::AxisItems, CountSource::AxisItems, CountSource::AxisItems},
     .countItems = {{"Xitems", 0}, {"LYitems", 1}, {"RYitems", 2}},
     .flagsBeforeCounts = true},
    {.ctrlClass = CTRL_CLASS_STRIP,
     FLAG_BLOCK(STRIPSTRS),
     .numFixed = 3,
     .fixed = {Label(offsetof(STRIPSTRS, label)), XName(offsetof(STRIPSTRS, xName)),
               YName("Left Y axis name", offsetof(STRIPSTRS, yName), YAxis::None)},
     .numBlocks = 2,
     .blocks = {AxisItems("Xitem_%d", "X axis item %d label", 0, offsetof(STRIPSTRS, xItems)),
                AxisItems("LYitem_%d", "Y axis item %d label", 1, offsetof(STRIPSTRS, yItems))},
     .numCounts = 2,
     .countSources = {CountSource::AxisItems, CountSource::AxisItems},
     .countItems = {{"Xitems", 0}, {"LYitems", 1}}},
    {.ctrlClass = CTRL_CLASS_LIST,
     FLAG_BLOCK(LISTSTRS),
     .numFixed = 1,
     .fixed = {Label(offsetof(LISTSTRS, label))},
     .numBlocks = 2,
     .blocks = {{"ItemLabel_%d", "List item %d label", 0, 0, offsetof(LISTSTRS, itemLabels),
                 BlockSource::ListLabels, 0},
                {"ItemVal_%d", "List item %d value", 0, 1, offsetof(LISTSTRS, itemValues),
                 BlockSource::ListValues, 0}},
     .numCounts = 2,
     .countSources = {CountSource::ListItems, CountSource::StringValues},
     .countItems = {{"NumItemLabels", 0}, {"NumItemValues", 1}},
     .keyOrder = KeyOrder::LabelValuePairs},
    {.ctrlClass = CTRL_CLASS_TABLE,
     FLAG_BLOCK(TABLESTRS),
     .numFixed = 1,
     .fixed = {Label(offsetof(TABLESTRS, label))},
     .numBlocks = 3,
     .blocks = {{"RowLabel_%d", "Row %d label", 1, 0, offsetof(TABLESTRS, rowLabels),
                 BlockSource::RowLabels, 0},
                {"ColLabel_%d", "Column %d label", 1, 1, offsetof(TABLESTRS, colLabels),
                 BlockSource::ColumnLabels, 0},
                {"Cell(%d,%d)", "Cell (%d, %d)", 1, kGridCount, offsetof(TABLESTRS, cells),
                 BlockSource::Cells, 0}},
     .numCounts = 2,
     .countSources = {CountSource::TableRows, CountSource::TableColumns},
     .countItems = {{"Cols", 1}, {"Rows", 0}},
     .keyOrder = KeyOrder::ColumnsBeforeCells},
};

#undef INLINE_FLAGS
#undef FLAG_BLOCK

// The counts records are runs of ints: a, b and c in this order.
static_assert(sizeof(GRAPHCOUNTS) == 3 * sizeof(int) && sizeof(STRIPCOUNTS) == 2 * sizeof(int) &&
              sizeof(LISTCOUNTS) == 2 * sizeof(int) && sizeof(TABLECOUNTS) == 2 * sizeof(int));
// An inline flag array has one byte per fixed slot.
constexpr int NumFixedOf(int ctrlClass) {
    return kClasses[ctrlClass - CTRL_CLASS_NONE].numFixed;
}
static_assert(sizeof BASICSTRS::flags == NumFixedOf(CTRL_CLASS_BASIC) &&
              sizeof STRINGSTRS::flags == NumFixedOf(CTRL_CLASS_STRING) &&
              sizeof MSGSTRS::flags == NumFixedOf(CTRL_CLASS_MSG) &&
              sizeof STATESTRS::flags == NumFixedOf(CTRL_CLASS_STATE));
// Every member of the record unions is one object pointer.
static_assert(sizeof(CTRLSTRS) == sizeof(void *) && sizeof(CTRLCOUNTS) == sizeof(void *));

constexpr bool TableInClassOrder() {
    for (int i = 0; i < static_cast<int>(sizeof kClasses / sizeof kClasses[0]); ++i)
        if (kClasses[i].ctrlClass != CTRL_CLASS_NONE + i) return false;
    return true;
}
static_assert(TableInClassOrder(), "kClasses is indexed by class number");

unsigned char *At(void *record, size_t offset) {
    return static_cast<unsigned char *>(record) + offset;
}

// The block holding slot k and the index within it; false when k is a fixed slot or too large.
bool FindBlockSlot(const CtrlClassDef &def, const Counts &n, int k, int *block, int *index) {
    int first = def.numFixed;
    if (k < first) return false;
    for (int b = 0; b < def.numBlocks; ++b) {
        const int length = BlockLength(def.blocks[b], n);
        if (k < first + length) {
            *block = b;
            *index = k - first;
            return true;
        }
        first += length;
    }
    return false;
}

// Key or description of slot k, from the fixed text or the block's format.
template <size_t N> void SlotText(const CTRL *ctrl, int k, bool key, char (&out)[N]) {
    out[0] = '\0';
    const CtrlClassDef *def = FindClass(ctrl->type);
    if (!def) return;
    if (k >= 0 && k < def->numFixed) {
        const FixedSlot &slot = def->fixed[k];
        snprintf(out, N, "%s", key ? slot.key : slot.description);
        return;
    }
    const Counts n = GetCounts(ctrl);
    int b = 0, index = 0;
    if (!FindBlockSlot(*def, n, k, &b, &index)) return;
    const CountedBlock &block = def->blocks[b];
    const char *format = key ? block.keyFormat : block.descriptionFormat;
    if (block.count == kGridCount) // column-major: column first, both 1-based
        snprintf(out, N, format, index / n.a + block.firstIndex, index % n.a + block.firstIndex);
    else
        snprintf(out, N, format, index + block.firstIndex);
}

} // namespace

// ---- Public queries -----------------------------------------------------------------------------

int CtrlClassFromStyle(int style) {
    for (const StyleRange &range : kStyleClasses)
        if (style >= range.first && style <= range.last) return range.ctrlClass;
    return 0;
}

int CtrlNumSlots(const CTRL *ctrl) {
    return loc::NumSlots(loc::ClassOf(ctrl->type), loc::GetCounts(ctrl));
}

namespace loc {

const CtrlClassDef *FindClass(int ctrlClass) {
    const int i = ctrlClass - CTRL_CLASS_NONE;
    if (i < 0 || i >= static_cast<int>(sizeof kClasses / sizeof kClasses[0])) return nullptr;
    return &kClasses[i];
}

const CtrlClassDef &ClassOf(int ctrlClass) {
    const CtrlClassDef *def = FindClass(ctrlClass);
    DoAssert(def != nullptr, __FILE__, __LINE__, "unknown control class");
    return *def;
}

void *StrsPtr(int type, const CTRLSTRS &strs) {
    if (ClassOf(type).recordSize == 0) return nullptr;
    void *record = nullptr;
    memcpy(&record, &strs, sizeof record);
    return record;
}

void SetStrsPtr(CTRLSTRS &strs, void *record) {
    memcpy(&strs, &record, sizeof record);
}

void *CountsPtr(const CTRL *ctrl) {
    const CtrlClassDef *def = FindClass(ctrl->type);
    if (!def || def->numCounts == 0) return nullptr;
    void *record = nullptr;
    memcpy(&record, &ctrl->counts, sizeof record);
    return record;
}

Counts GetCounts(const CTRL *ctrl) {
    int values[kMaxCounts] = {};
    if (void *record = CountsPtr(ctrl))
        memcpy(values, record, static_cast<size_t>(FindClass(ctrl->type)->numCounts) * sizeof(int));
    return {values[0], values[1], values[2]};
}

void SetCountsPtr(CTRL *ctrl, void *record) {
    memcpy(&ctrl->counts, &record, sizeof record);
}

void SetCounts(CTRL *ctrl, const Counts &n) {
    const int values[kMaxCounts] = {n.a, n.b, n.c};
    if (void *record = CountsPtr(ctrl))
        memcpy(record, values, static_cast<size_t>(FindClass(ctrl->type)->numCounts) * sizeof(int));
}

int BlockLength(const CountedBlock &block, const Counts &n) {
    return block.count == kGridCount ? n.a * n.b : n[block.count];
}

int NumSlots(const CtrlClassDef &def, const Counts &n) {
    int slots = def.numFixed;
    for (int b = 0; b < def.numBlocks; ++b)
        slots += BlockLength(def.blocks[b], n);
    return slots;
}

unsigned char *SlotFlags(const CtrlClassDef &def, void *record) {
    return def.flagsInline ? InlineFlags(def, record) : *FlagBlock(def, record);
}

unsigned char *InlineFlags(const CtrlClassDef &def, void *record) {
    return At(record, def.flagsOffset);
}

unsigned char **FlagBlock(const CtrlClassDef &def, void *record) {
    return reinterpret_cast<unsigned char **>(At(record, def.flagsOffset));
}

char ***BlockArray(const CountedBlock &block, void *record) {
    return reinterpret_cast<char ***>(At(record, block.offset));
}

char **FixedString(const FixedSlot &slot, void *record) {
    return reinterpret_cast<char **>(At(record, slot.offset));
}

bool GetSlot(const CTRL *ctrl, const CTRLSTRS &strs, int k, SlotRef *ref) {
    *ref = SlotRef{};
    if (k < 0 || k >= CtrlNumSlots(ctrl)) return false;
    void *record = StrsPtr(ctrl->type, strs);
    if (!record) return false;
    const CtrlClassDef &def = ClassOf(ctrl->type);
    ref->flag = SlotFlags(def, record) + k;
    if (k < def.numFixed) {
        ref->str = FixedString(def.fixed[k], record);
        return true;
    }
    int b = 0, index = 0;
    FindBlockSlot(def, GetCounts(ctrl), k, &b, &index);
    ref->str = *BlockArray(def.blocks[b], record) + index;
    return true;
}

void SlotKey(const CTRL *ctrl, int k, char (&key)[kKeySize]) {
    SlotText(ctrl, k, true, key);
}

void SlotDescription(const CTRL *ctrl, int k, char (&desc)[kDescSize]) {
    SlotText(ctrl, k, false, desc);
}

int SlotAtOrder(const CTRL *ctrl, int pos, bool readOrder) {
    if (pos <= 0) return pos;
    const CtrlClassDef *def = FindClass(ctrl->type);
    const KeyOrder order = def ? def->keyOrder : KeyOrder::Slots;
    const Counts n = GetCounts(ctrl);
    if (order == KeyOrder::LabelValuePairs && readOrder && n.b > 0) {
        const int q = pos - 1, i = q / 2;
        return (q % 2 == 0) ? 1 + i : 1 + n.a + i;
    }
    if (order == KeyOrder::ColumnsBeforeCells) {
        const int rows = n.a, cols = n.b;
        if (pos <= rows) return pos;
        const int q = pos - rows - 1, c = q / (rows + 1) + 1, j = q % (rows + 1);
        return j == 0 ? rows + c : rows + cols + (c - 1) * rows + j;
    }
    return pos;
}

} // namespace loc
