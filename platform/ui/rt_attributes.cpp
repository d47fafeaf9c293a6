// Control attributes by number: which control kinds have which attribute, of which type.
// See platform/runtime.h for the entry points; docs/ui-resource.md for the attribute table.
#include "platform/ui/rt_model.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include <cmath>

namespace rt {
namespace {

enum class AT { None, Int, Dbl, Str, Ptr };

struct Arg {
    AT type = AT::None;
    int i = 0;
    double d = 0;
    QString s;
    void *p = nullptr;
};

bool numericKind(Kind k) {
    return k == Kind::Numeric || k == Kind::NumericDisplay || k == Kind::ProgressBar;
}
bool valueKind(Kind k) {
    return numericKind(k) || isTextKind(k) || isListKind(k) || k == Kind::Switch ||
           k == Kind::ToggleButton;
}
bool integerType(int dataType) {
    return dataType != VAL_DOUBLE && dataType != VAL_FLOAT && dataType != VAL_STRING;
}

AT typedNumber(const Control &c) {
    return integerType(c.dataType) ? AT::Int : AT::Dbl;
}

// The type of an attribute on a control, AT::None when the control does not have it.
AT attrType(const Control &c, int a) {
    const Kind k = c.kind;
    switch (a) {
    case ATTR_CONSTANT_NAME:
        return AT::Str;
    case ATTR_CALLBACK_DATA:
        return AT::Ptr;
    case ATTR_CONSTANT_NAME_LENGTH:
    case ATTR_LEFT:
    case ATTR_TOP:
    case ATTR_WIDTH:
    case ATTR_HEIGHT:
    case ATTR_CTRL_STYLE:
    case ATTR_NEXT_CTRL:
    case ATTR_VISIBLE:
    case ATTR_DIMMED:
    case ATTR_CTRL_MODE:
    case ATTR_LABEL_TEXT_LENGTH:
    case ATTR_LABEL_LEFT:
    case ATTR_LABEL_TOP:
    case ATTR_LABEL_WIDTH:
    case ATTR_LABEL_HEIGHT:
        return AT::Int;
    case ATTR_LABEL_TEXT:
        return AT::Str;
    case ATTR_TEXT_FONT:
        return k == Kind::Decoration || k == Kind::Picture ? AT::None : AT::Str;
    case ATTR_TEXT_POINT_SIZE:
    case ATTR_TEXT_BGCOLOR:
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BOLD:
    case ATTR_TEXT_JUSTIFY:
        return k == Kind::Decoration || k == Kind::Picture ? AT::None : AT::Int;
    case ATTR_DFLT_VALUE:
        if (isTextKind(k)) return AT::Str;
        if (numericKind(k)) return typedNumber(c);
        return AT::None;
    case ATTR_DFLT_VALUE_LENGTH:
        return isTextKind(k) ? AT::Int : AT::None;
    case ATTR_SIZE_TO_TEXT:
        return k == Kind::TextMessage ? AT::Int : AT::None;
    case ATTR_DATA_TYPE:
        return valueKind(k) ? AT::Int : AT::None;
    case ATTR_PRECISION:
        return numericKind(k) ? AT::Int : AT::None;
    case ATTR_MAX_VALUE:
    case ATTR_MIN_VALUE:
        return numericKind(k) ? typedNumber(c) : AT::None;
    case ATTR_SHOW_DIGITAL_DISPLAY:
    case ATTR_PROGRESS_TEXT_PRECISION:
    case ATTR_MARKER_STYLE:
    case ATTR_MARKER_COUNT:
    case ATTR_FILL_COLOR:
        return k == Kind::ProgressBar ? AT::Int : AT::None;
    case ATTR_TEXT_SELECTION_START:
    case ATTR_MAX_ENTRY_LENGTH:
        return k == Kind::TextBox || k == Kind::String ? AT::Int : AT::None;
    case ATTR_ON_TEXT:
    case ATTR_OFF_TEXT:
        return k == Kind::Switch || k == Kind::ToggleButton ? AT::Str : AT::None;
    case ATTR_ON_TEXT_LENGTH:
    case ATTR_OFF_TEXT_LENGTH:
        return k == Kind::Switch || k == Kind::ToggleButton ? AT::Int : AT::None;
    case ATTR_SHORTCUT_KEY:
        return k == Kind::Button || k == Kind::ToggleButton ? AT::Int : AT::None;
    case ATTR_XNAME:
    case ATTR_YNAME:
        return k == Kind::Graph || k == Kind::StripChart ? AT::Str : AT::None;
    case ATTR_XNAME_LENGTH:
    case ATTR_YNAME_LENGTH:
        return k == Kind::Graph || k == Kind::StripChart ? AT::Int : AT::None;
    case ATTR_ACTIVE_YAXIS:
        return k == Kind::Graph ? AT::Int : AT::None;
    }
    return AT::None;
}

bool readOnly(int a) {
    switch (a) {
    case ATTR_CONSTANT_NAME_LENGTH:
    case ATTR_CTRL_STYLE:
    case ATTR_NEXT_CTRL:
    case ATTR_LABEL_TEXT_LENGTH:
    case ATTR_LABEL_WIDTH:
    case ATTR_LABEL_HEIGHT:
    case ATTR_DFLT_VALUE_LENGTH:
    case ATTR_ON_TEXT_LENGTH:
    case ATTR_OFF_TEXT_LENGTH:
    case ATTR_XNAME_LENGTH:
    case ATTR_YNAME_LENGTH:
        return true;
    }
    return false;
}

int yAxisIndex(const Control &c) {
    return c.kind == Kind::Graph && c.activeYAxis == 2 ? 2 : 1;
}

int nextCtrl(const Panel &p, const Control &c) {
    for (size_t i = 0; i < p.controls.size(); ++i)
        if (p.controls[i].get() == &c) return i + 1 < p.controls.size() ? p.controls[i + 1]->id : 0;
    return 0;
}

void getAttr(const Panel &p, const Control &c, int a, Arg &v) {
    switch (a) {
    case ATTR_CONSTANT_NAME:
        v.s = c.name;
        break;
    case ATTR_CALLBACK_DATA:
        v.p = c.callbackData;
        break;
    case ATTR_CONSTANT_NAME_LENGTH:
        v.i = utf8Length(c.name);
        break;
    case ATTR_LEFT:
        v.i = c.rect.left();
        break;
    case ATTR_TOP:
        v.i = c.rect.top();
        break;
    case ATTR_WIDTH:
        v.i = c.rect.width();
        break;
    case ATTR_HEIGHT:
        v.i = c.rect.height();
        break;
    case ATTR_CTRL_STYLE:
        v.i = c.style;
        break;
    case ATTR_NEXT_CTRL:
        v.i = nextCtrl(p, c);
        break;
    case ATTR_VISIBLE:
        v.i = c.visible;
        break;
    case ATTR_DIMMED:
        v.i = c.dimmed;
        break;
    case ATTR_CTRL_MODE:
        v.i = c.mode;
        break;
    case ATTR_LABEL_TEXT:
        v.s = c.label;
        break;
    case ATTR_LABEL_TEXT_LENGTH:
        v.i = utf8Length(c.label);
        break;
    case ATTR_LABEL_LEFT:
        v.i = c.labelLeft;
        break;
    case ATTR_LABEL_TOP:
        v.i = c.labelTop;
        break;
    case ATTR_LABEL_WIDTH:
        v.i = labelSize(c).width();
        break;
    case ATTR_LABEL_HEIGHT:
        v.i = labelSize(c).height();
        break;
    case ATTR_TEXT_FONT:
        v.s = c.font.isEmpty() ? controlFont(c).family() : c.font;
        break;
    case ATTR_TEXT_POINT_SIZE:
        v.i = controlFont(c).pointSize();
        break;
    case ATTR_TEXT_BGCOLOR:
        v.i = c.textBgColor == kThemeColor ? 0xFFFFFF : c.textBgColor;
        break;
    case ATTR_TEXT_COLOR:
        v.i = c.textColor == kThemeColor ? 0 : c.textColor;
        break;
    case ATTR_TEXT_BOLD:
        v.i = c.bold;
        break;
    case ATTR_TEXT_JUSTIFY:
        v.i = c.align;
        break;
    case ATTR_DFLT_VALUE:
        v.s = c.dflt.text;
        v.d = c.dflt.number;
        v.i = static_cast<int>(c.dflt.number);
        break;
    case ATTR_DFLT_VALUE_LENGTH:
        v.i = utf8Length(c.dflt.text);
        break;
    case ATTR_SIZE_TO_TEXT:
        v.i = c.sizeToText;
        break;
    case ATTR_DATA_TYPE:
        v.i = c.dataType;
        break;
    case ATTR_PRECISION:
        v.i = c.precision;
        break;
    case ATTR_MAX_VALUE:
        v.d = c.maxValue, v.i = static_cast<int>(c.maxValue);
        break;
    case ATTR_MIN_VALUE:
        v.d = c.minValue, v.i = static_cast<int>(c.minValue);
        break;
    case ATTR_SHOW_DIGITAL_DISPLAY:
        v.i = c.showDigital;
        break;
    case ATTR_PROGRESS_TEXT_PRECISION:
        v.i = c.progressPrecision;
        break;
    case ATTR_MARKER_STYLE:
        v.i = c.markerStyle;
        break;
    case ATTR_MARKER_COUNT:
        v.i = c.markerCount;
        break;
    case ATTR_FILL_COLOR:
        v.i = c.fillColor;
        break;
    case ATTR_TEXT_SELECTION_START:
        v.i = c.caret;
        break;
    case ATTR_MAX_ENTRY_LENGTH:
        v.i = c.maxLength;
        break;
    case ATTR_ON_TEXT:
        v.s = c.onText;
        break;
    case ATTR_OFF_TEXT:
        v.s = c.offText;
        break;
    case ATTR_ON_TEXT_LENGTH:
        v.i = utf8Length(c.onText);
        break;
    case ATTR_OFF_TEXT_LENGTH:
        v.i = utf8Length(c.offText);
        break;
    case ATTR_SHORTCUT_KEY:
        v.i = c.shortcutKey;
        break;
    case ATTR_XNAME:
        v.s = c.axisName[0];
        break;
    case ATTR_YNAME:
        v.s = c.axisName[yAxisIndex(c)];
        break;
    case ATTR_XNAME_LENGTH:
        v.i = utf8Length(c.axisName[0]);
        break;
    case ATTR_YNAME_LENGTH:
        v.i = utf8Length(c.axisName[yAxisIndex(c)]);
        break;
    case ATTR_ACTIVE_YAXIS:
        v.i = c.activeYAxis;
        break;
    }
}

bool validColor(int v) {
    return v >= 0 && v <= 0xFFFFFF;
}

// Converts the current value and the items of a control to a new data type.
void convertDataType(Control &c, int type) {
    auto convert = [&](Value &v) {
        if (type == VAL_STRING) {
            if (v.text.isEmpty()) v.text = formatNumber(c, v.number);
        } else {
            if (c.dataType == VAL_STRING) v.number = v.text.toDouble();
            if (integerType(type)) v.number = std::trunc(v.number);
        }
    };
    for (auto &it : c.items)
        convert(it.value);
    if (!isTextKind(c.kind)) convert(c.value);
    c.dataType = type;
    if (!integerType(type) && type != VAL_STRING && c.precision == 0) c.precision = 2;
    if (integerType(type)) c.precision = 0;
}

int setAttr(Panel &p, Control &c, int a, const Arg &v) {
    bool geometry = false, label = false, rebuild = false;
    switch (a) {
    case ATTR_CONSTANT_NAME:
        c.name = v.s;
        return 0;
    case ATTR_CALLBACK_DATA:
        c.callbackData = v.p;
        return 0;
    case ATTR_LEFT:
        c.rect.moveLeft(v.i), geometry = true;
        break;
    case ATTR_TOP:
        c.rect.moveTop(v.i), geometry = true;
        break;
    case ATTR_WIDTH:
        if (v.i < 0) return RT_ERR_INVALID_VALUE;
        c.rect.setWidth(v.i), c.sizeSet = geometry = true;
        break;
    case ATTR_HEIGHT:
        if (v.i < 0) return RT_ERR_INVALID_VALUE;
        c.rect.setHeight(v.i), c.sizeSet = geometry = true;
        break;
    case ATTR_VISIBLE:
        c.visible = v.i != 0;
        break;
    case ATTR_DIMMED:
        c.dimmed = v.i != 0;
        break;
    case ATTR_CTRL_MODE:
        if (v.i < MODE_NORMAL || v.i > MODE_VALIDATE) return RT_ERR_INVALID_VALUE;
        c.mode = v.i;
        break;
    case ATTR_LABEL_TEXT:
        c.label = v.s, label = true;
        break;
    case ATTR_LABEL_LEFT:
        c.labelLeft = v.i, c.labelLeftAuto = false, label = true;
        break;
    case ATTR_LABEL_TOP:
        c.labelTopAuto = false;
        c.labelTopCentred = v.i == VAL_AUTO_CENTER;
        if (!c.labelTopCentred) c.labelTop = v.i;
        label = true;
        break;
    case ATTR_TEXT_FONT:
        c.font = v.s, label = true;
        break;
    case ATTR_TEXT_POINT_SIZE:
        if (v.i < 0 || v.i > 500) return RT_ERR_INVALID_VALUE;
        c.pointSize = v.i;
        break;
    case ATTR_TEXT_BGCOLOR:
        if (!validColor(v.i)) return RT_ERR_INVALID_VALUE;
        c.textBgColor = v.i;
        break;
    case ATTR_TEXT_COLOR:
        if (!validColor(v.i)) return RT_ERR_INVALID_VALUE;
        c.textColor = v.i;
        break;
    case ATTR_TEXT_BOLD:
        c.bold = v.i != 0;
        break;
    case ATTR_TEXT_JUSTIFY:
        if (v.i < 0 || v.i > 2) return RT_ERR_INVALID_VALUE;
        c.align = v.i;
        break;
    case ATTR_DFLT_VALUE:
        // Setting the default value of a text control also shows it: it is the text the
        // control has after loading and after a reset.
        if (isTextKind(c.kind)) {
            c.dflt.text = v.s;
            c.value.text = v.s;
            c.caret = static_cast<int>(v.s.size());
        } else {
            c.dflt.number = v.type == AT::Int ? v.i : v.d;
        }
        break;
    case ATTR_SIZE_TO_TEXT:
        c.sizeToText = v.i != 0;
        rebuild = true;
        break;
    case ATTR_DATA_TYPE:
        if (v.i < VAL_CHAR || v.i > VAL_UNSIGNED_INTEGER) return RT_ERR_INVALID_VALUE;
        if (isTextKind(c.kind) ? v.i != VAL_STRING : (v.i == VAL_STRING && !isListKind(c.kind)))
            return RT_ERR_INVALID_VALUE;
        convertDataType(c, v.i);
        break;
    case ATTR_PRECISION:
        if (v.i < 0 || v.i > 15) return RT_ERR_INVALID_VALUE;
        c.precision = v.i;
        break;
    case ATTR_MAX_VALUE:
        c.maxValue = v.type == AT::Int ? v.i : v.d;
        break;
    case ATTR_MIN_VALUE:
        c.minValue = v.type == AT::Int ? v.i : v.d;
        break;
    case ATTR_SHOW_DIGITAL_DISPLAY:
        c.showDigital = v.i != 0;
        break;
    case ATTR_PROGRESS_TEXT_PRECISION:
        if (v.i < 0 || v.i > 6) return RT_ERR_INVALID_VALUE;
        c.progressPrecision = v.i;
        break;
    case ATTR_MARKER_STYLE:
        if (v.i < 0 || v.i > 3) return RT_ERR_INVALID_VALUE;
        c.markerStyle = v.i;
        break;
    case ATTR_MARKER_COUNT:
        if (v.i < 0 || v.i > 100) return RT_ERR_INVALID_VALUE;
        c.markerCount = v.i;
        break;
    case ATTR_FILL_COLOR:
        if (!validColor(v.i) && v.i != kFillTheme) return RT_ERR_INVALID_VALUE;
        c.fillColor = v.i;
        break;
    case ATTR_TEXT_SELECTION_START:
        if (v.i < 0 || v.i > c.value.text.size()) return RT_ERR_INVALID_VALUE;
        c.caret = v.i;
        break;
    case ATTR_MAX_ENTRY_LENGTH:
        if (v.i < 0) return RT_ERR_INVALID_VALUE;
        c.maxLength = v.i;
        break;
    case ATTR_ON_TEXT:
        c.onText = v.s;
        break;
    case ATTR_OFF_TEXT:
        c.offText = v.s;
        break;
    case ATTR_SHORTCUT_KEY:
        c.shortcutKey = v.i;
        break;
    case ATTR_XNAME:
        c.axisName[0] = v.s;
        break;
    case ATTR_YNAME:
        c.axisName[yAxisIndex(c)] = v.s;
        break;
    case ATTR_ACTIVE_YAXIS:
        if (v.i != 1 && v.i != 2) return RT_ERR_INVALID_VALUE;
        c.activeYAxis = v.i;
        return 0;
    default:
        return RT_ERR_READ_ONLY;
    }
    if (geometry || label) placeLabel(c);
    if (rebuild) {
        if (!c.sizeToText && !c.sizeSet && p.client) {
            // A scrolling text message made at run time fills the panel to the right and bottom,
            // keeping its left and top distances as margins.
            c.rect.setWidth(std::max(20, p.rect.width() - 2 * c.rect.left()));
            c.rect.setHeight(std::max(20, p.rect.height() - c.rect.top() - c.rect.left()));
        }
        rebuildControlWidget(p, c);
    } else {
        syncControl(p, c);
    }
    syncLabel(p, c);
    return 0;
}

int prepare(int panel, int control, int attribute, Panel **p, Control **c, AT *type) {
    if (int r = lookup(panel, control, p, c)) return r;
    *type = attrType(**c, attribute);
    return *type == AT::None ? RT_ERR_INVALID_ATTRIBUTE : 0;
}

int doSet(int panel, int control, int attribute, Arg v) {
    Panel *p;
    Control *c;
    AT type;
    if (int r = prepare(panel, control, attribute, &p, &c, &type)) return r;
    const bool numeric = type == AT::Int || type == AT::Dbl;
    if (numeric && (v.type == AT::Int || v.type == AT::Dbl)) {
        if (v.type == AT::Dbl && type == AT::Int) {
            if (!std::isfinite(v.d) || v.d > 2147483647.0 || v.d < -2147483648.0)
                return RT_ERR_INVALID_VALUE;
            v.i = static_cast<int>(v.d);
        }
        if (v.type == AT::Int && type == AT::Dbl) v.d = v.i;
        v.type = type;
    } else if (type != v.type) {
        return RT_ERR_ATTRIBUTE_TYPE;
    }
    if (readOnly(attribute)) return RT_ERR_READ_ONLY;
    return setAttr(*p, *c, attribute, v);
}

int doGet(int panel, int control, int attribute, AT want, Arg &v) {
    Panel *p;
    Control *c;
    AT type;
    if (int r = prepare(panel, control, attribute, &p, &c, &type)) return r;
    const bool numeric = type == AT::Int || type == AT::Dbl;
    if (!(numeric && (want == AT::Int || want == AT::Dbl)) && type != want)
        return RT_ERR_ATTRIBUTE_TYPE;
    getAttr(*p, *c, attribute, v);
    if (type == AT::Int) v.d = v.i;
    if (type == AT::Dbl && want == AT::Int) {
        if (!std::isfinite(v.d) || std::fabs(v.d) > 2147483647.0) return RT_ERR_INVALID_VALUE;
        v.i = static_cast<int>(v.d);
    }
    return 0;
}

} // namespace
} // namespace rt

using namespace rt;

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    Arg v;
    v.type = AT::Int;
    v.i = value;
    return doSet(panel, control, attribute, v);
}
int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    Arg v;
    v.type = AT::Dbl;
    v.d = value;
    return doSet(panel, control, attribute, v);
}
int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Arg v;
    v.type = AT::Str;
    v.s = fromC(value);
    return doSet(panel, control, attribute, v);
}
int SetCtrlAttribute(int panel, int control, int attribute, void *value) {
    Arg v;
    v.type = AT::Ptr;
    v.p = value;
    return doSet(panel, control, attribute, v);
}
int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Arg v;
    int r = doGet(panel, control, attribute, AT::Int, v);
    if (r == 0) *value = v.i;
    return r;
}
int GetCtrlAttribute(int panel, int control, int attribute, double *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Arg v;
    int r = doGet(panel, control, attribute, AT::Dbl, v);
    if (r == 0) *value = v.d;
    return r;
}
int GetCtrlAttribute(int panel, int control, int attribute, void **value) {
    if (!value) return RT_ERR_NULL_POINTER;
    Arg v;
    int r = doGet(panel, control, attribute, AT::Ptr, v);
    if (r == 0) *value = v.p;
    return r;
}
int GetCtrlAttribute(int panel, int control, int attribute, char *buffer, size_t bufferSize) {
    if (!buffer) return RT_ERR_NULL_POINTER;
    Arg v;
    int r = doGet(panel, control, attribute, AT::Str, v);
    return r == 0 ? copyOut(v.s, buffer, bufferSize) : r;
}
