// Control values: numbers and texts, list items, text-box lines, axis items, table cells and
// pictures. See platform/runtime.h for the entry points and their error codes.
#include "platform/ui/rt_model.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>

#include <cmath>
#include <map>

namespace rt {

QString formatNumber(const Control &c, double v) {
    if (c.dataType == VAL_DOUBLE || c.dataType == VAL_FLOAT)
        return QString::number(v, 'f', c.precision);
    return QString::number(static_cast<long long>(v));
}

ItemLook chosenItemLook(const Control &c) {
    auto color = [](int own, int control, QColor theme) {
        const int v = own != kThemeColor ? own : control;
        return v == kThemeColor ? theme : QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    };
    ItemLook look{QString(), color(kThemeColor, c.textBgColor, Qt::white),
                  color(kThemeColor, c.textColor, Qt::black)};
    if (c.index < 0 || c.index >= static_cast<int>(c.items.size())) return look;
    const ListItem &item = c.items[static_cast<size_t>(c.index)];
    look.text = item.mark.isEmpty() ? item.label : item.mark + QLatin1Char(' ') + item.label;
    look.back = color(item.backColor, c.textBgColor, Qt::white);
    look.ink = color(item.textColor, c.textColor, Qt::black);
    return look;
}

void selectIndex(Control &c, int index) {
    c.index = index;
}

int textLineCount(const QString &text) {
    return text.isEmpty() ? 0 : static_cast<int>(text.count('\n')) + 1;
}

int textLineOffset(const QString &text, int line) {
    if (line < 0) return -1;
    if (line == 0) return 0;
    int seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && ++seen == line) return static_cast<int>(i + 1);
    return -1;
}

namespace {

bool integerType(int t) {
    return t != VAL_DOUBLE && t != VAL_FLOAT && t != VAL_STRING;
}
bool numericKind(Kind k) {
    return k == Kind::Numeric || k == Kind::NumericDisplay || k == Kind::ProgressBar;
}

// The number a control of an integer type keeps: truncated, and within its limits.
double coerce(const Control &c, double v) {
    if (integerType(c.dataType)) v = std::trunc(v);
    if (numericKind(c.kind)) v = std::clamp(v, c.minValue, c.maxValue);
    return v;
}

void changed(Panel &p, Control &c) {
    syncControl(p, c);
}

int listFind(const Control &c, const Value &v, bool text) {
    for (size_t i = 0; i < c.items.size(); ++i) {
        if (text ? c.items[i].value.text == v.text : c.items[i].value.number == v.number)
            return static_cast<int>(i);
    }
    return -1;
}

int listLookup(int panel, int control, Panel **p, Control **c) {
    if (int r = lookup(panel, control, p, c)) return r;
    return isListKind((*c)->kind) ? 0 : RT_ERR_CLASS_MISMATCH;
}

// Sets a control's value from a number (isText false) or a text.
int setValue(int panel, int control, double number, const QString &text, bool isText) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (isListKind(c->kind)) {
        if (isText != (c->dataType == VAL_STRING)) return RT_ERR_ATTRIBUTE_TYPE;
        Value v;
        v.number = number;
        v.text = text;
        int i = listFind(*c, v, isText);
        if (i < 0) return RT_ERR_INVALID_VALUE;
        c->index = i;
    } else if (isTextKind(c->kind)) {
        c->value.text = isText ? text : formatNumber(*c, number);
        c->caret = static_cast<int>(c->value.text.size());
    } else if (numericKind(c->kind)) {
        if (isText) {
            bool ok = false;
            number = text.trimmed().toDouble(&ok);
            if (!ok) return RT_ERR_INVALID_VALUE;
        }
        if (!std::isfinite(number)) return RT_ERR_INVALID_VALUE;
        c->value.number = coerce(*c, number);
    } else if (c->kind == Kind::Switch || c->kind == Kind::ToggleButton) {
        if (isText) return RT_ERR_ATTRIBUTE_TYPE;
        c->value.number = number != 0 ? 1 : 0;
    } else {
        return RT_ERR_CLASS_MISMATCH;
    }
    changed(*p, *c);
    return 0;
}

// Reads a control's value; *isText tells which member holds it.
int getValue(int panel, int control, Value *out, bool *isText) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (isListKind(c->kind)) {
        if (c->index < 0 || c->index >= static_cast<int>(c->items.size()))
            return RT_ERR_INDEX_OUT_OF_RANGE;
        *out = c->items[static_cast<size_t>(c->index)].value;
        *isText = c->dataType == VAL_STRING;
        return 0;
    }
    if (isTextKind(c->kind)) {
        out->text = c->value.text;
        *isText = true;
        return 0;
    }
    if (numericKind(c->kind) || c->kind == Kind::Switch || c->kind == Kind::ToggleButton) {
        out->number = c->value.number;
        out->text = formatNumber(*c, c->value.number);
        *isText = false;
        return 0;
    }
    return RT_ERR_CLASS_MISMATCH;
}

int insertItem(int panel, int control, int index, const char *label, const Value &v, bool isText) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (isText != (c->dataType == VAL_STRING)) return RT_ERR_ATTRIBUTE_TYPE;
    const int n = static_cast<int>(c->items.size());
    if (index == -1) index = n;
    if (index < 0 || index > n) return RT_ERR_INDEX_OUT_OF_RANGE;
    ListItem item;
    item.label = fromC(label);
    item.value = v;
    if (!isText && integerType(c->dataType)) item.value.number = std::trunc(v.number);
    c->items.insert(c->items.begin() + index, item);
    if (c->index < 0 && c->kind == Kind::Ring)
        c->index = 0;
    else if (c->index >= index)
        ++c->index;
    changed(*p, *c);
    return 0;
}

int replaceItem(int panel, int control, int index, const char *label, const Value &v, bool isText) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (isText != (c->dataType == VAL_STRING)) return RT_ERR_ATTRIBUTE_TYPE;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return RT_ERR_INDEX_OUT_OF_RANGE;
    ListItem &item = c->items[static_cast<size_t>(index)];
    item.label = fromC(label);
    item.value = v;
    if (!isText && integerType(c->dataType)) item.value.number = std::trunc(v.number);
    changed(*p, *c);
    return 0;
}

int itemAt(int panel, int control, int index, Control **c) {
    Panel *p;
    if (int r = listLookup(panel, control, &p, c)) return r;
    if (index < 0 || index >= static_cast<int>((*c)->items.size()))
        return RT_ERR_INDEX_OUT_OF_RANGE;
    return 0;
}

int textBox(int panel, int control, Panel **p, Control **c) {
    if (int r = lookup(panel, control, p, c)) return r;
    return (*c)->kind == Kind::TextBox ? 0 : RT_ERR_CLASS_MISMATCH;
}

int axisLookup(int panel, int control, int axis, Panel **p, Control **c) {
    if (int r = lookup(panel, control, p, c)) return r;
    if ((*c)->kind == Kind::Graph) return axis >= 0 && axis <= 2 ? 0 : RT_ERR_INVALID_VALUE;
    if ((*c)->kind == Kind::StripChart) return axis >= 0 && axis <= 1 ? 0 : RT_ERR_INVALID_VALUE;
    return RT_ERR_CLASS_MISMATCH;
}

int tableLookup(int panel, int control, Panel **p, Control **c) {
    if (int r = lookup(panel, control, p, c)) return r;
    return (*c)->kind == Kind::Table ? 0 : RT_ERR_CLASS_MISMATCH;
}

int cellAt(int panel, int control, Point cell, Panel **p, Control **c, Cell **out) {
    if (int r = tableLookup(panel, control, p, c)) return r;
    const int rows = static_cast<int>((*c)->rowLabels.size());
    const int cols = static_cast<int>((*c)->columnLabels.size());
    if (cell.x < 1 || cell.x > cols || cell.y < 1 || cell.y > rows)
        return RT_ERR_INDEX_OUT_OF_RANGE;
    *out = &(*c)->cells[static_cast<size_t>((cell.x - 1) * rows + (cell.y - 1))];
    return 0;
}

Cell makeCell(int type) {
    Cell cell;
    cell.type = type;
    return cell;
}

} // namespace
} // namespace rt

using namespace rt;

// ---- Values -----------------------------------------------------------------------------------

int SetCtrlVal(int panel, int control, int value) {
    return setValue(panel, control, value, {}, false);
}
int SetCtrlVal(int panel, int control, double value) {
    return setValue(panel, control, value, {}, false);
}
int SetCtrlVal(int panel, int control, const char *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    return setValue(panel, control, 0, fromC(value), true);
}

int GetCtrlVal(int panel, int control, int *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Value v;
    bool isText;
    if (int r = getValue(panel, control, &v, &isText)) return r;
    if (isText) return RT_ERR_ATTRIBUTE_TYPE;
    if (std::fabs(v.number) > 2147483647.0) return RT_ERR_INVALID_VALUE;
    *value = static_cast<int>(v.number);
    return 0;
}
int GetCtrlVal(int panel, int control, double *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Value v;
    bool isText;
    if (int r = getValue(panel, control, &v, &isText)) return r;
    if (isText) return RT_ERR_ATTRIBUTE_TYPE;
    *value = v.number;
    return 0;
}
int GetCtrlVal(int panel, int control, char *buffer, size_t bufferSize) {
    if (!buffer) return RT_ERR_NULL_POINTER;
    Value v;
    bool isText;
    if (int r = getValue(panel, control, &v, &isText)) return r;
    return copyOut(v.text, buffer, bufferSize);
}
int GetCtrlValLength(int panel, int control, int *length) {
    if (!length) return RT_ERR_NULL_POINTER;
    Value v;
    bool isText;
    if (int r = getValue(panel, control, &v, &isText)) return r;
    *length = utf8Length(v.text);
    return 0;
}

// ---- Lists ------------------------------------------------------------------------------------

int SetCtrlIndex(int panel, int control, int index) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return RT_ERR_INDEX_OUT_OF_RANGE;
    c->index = index;
    changed(*p, *c);
    return 0;
}
int GetCtrlIndex(int panel, int control, int *index) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (!index) return RT_ERR_NULL_POINTER;
    *index = c->index;
    return 0;
}
int GetNumListItems(int panel, int control, int *count) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (!count) return RT_ERR_NULL_POINTER;
    *count = static_cast<int>(c->items.size());
    return 0;
}

static int indexOf(int panel, int control, int *index, const Value &v, bool isText) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    if (!index) return RT_ERR_NULL_POINTER;
    if (isText != (c->dataType == VAL_STRING)) return RT_ERR_ATTRIBUTE_TYPE;
    int i = listFind(*c, v, isText);
    if (i < 0) return RT_ERR_INVALID_VALUE;
    *index = i;
    return 0;
}
int GetIndexFromValue(int panel, int control, int *index, int value) {
    Value v;
    v.number = value;
    return indexOf(panel, control, index, v, false);
}
int GetIndexFromValue(int panel, int control, int *index, double value) {
    Value v;
    v.number = value;
    return indexOf(panel, control, index, v, false);
}
int GetIndexFromValue(int panel, int control, int *index, const char *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Value v;
    v.text = fromC(value);
    return indexOf(panel, control, index, v, true);
}

int GetLabelLengthFromIndex(int panel, int control, int index, int *length) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (!length) return RT_ERR_NULL_POINTER;
    *length = utf8Length(c->items[static_cast<size_t>(index)].label);
    return 0;
}
int GetLabelFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    return copyOut(c->items[static_cast<size_t>(index)].label, buffer, bufferSize);
}
int RT_GetListItemLook(int panel, int control, int index, int *textColor, int *backColor,
                       char *mark, size_t markSize) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    const ListItem &item = c->items[static_cast<size_t>(index)];
    if (textColor) *textColor = item.textColor;
    if (backColor) *backColor = item.backColor;
    return mark ? copyOut(item.mark, mark, markSize) : 0;
}

int RT_SetListItemLook(int panel, int control, int index, int textColor, int backColor,
                       const char *mark) {
    Panel *p;
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (int r = lookup(panel, control, &p, &c)) return r;
    auto valid = [](int colour) {
        return colour == kThemeColor || (colour >= 0 && colour <= 0xFFFFFF);
    };
    if (!valid(textColor) || !valid(backColor)) return RT_ERR_INVALID_VALUE;
    ListItem &item = c->items[static_cast<size_t>(index)];
    item.textColor = textColor;
    item.backColor = backColor;
    item.mark = fromC(mark);
    changed(*p, *c);
    return 0;
}

int GetValueLengthFromIndex(int panel, int control, int index, int *length) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (!length) return RT_ERR_NULL_POINTER;
    const Value &v = c->items[static_cast<size_t>(index)].value;
    *length = utf8Length(c->dataType == VAL_STRING ? v.text : formatNumber(*c, v.number));
    return 0;
}
int GetValueFromIndex(int panel, int control, int index, int *value) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (!value) return RT_ERR_NULL_POINTER;
    if (c->dataType == VAL_STRING) return RT_ERR_ATTRIBUTE_TYPE;
    *value = static_cast<int>(c->items[static_cast<size_t>(index)].value.number);
    return 0;
}
int GetValueFromIndex(int panel, int control, int index, double *value) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (!value) return RT_ERR_NULL_POINTER;
    if (c->dataType == VAL_STRING) return RT_ERR_ATTRIBUTE_TYPE;
    *value = c->items[static_cast<size_t>(index)].value.number;
    return 0;
}
int GetValueFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize) {
    Control *c;
    if (int r = itemAt(panel, control, index, &c)) return r;
    if (c->dataType != VAL_STRING) return RT_ERR_ATTRIBUTE_TYPE;
    return copyOut(c->items[static_cast<size_t>(index)].value.text, buffer, bufferSize);
}

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    Value v;
    v.number = value;
    return insertItem(panel, control, index, label, v, false);
}
int InsertListItem(int panel, int control, int index, const char *label, double value) {
    Value v;
    v.number = value;
    return insertItem(panel, control, index, label, v, false);
}
int InsertListItem(int panel, int control, int index, const char *label, const char *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Value v;
    v.text = fromC(value);
    return insertItem(panel, control, index, label, v, true);
}
int ReplaceListItem(int panel, int control, int index, const char *label, int value) {
    Value v;
    v.number = value;
    return replaceItem(panel, control, index, label, v, false);
}
int ReplaceListItem(int panel, int control, int index, const char *label, double value) {
    Value v;
    v.number = value;
    return replaceItem(panel, control, index, label, v, false);
}
int ReplaceListItem(int panel, int control, int index, const char *label, const char *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Value v;
    v.text = fromC(value);
    return replaceItem(panel, control, index, label, v, true);
}

int DeleteListItem(int panel, int control, int index, int count) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    const int n = static_cast<int>(c->items.size());
    if (index < 0 || index >= n) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (count < 0 || index + count > n) count = n - index;
    c->items.erase(c->items.begin() + index, c->items.begin() + index + count);
    if (c->index >= index + count)
        c->index -= count;
    else if (c->index >= index)
        c->index = c->items.empty() ? -1 : std::min(index, static_cast<int>(c->items.size()) - 1);
    changed(*p, *c);
    return 0;
}
int ClearListCtrl(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = listLookup(panel, control, &p, &c)) return r;
    c->items.clear();
    c->index = -1;
    changed(*p, *c);
    return 0;
}

// ---- Text boxes -------------------------------------------------------------------------------

int InsertTextBoxLine(int panel, int control, int index, const char *text) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    if (!text) return RT_ERR_NULL_POINTER;
    QString &t = c->value.text;
    const QString line = fromC(text) + '\n';
    const int count = textLineCount(t);
    if (index < -1) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (index == -1 || index >= count) {
        if (!t.isEmpty() && !t.endsWith('\n')) t += '\n';
        t += line;
    } else {
        const int at = textLineOffset(t, index);
        t.insert(at, line);
        if (c->caret >= at) c->caret += static_cast<int>(line.size());
    }
    c->caret = std::min<int>(c->caret, static_cast<int>(t.size()));
    changed(*p, *c);
    return 0;
}

int GetNumTextBoxLines(int panel, int control, int *count) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    if (!count) return RT_ERR_NULL_POINTER;
    *count = textLineCount(c->value.text);
    return 0;
}

static int lineRange(const Control &c, int index, int *start, int *end) {
    const int count = textLineCount(c.value.text);
    if (index < 0 || index >= count) return RT_ERR_INDEX_OUT_OF_RANGE;
    *start = textLineOffset(c.value.text, index);
    int nl = static_cast<int>(c.value.text.indexOf('\n', *start));
    *end = nl < 0 ? static_cast<int>(c.value.text.size()) : nl;
    return 0;
}

int GetTextBoxLineLength(int panel, int control, int index, int *length) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    if (!length) return RT_ERR_NULL_POINTER;
    int s, e;
    if (int r = lineRange(*c, index, &s, &e)) return r;
    *length = utf8Length(c->value.text.mid(s, e - s));
    return 0;
}

int GetTextBoxLine(int panel, int control, int index, char *buffer, size_t bufferSize) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    int s, e;
    if (int r = lineRange(*c, index, &s, &e)) return r;
    return copyOut(c->value.text.mid(s, e - s), buffer, bufferSize);
}

int GetTextBoxLineOffset(int panel, int control, int index, int *offset) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    if (!offset) return RT_ERR_NULL_POINTER;
    const int count = textLineCount(c->value.text);
    if (index == count) {
        *offset = static_cast<int>(c->value.text.size());
        return 0;
    }
    if (index < 0 || index > count) return RT_ERR_INDEX_OUT_OF_RANGE;
    *offset = textLineOffset(c->value.text, index);
    return 0;
}

int DeleteTextBoxLines(int panel, int control, int firstIndex, int count) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    QString &t = c->value.text;
    const int lines = textLineCount(t);
    if (firstIndex < 0 || firstIndex >= lines) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (count < 0 || firstIndex + count > lines) count = lines - firstIndex;
    const int from = textLineOffset(t, firstIndex);
    const int to = firstIndex + count >= lines ? static_cast<int>(t.size())
                                               : textLineOffset(t, firstIndex + count);
    t.remove(from, to - from);
    if (c->caret > to)
        c->caret -= to - from;
    else if (c->caret > from)
        c->caret = from;
    changed(*p, *c);
    return 0;
}

int ResetTextBox(int panel, int control, const char *text) {
    Panel *p;
    Control *c;
    if (int r = textBox(panel, control, &p, &c)) return r;
    if (!text) return RT_ERR_NULL_POINTER;
    c->value.text = fromC(text);
    c->caret = static_cast<int>(c->value.text.size());
    changed(*p, *c);
    return 0;
}

namespace rt {
int fakeBackspace(Panel &p, Control &c) {
    if (c.kind != Kind::TextBox && c.kind != Kind::String) return RT_ERR_CLASS_MISMATCH;
    if (c.readOnly || c.mode == MODE_INDICATOR) return 0;
    c.caret = std::clamp(c.caret, 0, static_cast<int>(c.value.text.size()));
    if (c.caret == 0) return 0;
    c.value.text.remove(c.caret - 1, 1);
    --c.caret;
    syncControl(p, c);
    ctrlEvent(p.handle, c.id, EVENT_VAL_CHANGED);
    return 0;
}
} // namespace rt

// ---- Axes -------------------------------------------------------------------------------------

int GetNumAxisItems(int panel, int control, int axis, int *count) {
    Panel *p;
    Control *c;
    if (int r = axisLookup(panel, control, axis, &p, &c)) return r;
    if (!count) return RT_ERR_NULL_POINTER;
    *count = static_cast<int>(c->axisItems[axis].size());
    return 0;
}
int GetAxisItemLabelLength(int panel, int control, int axis, int index, int *length) {
    Panel *p;
    Control *c;
    if (int r = axisLookup(panel, control, axis, &p, &c)) return r;
    if (!length) return RT_ERR_NULL_POINTER;
    if (index < 0 || index >= static_cast<int>(c->axisItems[axis].size()))
        return RT_ERR_INDEX_OUT_OF_RANGE;
    *length = utf8Length(c->axisItems[axis][static_cast<size_t>(index)].label);
    return 0;
}
int GetAxisItem(int panel, int control, int axis, int index, char *label, size_t labelSize,
                double *value) {
    Panel *p;
    Control *c;
    if (int r = axisLookup(panel, control, axis, &p, &c)) return r;
    if (index < 0 || index >= static_cast<int>(c->axisItems[axis].size()))
        return RT_ERR_INDEX_OUT_OF_RANGE;
    const AxisItem &item = c->axisItems[axis][static_cast<size_t>(index)];
    if (value) *value = item.value;
    if (label) return copyOut(item.label, label, labelSize);
    return 0;
}
int ReplaceAxisItem(int panel, int control, int axis, int index, const char *label, double value) {
    Panel *p;
    Control *c;
    if (int r = axisLookup(panel, control, axis, &p, &c)) return r;
    if (index < 0 || index >= static_cast<int>(c->axisItems[axis].size()))
        return RT_ERR_INDEX_OUT_OF_RANGE;
    c->axisItems[axis][static_cast<size_t>(index)] = AxisItem{fromC(label), value};
    changed(*p, *c);
    return 0;
}
int InsertAxisItem(int panel, int control, int axis, int index, const char *label, double value) {
    Panel *p;
    Control *c;
    if (int r = axisLookup(panel, control, axis, &p, &c)) return r;
    auto &items = c->axisItems[axis];
    if (index == -1) index = static_cast<int>(items.size());
    if (index < 0 || index > static_cast<int>(items.size())) return RT_ERR_INDEX_OUT_OF_RANGE;
    items.insert(items.begin() + index, AxisItem{fromC(label), value});
    changed(*p, *c);
    return 0;
}

// ---- Tables -----------------------------------------------------------------------------------

Point MakePoint(int x, int y) {
    return Point{x, y};
}

int GetNumTableRows(int panel, int control, int *count) {
    Panel *p;
    Control *c;
    if (int r = tableLookup(panel, control, &p, &c)) return r;
    if (!count) return RT_ERR_NULL_POINTER;
    *count = static_cast<int>(c->rowLabels.size());
    return 0;
}
int GetNumTableColumns(int panel, int control, int *count) {
    Panel *p;
    Control *c;
    if (int r = tableLookup(panel, control, &p, &c)) return r;
    if (!count) return RT_ERR_NULL_POINTER;
    *count = static_cast<int>(c->columnLabels.size());
    return 0;
}

int InsertTableRows(int panel, int control, int index, int count, int cellType) {
    Panel *p;
    Control *c;
    if (int r = tableLookup(panel, control, &p, &c)) return r;
    const int rows = static_cast<int>(c->rowLabels.size());
    const int cols = static_cast<int>(c->columnLabels.size());
    if (index == -1) index = rows + 1;
    if (index < 1 || index > rows + 1 || count < 0) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (rows + static_cast<long long>(count) > kMaxTableCells ||
        static_cast<long long>(rows + count) * cols > kMaxTableCells)
        return RT_ERR_INVALID_VALUE;
    if (cellType < CELL_STRING || cellType > CELL_BUTTON) return RT_ERR_INVALID_VALUE;
    std::vector<Cell> cells;
    cells.reserve(static_cast<size_t>((rows + count) * cols));
    for (int col = 0; col < cols; ++col) {
        for (int row = 0; row < rows + count; ++row) {
            if (row < index - 1)
                cells.push_back(c->cells[static_cast<size_t>(col * rows + row)]);
            else if (row < index - 1 + count)
                cells.push_back(makeCell(cellType));
            else
                cells.push_back(c->cells[static_cast<size_t>(col * rows + row - count)]);
        }
    }
    c->cells = std::move(cells);
    for (int i = 0; i < count; ++i)
        c->rowLabels.insert(index - 1, QString());
    changed(*p, *c);
    return 0;
}

int InsertTableColumns(int panel, int control, int index, int count, int cellType) {
    Panel *p;
    Control *c;
    if (int r = tableLookup(panel, control, &p, &c)) return r;
    const int rows = static_cast<int>(c->rowLabels.size());
    const int cols = static_cast<int>(c->columnLabels.size());
    if (index == -1) index = cols + 1;
    if (index < 1 || index > cols + 1 || count < 0) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (cols + static_cast<long long>(count) > kMaxTableCells ||
        static_cast<long long>(cols + count) * rows > kMaxTableCells)
        return RT_ERR_INVALID_VALUE;
    if (cellType < CELL_STRING || cellType > CELL_BUTTON) return RT_ERR_INVALID_VALUE;
    auto at = c->cells.begin() + static_cast<ptrdiff_t>((index - 1) * rows);
    c->cells.insert(at, static_cast<size_t>(count * rows), makeCell(cellType));
    for (int i = 0; i < count; ++i)
        c->columnLabels.insert(index - 1, QString());
    changed(*p, *c);
    return 0;
}

static int headerAttr(int panel, int control, bool row, int which, int attribute, QString **label) {
    Panel *p;
    Control *c;
    if (int r = tableLookup(panel, control, &p, &c)) return r;
    QStringList &labels = row ? c->rowLabels : c->columnLabels;
    if (which < 1 || which > labels.size()) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (attribute != ATTR_LABEL_TEXT && attribute != ATTR_LABEL_TEXT_LENGTH)
        return RT_ERR_INVALID_ATTRIBUTE;
    *label = &labels[which - 1];
    return 0;
}

static int setHeader(int panel, int control, bool row, int which, int attribute,
                     const char *value) {
    QString *label;
    if (int r = headerAttr(panel, control, row, which, attribute, &label)) return r;
    if (attribute != ATTR_LABEL_TEXT) return RT_ERR_READ_ONLY;
    if (!value) return RT_ERR_NULL_POINTER;
    *label = fromC(value);
    Panel *p;
    Control *c;
    lookup(panel, control, &p, &c);
    changed(*p, *c);
    return 0;
}
static int getHeaderInt(int panel, int control, bool row, int which, int attribute, int *value) {
    QString *label;
    if (int r = headerAttr(panel, control, row, which, attribute, &label)) return r;
    if (attribute != ATTR_LABEL_TEXT_LENGTH) return RT_ERR_ATTRIBUTE_TYPE;
    if (!value) return RT_ERR_NULL_POINTER;
    *value = utf8Length(*label);
    return 0;
}
static int getHeaderText(int panel, int control, bool row, int which, int attribute, char *buffer,
                         size_t size) {
    QString *label;
    if (int r = headerAttr(panel, control, row, which, attribute, &label)) return r;
    if (attribute != ATTR_LABEL_TEXT) return RT_ERR_ATTRIBUTE_TYPE;
    return copyOut(*label, buffer, size);
}

int SetTableRowAttribute(int panel, int control, int row, int attribute, const char *value) {
    return setHeader(panel, control, true, row, attribute, value);
}
int SetTableRowAttribute(int panel, int control, int row, int attribute, int) {
    QString *label;
    if (int r = headerAttr(panel, control, true, row, attribute, &label)) return r;
    return attribute == ATTR_LABEL_TEXT ? RT_ERR_ATTRIBUTE_TYPE : RT_ERR_READ_ONLY;
}
int GetTableRowAttribute(int panel, int control, int row, int attribute, int *value) {
    return getHeaderInt(panel, control, true, row, attribute, value);
}
int GetTableRowAttribute(int panel, int control, int row, int attribute, char *buffer,
                         size_t bufferSize) {
    return getHeaderText(panel, control, true, row, attribute, buffer, bufferSize);
}
int SetTableColumnAttribute(int panel, int control, int column, int attribute, const char *value) {
    return setHeader(panel, control, false, column, attribute, value);
}
int SetTableColumnAttribute(int panel, int control, int column, int attribute, int) {
    QString *label;
    if (int r = headerAttr(panel, control, false, column, attribute, &label)) return r;
    return attribute == ATTR_LABEL_TEXT ? RT_ERR_ATTRIBUTE_TYPE : RT_ERR_READ_ONLY;
}
int GetTableColumnAttribute(int panel, int control, int column, int attribute, int *value) {
    return getHeaderInt(panel, control, false, column, attribute, value);
}
int GetTableColumnAttribute(int panel, int control, int column, int attribute, char *buffer,
                            size_t bufferSize) {
    return getHeaderText(panel, control, false, column, attribute, buffer, bufferSize);
}

int SetTableCellAttribute(int panel, int control, Point cell, int attribute, int value) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (attribute != ATTR_CELL_TYPE) return RT_ERR_INVALID_ATTRIBUTE;
    if (value < CELL_STRING || value > CELL_BUTTON) return RT_ERR_INVALID_VALUE;
    // The content survives a change of type: numbers become their text and back.
    if (cl->type == CELL_NUMERIC && value != CELL_NUMERIC)
        cl->text = QString::number(cl->number, 'g', 15);
    if (cl->type != CELL_NUMERIC && value == CELL_NUMERIC)
        cl->number = cl->text.trimmed().toDouble();
    cl->type = value;
    changed(*p, *c);
    return 0;
}
int GetTableCellAttribute(int panel, int control, Point cell, int attribute, int *value) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (attribute != ATTR_CELL_TYPE) return RT_ERR_INVALID_ATTRIBUTE;
    if (!value) return RT_ERR_NULL_POINTER;
    *value = cl->type;
    return 0;
}

int SetTableCellVal(int panel, int control, Point cell, const char *value) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (!value) return RT_ERR_NULL_POINTER;
    if (cl->type == CELL_NUMERIC || cl->type == CELL_PICTURE) return RT_ERR_ATTRIBUTE_TYPE;
    cl->text = fromC(value);
    changed(*p, *c);
    return 0;
}
static int setCellNumber(int panel, int control, Point cell, double value) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (cl->type != CELL_NUMERIC) return RT_ERR_ATTRIBUTE_TYPE;
    cl->number = value;
    changed(*p, *c);
    return 0;
}
int SetTableCellVal(int panel, int control, Point cell, int value) {
    return setCellNumber(panel, control, cell, value);
}
int SetTableCellVal(int panel, int control, Point cell, double value) {
    return setCellNumber(panel, control, cell, value);
}
int GetTableCellValLength(int panel, int control, Point cell, int *length) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (!length) return RT_ERR_NULL_POINTER;
    *length =
        utf8Length(cl->type == CELL_NUMERIC ? QString::number(cl->number, 'g', 15) : cl->text);
    return 0;
}
int GetTableCellVal(int panel, int control, Point cell, char *buffer, size_t bufferSize) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (cl->type == CELL_NUMERIC || cl->type == CELL_PICTURE) return RT_ERR_ATTRIBUTE_TYPE;
    return copyOut(cl->text, buffer, bufferSize);
}
int GetTableCellVal(int panel, int control, Point cell, int *value) {
    double d;
    int r = GetTableCellVal(panel, control, cell, &d);
    if (r == 0) {
        if (!value) return RT_ERR_NULL_POINTER;
        *value = static_cast<int>(d);
    }
    return r;
}
int GetTableCellVal(int panel, int control, Point cell, double *value) {
    Panel *p;
    Control *c;
    Cell *cl;
    if (int r = cellAt(panel, control, cell, &p, &c, &cl)) return r;
    if (!value) return RT_ERR_NULL_POINTER;
    if (cl->type != CELL_NUMERIC) return RT_ERR_ATTRIBUTE_TYPE;
    *value = cl->number;
    return 0;
}

// ---- Pictures ---------------------------------------------------------------------------------

namespace rt {

namespace {

// The formats Qt reads without a plug-in, known by their first bytes. Naming the format spares
// the probe of every image plug-in, which loads each one and the libraries behind it.
QByteArray builtInFormatOf(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.read(8);
    if (head.startsWith("BM")) return "bmp";
    if (head.startsWith("\x89PNG\r\n\x1a\n")) return "png";
    if (head.size() >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6') return "ppm";
    return {};
}

} // namespace

QImage readImageFile(const QString &path) {
    const QByteArray format = builtInFormatOf(path);
    QImageReader reader(path, format);
    // With a named format, asking every plug-in whether it reads it would load them all.
    if (format.isEmpty())
        reader.setDecideFormatFromContent(true);
    else
        reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull() && !format.isEmpty()) {
        // The first bytes looked familiar but did not decode: let every reader have a try.
        QImageReader probe(path);
        probe.setDecideFormatFromContent(true);
        image = probe.read();
    }
    return image;
}

namespace {

// Pictures read ahead by RT_PreloadImageFile, each kept until its file is shown once, and used
// only while the file is the one that was read.
struct PreloadedImage {
    QImage image;
    qint64 size = -1;
    QDateTime modified;
};

std::map<QString, PreloadedImage> &preloadedImages() {
    static std::map<QString, PreloadedImage> images;
    return images;
}

// The image preloaded for the file, taken out of the store; null when there is none or the file
// changed since.
QImage takePreloadedImage(const QString &path, const QFileInfo &info) {
    auto &images = preloadedImages();
    const auto it = images.find(path);
    if (it == images.end()) return {};
    PreloadedImage entry = std::move(it->second);
    images.erase(it);
    if (entry.size != info.size() || entry.modified != info.lastModified()) return {};
    return entry.image;
}

} // namespace

} // namespace rt

int RT_PreloadImageFile(const char *path) {
    if (!path) return RT_ERR_NULL_POINTER;
    const QString file = rt::fromC(path);
    const QFileInfo info(file);
    if (!info.isFile()) return RT_ERR_FILE_NOT_FOUND;
    QImage image = rt::readImageFile(file);
    if (image.isNull()) return RT_ERR_IMAGE_FILE;
    rt::preloadedImages()[file] = {std::move(image), info.size(), info.lastModified()};
    return 0;
}

int DisplayImageFile(int panel, int control, const char *path) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (c->kind != Kind::Picture) return RT_ERR_CLASS_MISMATCH;
    if (!path) return RT_ERR_NULL_POINTER;
    const QString file = fromC(path);
    c->image = QImage();
    c->imagePath.clear();
    int result = 0;
    const QFileInfo info(file);
    if (!info.isFile()) {
        result = RT_ERR_FILE_NOT_FOUND;
    } else {
        QImage image = takePreloadedImage(file, info);
        if (image.isNull()) image = readImageFile(file);
        if (image.isNull()) {
            result = RT_ERR_IMAGE_FILE;
        } else {
            c->image = image;
            c->imagePath = file;
        }
    }
    changed(*p, *c);
    return result;
}

int DeleteImage(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (c->kind != Kind::Picture) return RT_ERR_CLASS_MISMATCH;
    c->image = QImage();
    c->imagePath.clear();
    changed(*p, *c);
    return 0;
}
