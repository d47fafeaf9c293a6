// Inside the UI run-time: the object records and the registry that owns them.
//
// Each panel, control and menu bar is a plain record that holds every attribute the contract
// exposes; the Qt widgets only render a record (rt_view.cpp) and report the operator's input
// back to it. Nothing outside platform/ includes this header.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

#include "platform/ui/runtime.h"

class QWidget;
class QLabel;
class QMenuBar;
class QMenu;
class QAction;

namespace rt {

// The widget family a style is rendered as; every accepted style maps to one.
enum class Kind {
    Numeric,
    NumericDisplay,
    ProgressBar,
    String,
    TextMessage,
    TextBox,
    Button,
    Switch,
    ToggleButton,
    Ring,
    ListBox,
    Decoration,
    Graph,
    StripChart,
    Picture,
    Table,
};

enum Mode { MODE_NORMAL = 1, MODE_INDICATOR = 2, MODE_HOT = 3, MODE_VALIDATE = 4 };

// Defaults of the look; geometry in pixels.
constexpr int kDefaultPanelBack = 0xF0F0F0;
constexpr int kThemeColor = RT_ITEM_COLOR_OWN; // "use the theme's colour"
constexpr int kFillTheme = 0x1000000;          // progress-bar fill value meaning the theme's colour
constexpr int kLabelGap = 2; // pixels between an auto-placed label and its control
// Room a label keeps free at the right end of its width (672), after its text: a label laid
// out to end where its control begins (left = control left - label width) still stands clear.
constexpr int kLabelEndRoom = 6;
constexpr int kMaxTableCells = 10000; // tables of this product are small; bounds memory and time

// A value of a typed slot: numbers are kept as double (exact for every 32-bit integer).
struct Value {
    double number = 0;
    QString text;
};

struct ListItem {
    QString label;
    Value value;
    // How a ring shows the item while it is chosen: its own colours (kThemeColor: the control's)
    // and a mark drawn before the label, so that the class of a value does not rest on colour
    // alone. Neither is localized text.
    int textColor = kThemeColor;
    int backColor = kThemeColor;
    QString mark;
};

// What a ring shows for its chosen item: the item's mark and label in the item's colours, else
// the control's, else the theme's (white and black, as on paper).
struct ItemLook {
    QString text;
    QColor back;
    QColor ink;
};

struct AxisItem {
    QString label;
    double value = 0;
};

enum CellType {
    CELL_STRING = 1,
    CELL_NUMERIC = 2,
    CELL_PICTURE = 3,
    CELL_RING = 4,
    CELL_BUTTON = 5
};
struct Cell {
    int type = CELL_STRING;
    QString text;      // string, ring and button cells
    double number = 0; // numeric cells
};

struct Control {
    int id = 0;
    int style = 0;
    Kind kind = Kind::Numeric;
    QString name;
    QRect rect;           // control body, panel coordinates
    bool sizeSet = false; // width/height given explicitly (text messages keep it)

    QString label;
    bool labelLeftAuto = true;    // follows the control until 670 is set
    bool labelTopAuto = true;     // follows the control until 671 is set
    bool labelTopCentred = false; // 671 = VAL_AUTO_CENTER: re-centred whenever the control moves
    int labelLeft = 0;
    int labelTop = 0;

    int mode = MODE_NORMAL;
    int dataType = VAL_INTEGER;
    Value value; // current value (strings, text boxes, text messages: value.text)
    Value dflt;  // default value (630)
    double minValue = -2147483648.0;
    double maxValue = 2147483647.0;
    int precision = 2;
    int maxLength = 0;
    int lines = 0;
    bool readOnly = false;
    bool visible = true;
    bool dimmed = false;
    int caret = 0; // text box / string caret, in QString positions
    bool sizeToText = true;

    std::vector<ListItem> items; // rings, list boxes
    int index = -1;              // selected item, -1 none

    QString onText = QStringLiteral("On");
    QString offText = QStringLiteral("Off");

    QString axisName[3]; // X, left Y, right Y
    std::vector<AxisItem> axisItems[3];
    int activeYAxis = 1;

    QStringList rowLabels;
    QStringList columnLabels;
    std::vector<Cell> cells; // column-major: (column - 1) * rows + (row - 1)

    QImage image;
    QString imagePath;

    int textBgColor = kThemeColor;
    int textColor = kThemeColor;
    QString font;
    int pointSize = 0; // 0: the theme's
    bool bold = false;
    int align = 0; // 0 left, 1 centre, 2 right

    bool showDigital = true;
    int progressPrecision = 0;
    int markerStyle = 0;
    int markerCount = 0;
    int fillColor = kFillTheme;
    int shortcutKey = 0;

    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;

    QPointer<QWidget> widget;
    QPointer<QLabel> labelWidget;
};

struct Panel {
    int handle = 0;
    int parent = 0;
    int resourceId = 0;
    QString name;
    QString title;
    QRect rect; // top-left: screen (top level) or parent client position; size: client size
    bool positionSet = false;
    int backColor = kDefaultPanelBack;
    bool sizable = false;
    bool closeBoxHidden = false;
    int windowState = 0;
    PanelCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    int menuBar = 0;
    int activeCtrl = 0;
    int defaultCtrl = 0; // pressed by Enter; 0: none
    int cancelCtrl = 0;  // pressed by Escape and the close box; 0: none
    bool displayed = false;
    std::vector<std::unique_ptr<Control>> controls; // control order (612 / 613)
    int nextCtrlId = 2;
    std::vector<int> children;

    QPointer<QWidget> window; // top level: the window; child: the frame inside the parent
    QPointer<QWidget> client; // controls live here
};

enum class MenuNodeKind { Menu, Item, Separator, Submenu };
struct MenuNode {
    int id = 0;
    MenuNodeKind kind = MenuNodeKind::Item;
    QString name;
    QString text;
    QString shortcut;
    int parent = 0;  // menu, submenu or item id the node hangs under (0: the bar)
    int submenu = 0; // items: the id of their submenu, 0 none
    std::vector<int> children;
    bool dimmed = false;
    bool checked = false;
    MenuCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    QPointer<QAction> action;
    QPointer<QMenu> menu;
};

struct MenuBar {
    int handle = 0;
    int panel = 0;
    int resourceId = 0;
    QString name;
    std::vector<int> menus;
    std::map<int, MenuNode> nodes;
    QPointer<QMenuBar> widget;
};

// ---- Registry -------------------------------------------------------------------------------

// One counter for panels and menu bars, so that a handle names one object for the whole run.
int newHandle();
Panel *findPanel(int handle);
MenuBar *findMenuBar(int handle);
Control *findControl(Panel &panel, int id);
// Looks up a panel and a control together; returns 0 or the error code for whichever is missing.
int lookup(int panel, int control, Panel **p, Control **c);
std::map<int, std::unique_ptr<Panel>> &panels();
std::map<int, std::unique_ptr<MenuBar>> &menuBars();
bool runtimeReady();

Kind kindOfStyle(int style, bool *known);
int defaultDataType(Kind kind);
QSize defaultSize(Kind kind);
bool isListKind(Kind kind);
bool isTextKind(Kind kind);

// Registry builders used by the loader and NewPanel / NewCtrl.
Panel *createPanel(int parent);
Control *addControl(Panel &panel, int id, int style);
MenuBar *createMenuBar(int panel);
void destroyPanel(int handle);

// ---- Values ----------------------------------------------------------------------------------

ItemLook chosenItemLook(const Control &c);

QString formatNumber(const Control &c, double v);
// Re-reads the value of a list control from its selected item.
void selectIndex(Control &c, int index);
int textLineCount(const QString &text);
int textLineOffset(const QString &text, int line); // -1 when the line does not exist

// ---- Label geometry --------------------------------------------------------------------------

QSize labelSize(const Control &c); // the text and the room after it; 0 x 0 for an empty label
QRect labelRect(const Control &c); // empty rect for an empty label; text drawn left-aligned in it
void placeLabel(Control &c);       // recompute auto positions after a move or text change

// ---- Rendering (rt_view.cpp) ------------------------------------------------------------------

void buildPanelWindow(Panel &p);
void buildControlWidget(Panel &p, Control &c);
void rebuildControlWidget(Panel &p, Control &c);
void syncControl(Panel &p, Control &c); // record -> widget, without events
void syncLabel(Panel &p, Control &c);
void syncPanel(Panel &p);
void buildMenuBarWidget(MenuBar &m, Panel &p);
void syncMenuNode(MenuBar &m, MenuNode &n);
void destroyPanelWidgets(Panel &p);
void raiseWindow(QWidget *window); // brings a window to the front where the platform can
// Paints the window holding the panel and puts it on the screen now, without processing any
// event (so no input is delivered); nothing for a panel that is not shown.
void drawPanelNow(const Panel &p);
QFont controlFont(const Control &c);
QFont labelFont();

// The panel drawn from its records (what printing puts on paper).
QImage renderPanelImage(const Panel &p);

// ---- Events (rt_events.cpp) -------------------------------------------------------------------

// Whether input may reach a panel now: with a popup up, only the top popup and its children.
bool inputAllowed(int panel);
void ctrlEvent(int panel, int control, int event, int data1 = 0, int data2 = 0);
void panelEvent(int panel, int event, int data1 = 0, int data2 = 0);
void menuCommit(int menuBar, int item);
void setActivePanel(int panel);
int activePanel();
void forgetPanel(int panel);   // popup stack, active panel
void popupInstalled(Panel &p); // the test seam's hook for scripted answers
int popupLevel(int panel);     // 1 = bottom of the popup stack, 0 = not a popup
int popupDepth();
int fakeBackspace(Panel &p, Control &c);

// ---- Resource ---------------------------------------------------------------------------------

int loadPanelFromResource(int parent, const char *file, int id);
int loadMenuBarFromResource(int panel, const char *file, int id);
QString resolveProgramPath(const char *file);

// Reads a picture file, whatever its name's suffix says: the format is taken from the content. A
// null image when it cannot be read.
QImage readImageFile(const QString &path);
int bindCallback(const QString &name, RT_CallbackKind kind, void **function);

// ---- Text helpers -----------------------------------------------------------------------------

// Copies a text into a caller's buffer as UTF-8, cut at a character boundary. 0 or an error.
int copyOut(const QString &text, char *buffer, size_t size);
QString fromC(const char *text);
int utf8Length(const QString &text);

} // namespace rt
