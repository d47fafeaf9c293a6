// Control attributes by number: one table gives for each attribute the control kinds that have it,
// its value type, how it is read and, unless it is read-only, how it is set.
// See platform/runtime.h for the entry points; docs/ui-resource.md for the attribute table.
#include "platform/ui/rt_model.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

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

int yAxisIndex(const Control &c) {
    return c.kind == Kind::Graph && c.activeYAxis == 2 ? 2 : 1;
}

int nextCtrl(const Panel &p, const Control &c) {
    for (size_t i = 0; i < p.controls.size(); ++i)
        if (p.controls[i].get() == &c) return i + 1 < p.controls.size() ? p.controls[i + 1]->id : 0;
    return 0;
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

// ---- The attribute table ------------------------------------------------------------------------

// The value type of an attribute: fixed, or that of the control's value (a string for text
// controls, else an int or a double by the data type).
enum class VT { Int, Str, Ptr, OfValue };
// What the widgets need after a change.
enum class Refresh {
    None,       // nothing shows the attribute
    Sync,       // the control and its label are synchronised
    PlaceLabel, // the automatic label position is recomputed first
    Rebuild,    // the control's widget is made anew
};

using Has = bool (*)(Kind);
using Getter = void (*)(const Panel &, const Control &, Arg &);
using Setter = int (*)(Control &, const Arg &); // 0 or an error code; nothing changed on error

struct AttrDef {
    int number;
    VT type;
    Has has; // the controls that have it; null: all
    Refresh refresh;
    Getter get;
    Setter set; // null: read-only
};

bool hasText(Kind k) {
    return k != Kind::Decoration && k != Kind::Picture;
}
bool hasValueText(Kind k) {
    return isTextKind(k) || numericKind(k);
}
bool isTextMessage(Kind k) {
    return k == Kind::TextMessage;
}
bool isProgressBar(Kind k) {
    return k == Kind::ProgressBar;
}
bool isTextEntry(Kind k) {
    return k == Kind::TextBox || k == Kind::String;
}
bool hasOnOff(Kind k) {
    return k == Kind::Switch || k == Kind::ToggleButton;
}
bool hasShortcut(Kind k) {
    return k == Kind::Button || k == Kind::ToggleButton;
}
bool hasAxes(Kind k) {
    return k == Kind::Graph || k == Kind::StripChart;
}
bool isGraph(Kind k) {
    return k == Kind::Graph;
}

// Getters and setters of plain members.
template <auto M> void getInt(const Panel &, const Control &c, Arg &v) {
    v.i = c.*M;
}
template <auto M> void getText(const Panel &, const Control &c, Arg &v) {
    v.s = c.*M;
}
template <auto M> void getLength(const Panel &, const Control &c, Arg &v) {
    v.i = utf8Length(c.*M);
}
template <auto M> void getNumber(const Panel &, const Control &c, Arg &v) {
    v.d = c.*M, v.i = static_cast<int>(c.*M);
}
template <auto M> int setText(Control &c, const Arg &v) {
    c.*M = v.s;
    return 0;
}
template <auto M> int setInt(Control &c, const Arg &v) {
    c.*M = v.i;
    return 0;
}
template <auto M> int setFlag(Control &c, const Arg &v) {
    c.*M = v.i != 0;
    return 0;
}
template <auto M> int setNumber(Control &c, const Arg &v) {
    c.*M = v.type == AT::Int ? v.i : v.d;
    return 0;
}
template <auto M, int Min, int Max> int setInRange(Control &c, const Arg &v) {
    if (v.i < Min || v.i > Max) return RT_ERR_INVALID_VALUE;
    c.*M = v.i;
    return 0;
}
template <auto M> int setColor(Control &c, const Arg &v) {
    if (!validColor(v.i)) return RT_ERR_INVALID_VALUE;
    c.*M = v.i;
    return 0;
}
template <int Axis> void getAxisName(const Panel &, const Control &c, Arg &v) {
    v.s = c.axisName[Axis < 0 ? yAxisIndex(c) : Axis];
}
template <int Axis> void getAxisNameLength(const Panel &, const Control &c, Arg &v) {
    v.i = utf8Length(c.axisName[Axis < 0 ? yAxisIndex(c) : Axis]);
}
template <int Axis> int setAxisName(Control &c, const Arg &v) {
    c.axisName[Axis < 0 ? yAxisIndex(c) : Axis] = v.s;
    return 0;
}
constexpr int kActiveYAxis = -1;
// The control's own geometry; a size set by hand is kept when the widget is rebuilt.
template <auto Get> void getRect(const Panel &, const Control &c, Arg &v) {
    v.i = (c.rect.*Get)();
}
// A label placed explicitly keeps its offset from its control when the control moves (an
// automatic or centred label is placed anew anyway).
int shiftedBy(int position, int from, int to) {
    const long long shifted = static_cast<long long>(position) + to - from;
    return static_cast<int>(std::clamp<long long>(shifted, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}
int moveLeft(Control &c, const Arg &v) {
    if (!c.labelLeftAuto) c.labelLeft = shiftedBy(c.labelLeft, c.rect.left(), v.i);
    c.rect.moveLeft(v.i);
    return 0;
}
int moveTop(Control &c, const Arg &v) {
    if (!c.labelTopAuto && !c.labelTopCentred)
        c.labelTop = shiftedBy(c.labelTop, c.rect.top(), v.i);
    c.rect.moveTop(v.i);
    return 0;
}
template <auto Resize> int resizeRect(Control &c, const Arg &v) {
    if (v.i < 0) return RT_ERR_INVALID_VALUE;
    (c.rect.*Resize)(v.i);
    c.sizeSet = true;
    return 0;
} // the Y axis the graph has active

constexpr AttrDef kAttributes[] = {
    {ATTR_CONSTANT_NAME, VT::Str, nullptr, Refresh::None, getText<&Control::name>,
     setText<&Control::name>},
    {ATTR_CALLBACK_DATA, VT::Ptr, nullptr, Refresh::None,
     [](const Panel &, const Control &c, Arg &v) { v.p = c.callbackData; },
     [](Control &c, const Arg &v) -> int {
         c.callbackData = v.p;
         return 0;
     }},
    {ATTR_CONSTANT_NAME_LENGTH, VT::Int, nullptr, Refresh::None, getLength<&Control::name>,
     nullptr},
    {ATTR_LEFT, VT::Int, nullptr, Refresh::PlaceLabel, getRect<&QRect::left>, moveLeft},
    {ATTR_TOP, VT::Int, nullptr, Refresh::PlaceLabel, getRect<&QRect::top>, moveTop},
    {ATTR_WIDTH, VT::Int, nullptr, Refresh::PlaceLabel, getRect<&QRect::width>,
     resizeRect<&QRect::setWidth>},
    {ATTR_HEIGHT, VT::Int, nullptr, Refresh::PlaceLabel, getRect<&QRect::height>,
     resizeRect<&QRect::setHeight>},
    {ATTR_CTRL_STYLE, VT::Int, nullptr, Refresh::None, getInt<&Control::style>, nullptr},
    {ATTR_NEXT_CTRL, VT::Int, nullptr, Refresh::None,
     [](const Panel &p, const Control &c, Arg &v) { v.i = nextCtrl(p, c); }, nullptr},
    {ATTR_VISIBLE, VT::Int, nullptr, Refresh::Sync, getInt<&Control::visible>,
     setFlag<&Control::visible>},
    {ATTR_DIMMED, VT::Int, nullptr, Refresh::Sync, getInt<&Control::dimmed>,
     setFlag<&Control::dimmed>},
    {ATTR_CTRL_MODE, VT::Int, nullptr, Refresh::Sync, getInt<&Control::mode>,
     setInRange<&Control::mode, MODE_NORMAL, MODE_VALIDATE>},
    {ATTR_LABEL_TEXT, VT::Str, nullptr, Refresh::PlaceLabel, getText<&Control::label>,
     setText<&Control::label>},
    {ATTR_LABEL_TEXT_LENGTH, VT::Int, nullptr, Refresh::None, getLength<&Control::label>, nullptr},
    {ATTR_LABEL_LEFT, VT::Int, nullptr, Refresh::PlaceLabel, getInt<&Control::labelLeft>,
     [](Control &c, const Arg &v) -> int {
         c.labelLeft = v.i, c.labelLeftAuto = false;
         return 0;
     }},
    {ATTR_LABEL_TOP, VT::Int, nullptr, Refresh::PlaceLabel, getInt<&Control::labelTop>,
     [](Control &c, const Arg &v) -> int {
         c.labelTopAuto = false;
         c.labelTopCentred = v.i == VAL_AUTO_CENTER;
         if (!c.labelTopCentred) c.labelTop = v.i;
         return 0;
     }},
    {ATTR_LABEL_WIDTH, VT::Int, nullptr, Refresh::None,
     [](const Panel &, const Control &c, Arg &v) { v.i = labelSize(c).width(); }, nullptr},
    {ATTR_LABEL_HEIGHT, VT::Int, nullptr, Refresh::None,
     [](const Panel &, const Control &c, Arg &v) { v.i = labelSize(c).height(); }, nullptr},
    {ATTR_TEXT_FONT, VT::Str, hasText, Refresh::PlaceLabel,
     [](const Panel &, const Control &c, Arg &v) {
         v.s = c.font.isEmpty() ? controlFont(c).family() : c.font;
     },
     setText<&Control::font>},
    {ATTR_TEXT_POINT_SIZE, VT::Int, hasText, Refresh::Sync,
     [](const Panel &, const Control &c, Arg &v) { v.i = controlFont(c).pointSize(); },
     setInRange<&Control::pointSize, 0, 500>},
    {ATTR_TEXT_BGCOLOR, VT::Int, hasText, Refresh::Sync,
     [](const Panel &, const Control &c, Arg &v) {
         v.i = c.textBgColor == kThemeColor ? 0xFFFFFF : c.textBgColor;
     },
     setColor<&Control::textBgColor>},
    {ATTR_TEXT_COLOR, VT::Int, hasText, Refresh::Sync,
     [](const Panel &, const Control &c, Arg &v) {
         v.i = c.textColor == kThemeColor ? 0 : c.textColor;
     },
     setColor<&Control::textColor>},
    {ATTR_TEXT_BOLD, VT::Int, hasText, Refresh::Sync, getInt<&Control::bold>,
     setFlag<&Control::bold>},
    {ATTR_TEXT_JUSTIFY, VT::Int, hasText, Refresh::Sync, getInt<&Control::align>,
     setInRange<&Control::align, 0, 2>},
    {ATTR_DFLT_VALUE, VT::OfValue, hasValueText, Refresh::Sync,
     [](const Panel &, const Control &c, Arg &v) {
         v.s = c.dflt.text;
         v.d = c.dflt.number;
         v.i = static_cast<int>(c.dflt.number);
     },
     // Setting the default value of a text control also shows it: it is the text the control
     // has after loading and after a reset.
     [](Control &c, const Arg &v) -> int {
         if (isTextKind(c.kind)) {
             c.dflt.text = v.s;
             c.value.text = v.s;
             c.caret = static_cast<int>(v.s.size());
         } else {
             c.dflt.number = v.type == AT::Int ? v.i : v.d;
         }
         return 0;
     }},
    {ATTR_DFLT_VALUE_LENGTH, VT::Int, isTextKind, Refresh::None,
     [](const Panel &, const Control &c, Arg &v) { v.i = utf8Length(c.dflt.text); }, nullptr},
    {ATTR_SIZE_TO_TEXT, VT::Int, isTextMessage, Refresh::Rebuild, getInt<&Control::sizeToText>,
     setFlag<&Control::sizeToText>},
    {ATTR_DATA_TYPE, VT::Int, valueKind, Refresh::Sync, getInt<&Control::dataType>,
     [](Control &c, const Arg &v) -> int {
         if (v.i < VAL_CHAR || v.i > VAL_UNSIGNED_INTEGER) return RT_ERR_INVALID_VALUE;
         if (isTextKind(c.kind) ? v.i != VAL_STRING : (v.i == VAL_STRING && !isListKind(c.kind)))
             return RT_ERR_INVALID_VALUE;
         convertDataType(c, v.i);
         return 0;
     }},
    {ATTR_PRECISION, VT::Int, numericKind, Refresh::Sync, getInt<&Control::precision>,
     setInRange<&Control::precision, 0, 15>},
    {ATTR_MAX_VALUE, VT::OfValue, numericKind, Refresh::Sync, getNumber<&Control::maxValue>,
     setNumber<&Control::maxValue>},
    {ATTR_MIN_VALUE, VT::OfValue, numericKind, Refresh::Sync, getNumber<&Control::minValue>,
     setNumber<&Control::minValue>},
    {ATTR_SHOW_DIGITAL_DISPLAY, VT::Int, isProgressBar, Refresh::Sync,
     getInt<&Control::showDigital>, setFlag<&Control::showDigital>},
    {ATTR_PROGRESS_TEXT_PRECISION, VT::Int, isProgressBar, Refresh::Sync,
     getInt<&Control::progressPrecision>, setInRange<&Control::progressPrecision, 0, 6>},
    {ATTR_MARKER_STYLE, VT::Int, isProgressBar, Refresh::Sync, getInt<&Control::markerStyle>,
     setInRange<&Control::markerStyle, 0, 3>},
    {ATTR_MARKER_COUNT, VT::Int, isProgressBar, Refresh::Sync, getInt<&Control::markerCount>,
     setInRange<&Control::markerCount, 0, 100>},
    {ATTR_FILL_COLOR, VT::Int, isProgressBar, Refresh::Sync, getInt<&Control::fillColor>,
     [](Control &c, const Arg &v) -> int {
         if (!validColor(v.i) && v.i != kFillTheme) return RT_ERR_INVALID_VALUE;
         c.fillColor = v.i;
         return 0;
     }},
    {ATTR_TEXT_SELECTION_START, VT::Int, isTextEntry, Refresh::Sync, getInt<&Control::caret>,
     [](Control &c, const Arg &v) -> int {
         if (v.i < 0 || v.i > c.value.text.size()) return RT_ERR_INVALID_VALUE;
         c.caret = v.i;
         return 0;
     }},
    {ATTR_MAX_ENTRY_LENGTH, VT::Int, isTextEntry, Refresh::Sync, getInt<&Control::maxLength>,
     [](Control &c, const Arg &v) -> int {
         if (v.i < 0) return RT_ERR_INVALID_VALUE;
         c.maxLength = v.i;
         return 0;
     }},
    {ATTR_ON_TEXT, VT::Str, hasOnOff, Refresh::Sync, getText<&Control::onText>,
     setText<&Control::onText>},
    {ATTR_OFF_TEXT, VT::Str, hasOnOff, Refresh::Sync, getText<&Control::offText>,
     setText<&Control::offText>},
    {ATTR_ON_TEXT_LENGTH, VT::Int, hasOnOff, Refresh::None, getLength<&Control::onText>, nullptr},
    {ATTR_OFF_TEXT_LENGTH, VT::Int, hasOnOff, Refresh::None, getLength<&Control::offText>, nullptr},
    {ATTR_SHORTCUT_KEY, VT::Int, hasShortcut, Refresh::Sync, getInt<&Control::shortcutKey>,
     setInt<&Control::shortcutKey>},
    {ATTR_XNAME, VT::Str, hasAxes, Refresh::Sync, getAxisName<0>, setAxisName<0>},
    {ATTR_YNAME, VT::Str, hasAxes, Refresh::Sync, getAxisName<kActiveYAxis>,
     setAxisName<kActiveYAxis>},
    {ATTR_XNAME_LENGTH, VT::Int, hasAxes, Refresh::None, getAxisNameLength<0>, nullptr},
    {ATTR_YNAME_LENGTH, VT::Int, hasAxes, Refresh::None, getAxisNameLength<kActiveYAxis>, nullptr},
    {ATTR_ACTIVE_YAXIS, VT::Int, isGraph, Refresh::None, getInt<&Control::activeYAxis>,
     setInRange<&Control::activeYAxis, 1, 2>},
};

// The attribute's entry when control c has it, else null.
const AttrDef *findAttr(const Control &c, int number) {
    for (const AttrDef &a : kAttributes)
        if (a.number == number) return !a.has || a.has(c.kind) ? &a : nullptr;
    return nullptr;
}

AT typeOn(const AttrDef &a, const Control &c) {
    switch (a.type) {
    case VT::Int:
        return AT::Int;
    case VT::Str:
        return AT::Str;
    case VT::Ptr:
        return AT::Ptr;
    case VT::OfValue:
        return isTextKind(c.kind) ? AT::Str : typedNumber(c);
    }
    return AT::None;
}

int setAttr(Panel &p, Control &c, const AttrDef &a, const Arg &v) {
    if (int r = a.set(c, v)) return r;
    switch (a.refresh) {
    case Refresh::None:
        return 0;
    case Refresh::PlaceLabel:
        placeLabel(c);
        syncControl(p, c);
        break;
    case Refresh::Sync:
        syncControl(p, c);
        break;
    case Refresh::Rebuild:
        if (!c.sizeToText && !c.sizeSet && p.client) {
            // A scrolling text message made at run time fills the panel to the right and bottom,
            // keeping its left and top distances as margins.
            c.rect.setWidth(std::max(20, p.rect.width() - 2 * c.rect.left()));
            c.rect.setHeight(std::max(20, p.rect.height() - c.rect.top() - c.rect.left()));
        }
        rebuildControlWidget(p, c);
        break;
    }
    syncLabel(p, c);
    return 0;
}

int prepare(int panel, int control, int attribute, Panel **p, Control **c, const AttrDef **a,
            AT *type) {
    if (int r = lookup(panel, control, p, c)) return r;
    *a = findAttr(**c, attribute);
    if (!*a) return RT_ERR_INVALID_ATTRIBUTE;
    *type = typeOn(**a, **c);
    return 0;
}

int doSet(int panel, int control, int attribute, Arg v) {
    Panel *p;
    Control *c;
    const AttrDef *a;
    AT type;
    if (int r = prepare(panel, control, attribute, &p, &c, &a, &type)) return r;
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
    if (!a->set) return RT_ERR_READ_ONLY;
    return setAttr(*p, *c, *a, v);
}

int doGet(int panel, int control, int attribute, AT want, Arg &v) {
    Panel *p;
    Control *c;
    const AttrDef *a;
    AT type;
    if (int r = prepare(panel, control, attribute, &p, &c, &a, &type)) return r;
    const bool numeric = type == AT::Int || type == AT::Dbl;
    if (!(numeric && (want == AT::Int || want == AT::Dbl)) && type != want)
        return RT_ERR_ATTRIBUTE_TYPE;
    a->get(*p, *c, v);
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
