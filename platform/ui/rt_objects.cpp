// The registry of panels, controls and menu bars, and their attributes by number.
// See platform/runtime.h for the entry points; rt_model.h for the records.
#include "platform/ui/rt_model.h"

#include <QApplication>
#include <QBackingStore>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstring>

namespace rt {

namespace {
int gNextHandle = 1;
std::map<int, std::unique_ptr<Panel>> gPanels;
std::map<int, std::unique_ptr<MenuBar>> gMenuBars;
} // namespace

int newHandle() {
    return gNextHandle++;
}
std::map<int, std::unique_ptr<Panel>> &panels() {
    return gPanels;
}
std::map<int, std::unique_ptr<MenuBar>> &menuBars() {
    return gMenuBars;
}
bool runtimeReady() {
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

Panel *findPanel(int handle) {
    auto it = gPanels.find(handle);
    return it == gPanels.end() ? nullptr : it->second.get();
}
MenuBar *findMenuBar(int handle) {
    auto it = gMenuBars.find(handle);
    return it == gMenuBars.end() ? nullptr : it->second.get();
}
Control *findControl(Panel &panel, int id) {
    for (auto &c : panel.controls)
        if (c->id == id) return c.get();
    return nullptr;
}
int lookup(int panel, int control, Panel **p, Control **c) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    *p = findPanel(panel);
    if (!*p) return RT_ERR_INVALID_PANEL;
    *c = findControl(**p, control);
    return *c ? 0 : RT_ERR_INVALID_CONTROL;
}

// The accepted styles are those of the localization capture's table; each renders as the
// nearest named kind at or below its number.
Kind kindOfStyle(int style, bool *known) {
    auto in = [style](int lo, int hi) { return style >= lo && style <= hi; };
    *known = in(100, 114) || style == 130 || style == 150 || style == 160 || style == 170 ||
             in(200, 204) || in(220, 235) || in(260, 263) || in(280, 285) || in(300, 318) ||
             style == 340 || in(380, 394) || style == 440 || style == 460 || style == 480 ||
             style == 490 || style == 500 || style == 510;
    if (style == 100) return Kind::Numeric;
    if (in(101, 111)) return Kind::NumericDisplay;
    if (in(112, 130)) return Kind::ProgressBar;
    if (style == 150) return Kind::String;
    if (style == 160) return Kind::TextMessage;
    if (style == 170) return Kind::TextBox;
    if (in(200, 230)) return Kind::Button;
    if (in(231, 263)) return Kind::Switch;
    if (in(280, 285)) return Kind::ToggleButton;
    if (in(300, 318)) return Kind::Ring;
    if (style == 340) return Kind::ListBox;
    if (in(380, 394)) return Kind::Decoration;
    if (style == 440) return Kind::Graph;
    if (style == 460) return Kind::StripChart;
    if (in(480, 500)) return Kind::Picture;
    if (style == 510) return Kind::Table;
    return Kind::Numeric;
}

int defaultDataType(Kind kind) {
    switch (kind) {
    case Kind::Numeric:
    case Kind::NumericDisplay:
    case Kind::ProgressBar:
        return VAL_DOUBLE;
    case Kind::String:
    case Kind::TextMessage:
    case Kind::TextBox:
        return VAL_STRING;
    default:
        return VAL_INTEGER;
    }
}

QSize defaultSize(Kind kind) {
    switch (kind) {
    case Kind::Numeric:
    case Kind::NumericDisplay:
        return {80, 22};
    case Kind::ProgressBar:
        return {200, 16};
    case Kind::String:
        return {160, 22};
    case Kind::TextMessage:
        return {60, 18};
    case Kind::TextBox:
        return {240, 100};
    case Kind::Button:
        return {90, 26};
    case Kind::Switch:
    case Kind::ToggleButton:
        return {80, 24};
    case Kind::Ring:
        return {120, 24};
    case Kind::ListBox:
        return {140, 100};
    case Kind::Decoration:
        return {120, 60};
    case Kind::Graph:
    case Kind::StripChart:
        return {300, 200};
    case Kind::Picture:
        return {120, 90};
    case Kind::Table:
        return {300, 150};
    }
    return {80, 22};
}

bool isListKind(Kind k) {
    return k == Kind::Ring || k == Kind::ListBox;
}
bool isTextKind(Kind k) {
    return k == Kind::String || k == Kind::TextMessage || k == Kind::TextBox;
}

QString fromC(const char *text) {
    return text ? QString::fromUtf8(text) : QString();
}
int utf8Length(const QString &text) {
    return static_cast<int>(text.toUtf8().size());
}

int copyOut(const QString &text, char *buffer, size_t size) {
    if (!buffer || size == 0) return RT_ERR_NULL_POINTER;
    QByteArray bytes = text.toUtf8();
    size_t n = std::min(static_cast<size_t>(bytes.size()), size - 1);
    // Never cut inside a UTF-8 sequence: step back over continuation bytes.
    if (n < static_cast<size_t>(bytes.size()))
        while (n > 0 &&
               (static_cast<unsigned char>(bytes[static_cast<qsizetype>(n)]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buffer, bytes.constData(), n);
    buffer[n] = '\0';
    return 0;
}

// ---- Labels ----------------------------------------------------------------------------------

QSize labelSize(const Control &c) {
    if (c.label.isEmpty()) return {0, 0};
    QFontMetrics fm(labelFont());
    const QStringList lines = c.label.split('\n');
    int w = 0;
    for (const QString &l : lines)
        w = std::max(w, fm.horizontalAdvance(l));
    return {w + kLabelEndRoom, static_cast<int>(lines.size()) * fm.height()};
}

QRect labelRect(const Control &c) {
    // Buttons show their label on their face, not beside them.
    if (c.kind == Kind::Button || c.kind == Kind::ToggleButton) return {};
    QSize s = labelSize(c);
    if (s.isEmpty()) return {};
    return {c.labelLeft, c.labelTop, s.width(), s.height()};
}

void placeLabel(Control &c) {
    QSize s = labelSize(c);
    if (c.labelLeftAuto) c.labelLeft = c.rect.left();
    if (c.labelTopCentred)
        c.labelTop = c.rect.top() + (c.rect.height() - s.height()) / 2;
    else if (c.labelTopAuto)
        c.labelTop = c.rect.top() - s.height() - kLabelGap;
}

// ---- Builders ---------------------------------------------------------------------------------

Panel *createPanel(int parent) {
    auto p = std::make_unique<Panel>();
    p->handle = newHandle();
    p->parent = parent;
    Panel *raw = p.get();
    gPanels[raw->handle] = std::move(p);
    if (Panel *pp = findPanel(parent)) pp->children.push_back(raw->handle);
    return raw;
}

Control *addControl(Panel &panel, int id, int style) {
    auto c = std::make_unique<Control>();
    c->id = id;
    c->style = style;
    bool known = false;
    c->kind = kindOfStyle(style, &known);
    c->dataType = defaultDataType(c->kind);
    c->precision = c->dataType == VAL_DOUBLE ? 2 : 0;
    c->rect = QRect(QPoint(0, 0), defaultSize(c->kind));
    if (c->kind == Kind::NumericDisplay || c->kind == Kind::Decoration ||
        c->kind == Kind::TextMessage || c->kind == Kind::ProgressBar || c->kind == Kind::Graph ||
        c->kind == Kind::StripChart)
        c->mode = MODE_INDICATOR;
    if (c->kind == Kind::ProgressBar) c->maxValue = 100, c->minValue = 0;
    Control *raw = c.get();
    panel.controls.push_back(std::move(c));
    panel.nextCtrlId = std::max(panel.nextCtrlId, id + 1);
    return raw;
}

MenuBar *createMenuBar(int panel) {
    auto m = std::make_unique<MenuBar>();
    m->handle = newHandle();
    m->panel = panel;
    MenuBar *raw = m.get();
    gMenuBars[raw->handle] = std::move(m);
    return raw;
}

static void destroyMenuBar(int handle) {
    auto it = gMenuBars.find(handle);
    if (it == gMenuBars.end()) return;
    std::unique_ptr<MenuBar> m = std::move(it->second);
    gMenuBars.erase(it);
    if (Panel *p = findPanel(m->panel))
        if (p->menuBar == handle) p->menuBar = 0;
    if (m->widget) {
        m->widget->hide();
        m->widget->deleteLater();
    }
}

void destroyPanel(int handle) {
    Panel *p = findPanel(handle);
    if (!p) return;
    std::vector<int> children = p->children;
    for (int child : children)
        destroyPanel(child);
    if (p->menuBar) destroyMenuBar(p->menuBar);
    forgetPanel(handle);
    if (Panel *pp = findPanel(p->parent)) std::erase(pp->children, handle);
    auto it = gPanels.find(handle);
    std::unique_ptr<Panel> owned = std::move(it->second);
    gPanels.erase(it);
    destroyPanelWidgets(*owned);
}

} // namespace rt

using namespace rt;

// ---- Panels -----------------------------------------------------------------------------------

int NewPanel(int parentPanel, const char *title, int top, int left, int height, int width) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (parentPanel != 0 && !findPanel(parentPanel)) return RT_ERR_INVALID_PANEL;
    if (height < 0 || width < 0) return RT_ERR_INVALID_VALUE;
    Panel *p = createPanel(parentPanel);
    p->title = fromC(title);
    p->name = QStringLiteral("PANEL");
    p->rect =
        QRect(left == VAL_AUTO_CENTER ? 0 : left, top == VAL_AUTO_CENTER ? 0 : top, width, height);
    p->positionSet = top != VAL_AUTO_CENTER && left != VAL_AUTO_CENTER;
    buildPanelWindow(*p);
    return p->handle;
}

void rt::drawPanelNow(const Panel &p) {
    QWidget *window = p.window ? p.window->window() : nullptr;
    if (!window || !window->isVisible()) return;
    QWindow *handle = window->windowHandle();
    if (!handle || !handle->handle() || !window->backingStore()) return;
    // Once the window system has exposed the window, Qt paints and puts it on the screen itself.
    if (handle->isExposed()) {
        window->repaint();
        return;
    }
    // Not exposed yet: Qt would wait for the expose, which only the event loop delivers.
    if (!window->testAttribute(Qt::WA_Mapped)) {
        // Just shown: let Qt paint it now as if it were on the screen. Its backing store then
        // holds the panel and is put on the screen at once, and the expose later only puts it
        // there again instead of painting it anew.
        window->setAttribute(Qt::WA_Mapped);
        window->repaint();
        // Showing the widgets queued an update of each, which this paint made moot; left queued,
        // they would paint the whole panel a second time.
        QCoreApplication::removePostedEvents(window, QEvent::UpdateLater);
        for (QWidget *child : window->findChildren<QWidget *>())
            if (child->window() == window) // a window of its own was not painted here
                QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
        return;
    }
    // Changed again before the expose: paint the whole window into its backing store and put it
    // on the screen ourselves. Pixels sent before the window manager has mapped the window are
    // lost, so every later call sends them again.
    QBackingStore *store = window->backingStore();
    const QRect area(QPoint(0, 0), window->size());
    if (store->size() != area.size()) store->resize(area.size());
    store->beginPaint(area);
    window->render(store->paintDevice(), QPoint(), area);
    store->endPaint();
    store->flush(area, handle);
}

int DisplayPanel(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    p->displayed = true;
    syncPanel(*p);
    if (p->window) {
        p->window->show();
        if (!p->parent) {
            raiseWindow(p->window);
        }
    }
    if (!p->parent) setActivePanel(panel);
    // A caller that keeps the event loop busy (a reception in progress) still sees the panel.
    drawPanelNow(*p);
    return 0;
}

int RT_DrawPanelNow(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    drawPanelNow(*p);
    return 0;
}

int HidePanel(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    p->displayed = false;
    if (p->window) p->window->hide();
    forgetPanel(panel);
    return 0;
}

int DiscardPanel(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (!findPanel(panel)) return RT_ERR_INVALID_PANEL;
    destroyPanel(panel);
    return 0;
}

int SetPanelPos(int panel, int top, int left) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    p->positionSet = top != VAL_AUTO_CENTER && left != VAL_AUTO_CENTER;
    if (top != VAL_AUTO_CENTER) p->rect.moveTop(top);
    if (left != VAL_AUTO_CENTER) p->rect.moveLeft(left);
    syncPanel(*p);
    return 0;
}

int InstallPanelCallback(int panel, PanelCallbackPtr function, void *callbackData) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    p->callback = function;
    p->callbackData = callbackData;
    return 0;
}

int GetPanelMenuBar(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    return p ? p->menuBar : RT_ERR_INVALID_PANEL;
}

int DiscardMenuBar(int menuBar) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (!findMenuBar(menuBar)) return RT_ERR_INVALID_MENU_BAR;
    rt::destroyMenuBar(menuBar);
    return 0;
}

namespace {

// Panel attributes: integer-valued ones first.
int panelIntAttr(Panel &p, int attribute, int *out) {
    switch (attribute) {
    case ATTR_CONSTANT_NAME_LENGTH:
        *out = utf8Length(p.name);
        return 0;
    case ATTR_LEFT:
        *out = p.rect.left();
        return 0;
    case ATTR_TOP:
        *out = p.rect.top();
        return 0;
    case ATTR_WIDTH:
        *out = p.rect.width();
        return 0;
    case ATTR_HEIGHT:
        *out = p.rect.height();
        return 0;
    case ATTR_BACKCOLOR:
        *out = p.backColor;
        return 0;
    case ATTR_TITLE_LENGTH:
        *out = utf8Length(p.title);
        return 0;
    case ATTR_WINDOW_STATE:
        *out = p.windowState;
        return 0;
    case ATTR_SIZABLE:
        *out = p.sizable ? 1 : 0;
        return 0;
    case ATTR_CLOSE_BOX_HIDDEN:
        *out = p.closeBoxHidden ? 1 : 0;
        return 0;
    case ATTR_VISIBLE:
        *out = p.displayed ? 1 : 0;
        return 0;
    case ATTR_PANEL_FIRST_CTRL:
        *out = p.controls.empty() ? 0 : p.controls.front()->id;
        return 0;
    }
    return RT_ERR_INVALID_ATTRIBUTE;
}

bool panelStringAttr(int attribute) {
    return attribute == ATTR_CONSTANT_NAME || attribute == ATTR_TITLE;
}

} // namespace

int SetPanelAttribute(int panel, int attribute, int value) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (panelStringAttr(attribute) || attribute == ATTR_CALLBACK_DATA) return RT_ERR_ATTRIBUTE_TYPE;
    switch (attribute) {
    case ATTR_LEFT:
        p->rect.moveLeft(value);
        p->positionSet = true;
        break;
    case ATTR_TOP:
        p->rect.moveTop(value);
        p->positionSet = true;
        break;
    case ATTR_WIDTH:
        if (value < 0) return RT_ERR_INVALID_VALUE;
        p->rect.setWidth(value);
        break;
    case ATTR_HEIGHT:
        if (value < 0) return RT_ERR_INVALID_VALUE;
        p->rect.setHeight(value);
        break;
    case ATTR_BACKCOLOR:
        if (value < 0 || value > 0xFFFFFF) return RT_ERR_INVALID_VALUE;
        p->backColor = value;
        break;
    case ATTR_WINDOW_STATE:
        if (value < 0 || value > 2) return RT_ERR_INVALID_VALUE;
        p->windowState = value;
        break;
    case ATTR_SIZABLE:
        p->sizable = value != 0;
        break;
    case ATTR_CLOSE_BOX_HIDDEN:
        p->closeBoxHidden = value != 0;
        break;
    default: {
        int dummy;
        return panelIntAttr(*p, attribute, &dummy) == 0 ? RT_ERR_READ_ONLY
                                                        : RT_ERR_INVALID_ATTRIBUTE;
    }
    }
    syncPanel(*p);
    return 0;
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (!panelStringAttr(attribute)) {
        int dummy;
        return panelIntAttr(*p, attribute, &dummy) == 0 || attribute == ATTR_CALLBACK_DATA
                   ? RT_ERR_ATTRIBUTE_TYPE
                   : RT_ERR_INVALID_ATTRIBUTE;
    }
    if (!value) return RT_ERR_NULL_POINTER;
    if (attribute == ATTR_TITLE)
        p->title = fromC(value);
    else
        p->name = fromC(value);
    syncPanel(*p);
    return 0;
}

int SetPanelAttribute(int panel, int attribute, void *value) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (attribute != ATTR_CALLBACK_DATA) {
        int dummy;
        return panelIntAttr(*p, attribute, &dummy) == 0 || panelStringAttr(attribute)
                   ? RT_ERR_ATTRIBUTE_TYPE
                   : RT_ERR_INVALID_ATTRIBUTE;
    }
    p->callbackData = value;
    return 0;
}

int GetPanelAttribute(int panel, int attribute, int *value) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (!value) return RT_ERR_NULL_POINTER;
    if (panelStringAttr(attribute) || attribute == ATTR_CALLBACK_DATA) return RT_ERR_ATTRIBUTE_TYPE;
    return panelIntAttr(*p, attribute, value);
}

int GetPanelAttribute(int panel, int attribute, void **value) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (!value) return RT_ERR_NULL_POINTER;
    if (attribute != ATTR_CALLBACK_DATA) {
        int dummy;
        return panelIntAttr(*p, attribute, &dummy) == 0 || panelStringAttr(attribute)
                   ? RT_ERR_ATTRIBUTE_TYPE
                   : RT_ERR_INVALID_ATTRIBUTE;
    }
    *value = p->callbackData;
    return 0;
}

int GetPanelAttribute(int panel, int attribute, char *buffer, size_t bufferSize) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (!panelStringAttr(attribute)) {
        int dummy;
        return panelIntAttr(*p, attribute, &dummy) == 0 || attribute == ATTR_CALLBACK_DATA
                   ? RT_ERR_ATTRIBUTE_TYPE
                   : RT_ERR_INVALID_ATTRIBUTE;
    }
    return copyOut(attribute == ATTR_TITLE ? p->title : p->name, buffer, bufferSize);
}

// ---- Menu bars --------------------------------------------------------------------------------

namespace {

int menuNode(int menuBar, int itemId, MenuBar **m, MenuNode **n) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    *m = findMenuBar(menuBar);
    if (!*m) return RT_ERR_INVALID_MENU_BAR;
    *n = nullptr;
    if (itemId == 0) return 0;
    auto it = (*m)->nodes.find(itemId);
    if (it == (*m)->nodes.end()) return RT_ERR_INVALID_MENU_ITEM;
    *n = &it->second;
    return 0;
}

int firstChild(const MenuNode &n) {
    return n.children.empty() ? 0 : n.children.front();
}

int nextSibling(const MenuBar &m, const MenuNode &n) {
    const std::vector<int> *siblings = &m.menus;
    if (n.parent) siblings = &m.nodes.at(n.parent).children;
    auto it = std::find(siblings->begin(), siblings->end(), n.id);
    if (it == siblings->end() || ++it == siblings->end()) return 0;
    return *it;
}

bool isMenuLike(const MenuNode &n) {
    return n.kind == MenuNodeKind::Menu || n.kind == MenuNodeKind::Submenu;
}

// Integer attributes of a node; *readOnly tells whether setting it is refused.
int menuIntAttr(const MenuBar &m, const MenuNode *n, int attribute, int *out) {
    if (!n) {
        switch (attribute) {
        case ATTR_CONSTANT_NAME_LENGTH:
            *out = utf8Length(m.name);
            return 0;
        case ATTR_FIRST_MENU_ID:
            *out = m.menus.empty() ? 0 : m.menus.front();
            return 0;
        }
        return RT_ERR_INVALID_ATTRIBUTE;
    }
    switch (attribute) {
    case ATTR_CONSTANT_NAME_LENGTH:
        *out = utf8Length(n->name);
        return 0;
    case ATTR_DIMMED:
        *out = n->dimmed ? 1 : 0;
        return 0;
    }
    if (isMenuLike(*n)) {
        switch (attribute) {
        case ATTR_MENU_NAME_LENGTH:
            *out = utf8Length(n->text);
            return 0;
        case ATTR_NUM_MENU_ITEMS:
            *out = static_cast<int>(n->children.size());
            return 0;
        case ATTR_FIRST_ITEM_ID:
            *out = firstChild(*n);
            return 0;
        case ATTR_NEXT_MENU_ID:
            if (n->kind != MenuNodeKind::Menu) break;
            *out = nextSibling(m, *n);
            return 0;
        }
        return RT_ERR_INVALID_ATTRIBUTE;
    }
    switch (attribute) {
    case ATTR_ITEM_NAME_LENGTH:
        *out = utf8Length(n->text);
        return 0;
    case ATTR_MENU_ITEM_IS_SEPARATOR:
        *out = n->kind == MenuNodeKind::Separator ? 1 : 0;
        return 0;
    case ATTR_SUBMENU_ID:
        *out = n->submenu;
        return 0;
    case ATTR_NEXT_ITEM_ID:
        *out = nextSibling(m, *n);
        return 0;
    }
    return RT_ERR_INVALID_ATTRIBUTE;
}

// The string attribute a node answers to: 501 everywhere, 1060 on menus, 1042 on items.
bool menuStringAttr(const MenuNode *n, int attribute) {
    if (attribute == ATTR_CONSTANT_NAME) return true;
    if (!n) return false;
    return attribute == (isMenuLike(*n) ? ATTR_MENU_NAME : ATTR_ITEM_NAME);
}

} // namespace

int SetMenuBarAttribute(int menuBar, int itemId, int attribute, int value) {
    MenuBar *m;
    MenuNode *n;
    if (int r = menuNode(menuBar, itemId, &m, &n)) return r;
    if (menuStringAttr(n, attribute)) return RT_ERR_ATTRIBUTE_TYPE;
    if (n && attribute == ATTR_DIMMED) {
        n->dimmed = value != 0;
        syncMenuNode(*m, *n);
        return 0;
    }
    int dummy;
    return menuIntAttr(*m, n, attribute, &dummy) == 0 ? RT_ERR_READ_ONLY : RT_ERR_INVALID_ATTRIBUTE;
}

int SetMenuBarAttribute(int menuBar, int itemId, int attribute, const char *value) {
    MenuBar *m;
    MenuNode *n;
    if (int r = menuNode(menuBar, itemId, &m, &n)) return r;
    if (!menuStringAttr(n, attribute)) {
        int dummy;
        return menuIntAttr(*m, n, attribute, &dummy) == 0 ? RT_ERR_ATTRIBUTE_TYPE
                                                          : RT_ERR_INVALID_ATTRIBUTE;
    }
    if (!value) return RT_ERR_NULL_POINTER;
    if (!n) {
        m->name = fromC(value);
        return 0;
    }
    if (attribute == ATTR_CONSTANT_NAME)
        n->name = fromC(value);
    else
        n->text = fromC(value);
    syncMenuNode(*m, *n);
    return 0;
}

int GetMenuBarAttribute(int menuBar, int itemId, int attribute, int *value) {
    MenuBar *m;
    MenuNode *n;
    if (int r = menuNode(menuBar, itemId, &m, &n)) return r;
    if (!value) return RT_ERR_NULL_POINTER;
    if (menuStringAttr(n, attribute)) return RT_ERR_ATTRIBUTE_TYPE;
    return menuIntAttr(*m, n, attribute, value);
}

int GetMenuBarAttribute(int menuBar, int itemId, int attribute, char *buffer, size_t bufferSize) {
    MenuBar *m;
    MenuNode *n;
    if (int r = menuNode(menuBar, itemId, &m, &n)) return r;
    if (!menuStringAttr(n, attribute)) {
        int dummy;
        return menuIntAttr(*m, n, attribute, &dummy) == 0 ? RT_ERR_ATTRIBUTE_TYPE
                                                          : RT_ERR_INVALID_ATTRIBUTE;
    }
    if (!n) return copyOut(m->name, buffer, bufferSize);
    return copyOut(attribute == ATTR_CONSTANT_NAME ? n->name : n->text, buffer, bufferSize);
}

int InstallMenuCallback(int menuBar, int menuOrItemId, MenuCallbackPtr function,
                        void *callbackData) {
    MenuBar *m;
    MenuNode *n;
    if (int r = menuNode(menuBar, menuOrItemId, &m, &n)) return r;
    if (!n) return RT_ERR_INVALID_MENU_ITEM;
    n->callback = function;
    n->callbackData = callbackData;
    return 0;
}

// ---- Controls ---------------------------------------------------------------------------------

int NewCtrl(int panel, int style, const char *label, int top, int left) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    bool known = false;
    kindOfStyle(style, &known);
    if (!known) return RT_ERR_UNKNOWN_STYLE;
    Control *c = addControl(*p, p->nextCtrlId, style);
    c->name = QStringLiteral("CONTROL_%1").arg(c->id);
    c->label = fromC(label);
    c->rect.moveTo(left, top);
    if (c->kind == Kind::Button || c->kind == Kind::ToggleButton) {
        // A button shows its label on its face; size it to fit.
        QFontMetrics fm(controlFont(*c));
        c->rect.setWidth(std::max(c->rect.width(), fm.horizontalAdvance(c->label) + 24));
    }
    placeLabel(*c);
    buildControlWidget(*p, *c);
    return c->id;
}

int DiscardCtrl(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (c->widget) c->widget->deleteLater();
    if (c->labelWidget) c->labelWidget->deleteLater();
    if (p->activeCtrl == control) p->activeCtrl = 0;
    std::erase_if(p->controls, [control](const auto &x) { return x->id == control; });
    return 0;
}

int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr function, void *callbackData) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    c->callback = function;
    c->callbackData = callbackData;
    return 0;
}

int SetActiveCtrl(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    p->activeCtrl = control;
    if (c->widget) c->widget->setFocus(Qt::OtherFocusReason);
    // Keystrokes sent by the program go to the panel whose active control was set last.
    setActivePanel(p->handle);
    return 0;
}

int GetActiveCtrl(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    return p->activeCtrl;
}

int GetCtrlBoundingRect(int panel, int control, int *top, int *left, int *height, int *width) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (!top || !left || !height || !width) return RT_ERR_NULL_POINTER;
    QRect r = c->rect;
    QRect l = labelRect(*c);
    if (!l.isEmpty()) r = r.united(l);
    *top = r.top();
    *left = r.left();
    *height = r.height();
    *width = r.width();
    return 0;
}
