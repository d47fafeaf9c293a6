// Rendering: one Qt widget per control, drawn from its record, and the operator's input fed back
// into the record and on as run-time events. The records stay the one source of truth; a sync
// never sends events, so a program that sets a value does not hear its own change.
#include "platform/ui/rt_model.h"
#include "platform/ui/rt_style.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>
#include <memory>
#include <utility>

namespace rt {

QFont labelFont() {
    return QApplication::font();
}

QFont controlFont(const Control &c) {
    QFont f = QApplication::font();
    if (!c.font.isEmpty()) f.setFamily(c.font);
    if (c.pointSize > 0) f.setPointSize(c.pointSize);
    if (c.bold) f.setBold(true);
    return f;
}

namespace {

QColor rgb(int v) {
    return QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// Whether the operator's input may change this control now; refused input is undone by a sync.
bool acceptInput(int panel, int control) {
    Panel *p = findPanel(panel);
    if (!p) return false;
    Control *c = findControl(*p, control);
    if (!c || c->mode == MODE_INDICATOR || c->dimmed) return false;
    if (!inputAllowed(panel)) {
        syncControl(*p, *c);
        return false;
    }
    return true;
}

bool commitsOnChange(const Control &c) {
    return c.mode == MODE_HOT;
}

void claimKeyboard(QWidget *w);

// Keys that move the focus or answer the window: no control keeps them for itself.
bool isWindowKey(int key) {
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape ||
           key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Tracks focus so that the active control follows the operator, and keeps the operator's
// hands off controls in indicator mode without greying them out.
class InputWatch : public QObject {
  public:
    InputWatch(int panel, int control, QObject *parent)
        : QObject(parent), panel_(panel), control_(control) {}
    bool eventFilter(QObject *watched, QEvent *e) override {
        // Most events (paint, move, polish ...) are not input: decide on the type first, so a
        // large panel does not look its controls up for every event of every widget.
        switch (e->type()) {
        case QEvent::FocusIn:
            if (Panel *p = findPanel(panel_)) {
                p->activeCtrl = control_;
                setActivePanel(panel_);
            }
            return false;
        case QEvent::ShortcutOverride:
            // Comes first for every key, before the shortcuts are looked up.
            claimKeyboard(static_cast<QWidget *>(watched));
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto *k = static_cast<QKeyEvent *>(e);
            if (!isWindowKey(k->key())) return blocksOperator();
            // Tab and Shift+Tab leave a text box; with Ctrl or Alt held they put nothing into
            // it, so no tab character ever reaches a text typed by the operator.
            Panel *p = findPanel(panel_);
            Control *c = p ? findControl(*p, control_) : nullptr;
            return c && c->kind == Kind::TextBox &&
                   (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
                   (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return blocksOperator();
        default:
            return false;
        }
    }

  private:
    bool blocksOperator() const {
        Panel *p = findPanel(panel_);
        Control *c = p ? findControl(*p, control_) : nullptr;
        return c && c->mode == MODE_INDICATOR && !isTextKind(c->kind) && c->kind != Kind::Picture;
    }

    int panel_, control_;
};

// Graphs and strip charts: axes with their names and item labels.
class ChartWidget : public QWidget {
  public:
    ChartWidget(int panel, int control, QWidget *parent)
        : QWidget(parent), panel_(panel), control_(control) {}

  protected:
    void paintEvent(QPaintEvent *) override {
        Panel *p = findPanel(panel_);
        Control *c = p ? findControl(*p, control_) : nullptr;
        if (!c) return;
        QPainter g(this);
        g.fillRect(rect(), c->textBgColor == kThemeColor ? QColor(Qt::white) : rgb(c->textBgColor));
        g.setFont(controlFont(*c));
        const QFontMetrics fm(g.font());
        const int m = fm.height() + 6;
        const QRect plot =
            rect().adjusted(m + 24, 6, -(c->kind == Kind::Graph ? m + 24 : 8), -(2 * m));
        g.setPen(Qt::black);
        g.drawRect(plot);
        g.drawText(QRect(plot.left(), plot.bottom() + m, plot.width(), m), Qt::AlignCenter,
                   c->axisName[0]);
        g.save();
        g.translate(2, plot.center().y());
        g.rotate(-90);
        g.drawText(QRect(-plot.height() / 2, 0, plot.height(), m), Qt::AlignCenter, c->axisName[1]);
        g.restore();
        auto span = [](const std::vector<AxisItem> &items, double *lo, double *hi) {
            *lo = 0, *hi = 1;
            if (items.empty()) return;
            *lo = *hi = items.front().value;
            for (const auto &i : items)
                *lo = std::min(*lo, i.value), *hi = std::max(*hi, i.value);
            if (*hi <= *lo) *hi = *lo + 1;
        };
        double lo, hi;
        span(c->axisItems[0], &lo, &hi);
        for (const auto &i : c->axisItems[0]) {
            int x = plot.left() + static_cast<int>((i.value - lo) / (hi - lo) * plot.width());
            g.drawLine(x, plot.bottom(), x, plot.bottom() + 3);
            g.drawText(QRect(x - 40, plot.bottom() + 4, 80, m), Qt::AlignHCenter | Qt::AlignTop,
                       i.label);
        }
        for (int axis = 1; axis <= 2; ++axis) {
            span(c->axisItems[axis], &lo, &hi);
            for (const auto &i : c->axisItems[axis]) {
                int y =
                    plot.bottom() - static_cast<int>((i.value - lo) / (hi - lo) * plot.height());
                if (axis == 1)
                    g.drawText(QRect(0, y - m / 2, plot.left() - 3, m),
                               Qt::AlignRight | Qt::AlignVCenter, i.label);
                else
                    g.drawText(QRect(plot.right() + 3, y - m / 2, width() - plot.right() - 3, m),
                               Qt::AlignLeft | Qt::AlignVCenter, i.label);
            }
        }
        if (c->kind == Kind::Graph && !c->axisName[2].isEmpty()) {
            g.save();
            g.translate(width() - 2, plot.center().y());
            g.rotate(90);
            g.drawText(QRect(-plot.height() / 2, 0, plot.height(), m), Qt::AlignCenter,
                       c->axisName[2]);
            g.restore();
        }
    }

  private:
    int panel_, control_;
};

// Pictures: the image scaled to fit, keeping its aspect ratio; double clicks reach the callback.
class PictureWidget : public QWidget {
  public:
    PictureWidget(int panel, int control, QWidget *parent)
        : QWidget(parent), panel_(panel), control_(control) {}

  protected:
    void paintEvent(QPaintEvent *) override {
        Panel *p = findPanel(panel_);
        Control *c = p ? findControl(*p, control_) : nullptr;
        if (!c || c->image.isNull()) return;
        QPainter g(this);
        QSize s = c->image.size().scaled(size(), Qt::KeepAspectRatio);
        QRect target(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
        g.setRenderHint(QPainter::SmoothPixmapTransform);
        g.drawImage(target, c->image);
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override {
        if (!inputAllowed(panel_)) return;
        ctrlEvent(panel_, control_,
                  e->button() == Qt::RightButton ? EVENT_RIGHT_DOUBLE_CLICK
                                                 : EVENT_LEFT_DOUBLE_CLICK);
    }
    void mousePressEvent(QMouseEvent *e) override {
        if (!inputAllowed(panel_)) return;
        ctrlEvent(panel_, control_,
                  e->button() == Qt::RightButton ? EVENT_RIGHT_CLICK : EVENT_LEFT_CLICK);
    }

  private:
    int panel_, control_;
};

// Rings: a drop-down while the operator may choose; in indicator mode a read-out of the chosen
// item, framed like a number display, without arrow or list, in the item's colours and with its
// mark (see chosenItemLook).
class RingWidget : public QComboBox {
  public:
    RingWidget(int panel, int control, QWidget *parent)
        : QComboBox(parent), panel_(panel), control_(control) {}

    void showPopup() override {
        if (const Control *c = record(); c && c->mode == MODE_INDICATOR) return;
        QComboBox::showPopup();
    }

  protected:
    void paintEvent(QPaintEvent *e) override {
        const Control *c = record();
        if (!c || c->mode != MODE_INDICATOR) {
            QComboBox::paintEvent(e);
            return;
        }
        const ItemLook look = chosenItemLook(*c);
        QPainter g(this);
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
        frame.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
        frame.palette.setColor(QPalette::Base, look.back);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &g, this);
        const int inset = frame.lineWidth + kReadoutPadding;
        g.setFont(font());
        g.setPen(look.ink);
        g.drawText(rect().adjusted(inset, 0, -inset, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   look.text);
    }

  private:
    // Pixels between the frame and the text, as a line edit keeps them.
    static constexpr int kReadoutPadding = 2;

    const Control *record() const {
        Panel *p = findPanel(panel_);
        return p ? findControl(*p, control_) : nullptr;
    }

    int panel_, control_;
};

bool isButton(const Control &c) {
    return c.kind == Kind::Button || c.kind == Kind::ToggleButton;
}

// Presses a control for the operator: a button as if clicked, any other control commits.
void pressControl(int panel, int control) {
    Panel *p = findPanel(panel);
    Control *c = p ? findControl(*p, control) : nullptr;
    if (!c || !c->visible) return;
    if (auto *b = qobject_cast<QAbstractButton *>(c->widget.data()); b && isButton(*c)) {
        b->click(); // its own input path: refused when dimmed or in indicator mode
        return;
    }
    if (acceptInput(panel, control)) ctrlEvent(panel, control, EVENT_COMMIT);
}

struct PanelControl {
    int panel = 0;
    int control = 0;
    const Control *record = nullptr;
};

// The control of a panel (or of one of its child panels) that a widget belongs to.
PanelControl controlOfWidget(const Panel &p, const QWidget *w) {
    if (!w) return {};
    for (auto &c : p.controls)
        if (c->widget && (c->widget == w || c->widget->isAncestorOf(w)))
            return {p.handle, c->id, c.get()};
    for (int child : p.children)
        if (const Panel *cp = findPanel(child))
            if (PanelControl found = controlOfWidget(*cp, w); found.record) return found;
    return {};
}

// The window that should have the keyboard: the top popup, else the panel activated last, else
// the first panel on screen.
QWidget *keyboardHome() {
    auto usable = [](const Panel *p) {
        return p && !p->parent && p->displayed && p->window && p->window->isVisible();
    };
    const int depth = popupDepth();
    for (auto &[handle, p] : panels())
        if (depth > 0 && popupLevel(handle) == depth && usable(p.get())) return p->window;
    if (Panel *p = findPanel(activePanel()); usable(p)) return p->window;
    for (auto &[handle, p] : panels())
        if (usable(p.get())) return p->window;
    return nullptr;
}

// Qt can lose track of the active window when a window that had the keyboard goes away (a
// progress dialog shown and discarded within a moment, before the window manager has caught
// up): keys still arrive, but no window counts as active, so menu shortcuts stay dead until the
// operator clicks. While the program is the active one and its focus window is gone or hidden,
// the keyboard is given back to the window that should have it. Where the window manager moves
// the keyboard after that, the first key puts things right (claimKeyboard).
void returnKeyboard() {
    static bool pending = false;
    if (pending) return;
    pending = true;
    QTimer::singleShot(0, qApp, [] {
        pending = false;
        if (QGuiApplication::applicationState() != Qt::ApplicationActive) return;
        QWindow *focus = QGuiApplication::focusWindow();
        if (focus && focus->isVisible()) return;
        QWidget *home = keyboardHome();
        if (home && !home->isActiveWindow()) home->activateWindow();
    });
}

// The top-level panel a window shows, 0 for none.
int panelOfWindow(const QWidget *window) {
    for (auto &[handle, p] : panels())
        if (!p->parent && p->window == window) return handle;
    return 0;
}

// A key that arrives at the focused control of a window Qt does not count as active shows where
// the keyboard really is (see returnKeyboard). The window is made active at once, so that this
// very key finds its menu shortcut or menu mnemonic, and the window manager is asked to agree.
void claimKeyboard(QWidget *w) {
    QWidget *window = w ? w->window() : nullptr;
    if (!window || window->isActiveWindow() || !inputAllowed(panelOfWindow(window))) return;
    const QWidget *focused = window->focusWidget();
    if (!focused || (focused != w && !w->isAncestorOf(focused))) return;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(window); // the only way to tell Qt at once
    QT_WARNING_POP
    window->activateWindow();
}

void watchKeyboardHome() {
    static bool watching = false;
    if (watching) return;
    watching = true;
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [](QWindow *w) {
        if (w && !w->isVisible()) returnKeyboard();
    });
}

// The window of a top-level panel: the close box, window state and size reach the panel; Enter
// and Escape press its default and cancel controls.
class PanelWindow : public QWidget {
  public:
    explicit PanelWindow(int panel) : panel_(panel) {}

  protected:
    void closeEvent(QCloseEvent *e) override {
        // The run-time never closes a panel on its own: a panel with a cancel control answers
        // the close box with it, any other leaves the decision to its panel callback.
        e->ignore();
        if (!inputAllowed(panel_)) return;
        Panel *p = findPanel(panel_);
        if (p && p->cancelCtrl)
            pressControl(panel_, p->cancelCtrl);
        else
            panelEvent(panel_, EVENT_CLOSE);
    }
    void keyPressEvent(QKeyEvent *e) override {
        // Only keys the focused control left unused arrive here.
        const PanelControl target = keyTarget(*e);
        if (target.control) {
            e->accept();
            if (inputAllowed(target.panel)) pressControl(target.panel, target.control);
        } else {
            QWidget::keyPressEvent(e);
        }
    }
    void showEvent(QShowEvent *e) override {
        QWidget::showEvent(e);
        Panel *p = findPanel(panel_);
        if (!p || !p->defaultCtrl || p->activeCtrl) return;
        // A window with a default control opens with the focus on its first control in tab
        // order, unless that is a button: then on the default control, so that Enter presses
        // the default and not whichever button happens to come first.
        QWidget *start = nullptr;
        for (auto &c : p->controls) {
            QWidget *w = c->widget;
            if (!w || !c->visible || c->dimmed || !(w->focusPolicy() & Qt::TabFocus)) continue;
            start = w;
            if (isButton(*c))
                if (Control *d = findControl(*p, p->defaultCtrl); d && d->widget) start = d->widget;
            break;
        }
        if (start) start->setFocus(Qt::OtherFocusReason);
    }
    void hideEvent(QHideEvent *e) override {
        QWidget::hideEvent(e);
        if (QWindow *w = windowHandle(); w && w == QGuiApplication::focusWindow()) returnKeyboard();
    }
    void moveEvent(QMoveEvent *e) override {
        QWidget::moveEvent(e);
        // Only the operator's moves: the run-time's own placement is already in the record.
        Panel *p = findPanel(panel_);
        if (!p || !e->spontaneous() || p->rect.topLeft() == pos()) return;
        p->rect.moveTopLeft(pos());
        p->positionSet = true;
        panelEvent(panel_, EVENT_PANEL_MOVE);
    }
    void changeEvent(QEvent *e) override {
        QWidget::changeEvent(e);
        Panel *p = findPanel(panel_);
        if (!p) return;
        if (e->type() == QEvent::WindowStateChange) {
            const Qt::WindowStates s = windowState();
            const int state = (s & Qt::WindowMinimized) ? 1 : (s & Qt::WindowMaximized) ? 2 : 0;
            if (state != p->windowState) {
                p->windowState = state;
                panelEvent(panel_, EVENT_PANEL_SIZE);
            }
        } else if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
            setActivePanel(panel_);
        }
    }

  private:
    // The control Enter or Escape presses (control 0: none).
    PanelControl keyTarget(const QKeyEvent &e) const {
        const Panel *p = findPanel(panel_);
        if (!p || (e.modifiers() & ~Qt::KeypadModifier)) return {};
        if (e.key() == Qt::Key_Escape) return {panel_, p->cancelCtrl};
        if (e.key() != Qt::Key_Return && e.key() != Qt::Key_Enter) return {};
        const PanelControl focused = controlOfWidget(*p, QApplication::focusWidget());
        // Enter on a button presses that button; in a list box it has chosen the list's item.
        if (focused.record && isButton(*focused.record) && focused.record->mode != MODE_INDICATOR)
            return focused;
        if (focused.record && focused.record->kind == Kind::ListBox) return {};
        return {panel_, p->defaultCtrl};
    }

    int panel_;
};

class ClientArea : public QWidget {
  public:
    ClientArea(int panel, QWidget *parent) : QWidget(parent), panel_(panel) {}

  protected:
    void resizeEvent(QResizeEvent *e) override {
        QWidget::resizeEvent(e);
        Panel *p = findPanel(panel_);
        if (!p || !p->sizable || e->size() == p->rect.size()) return;
        p->rect.setSize(e->size());
        panelEvent(panel_, EVENT_PANEL_SIZE);
    }

  private:
    int panel_;
};

QString switchText(const Control &c) {
    return c.value.number != 0 ? c.onText : c.offText;
}

Qt::Alignment alignment(const Control &c) {
    return (c.align == 1   ? Qt::AlignHCenter
            : c.align == 2 ? Qt::AlignRight
                           : Qt::AlignLeft) |
           Qt::AlignVCenter;
}

QKeySequence shortcutOf(int key) {
    if (key == VAL_ESC_VKEY) return QKeySequence(Qt::Key_Escape);
    if (key > 0 && key < 0x80) return QKeySequence(QChar(key));
    return {};
}

void connectInput(Panel &p, Control &c, QWidget *w) {
    const int ph = p.handle, id = c.id;
    auto record = [ph, id]() -> Control * {
        Panel *pp = findPanel(ph);
        return pp ? findControl(*pp, id) : nullptr;
    };
    w->installEventFilter(new InputWatch(ph, id, w));
    switch (c.kind) {
    case Kind::Numeric: {
        auto *box = static_cast<QDoubleSpinBox *>(w);
        QObject::connect(box, &QDoubleSpinBox::valueChanged, box, [=](double v) {
            if (!acceptInput(ph, id)) return;
            Control *rc = record();
            rc->value.number =
                rc->dataType == VAL_DOUBLE || rc->dataType == VAL_FLOAT ? v : std::trunc(v);
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record() && commitsOnChange(*record())) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        // Enter in the entry field commits (a focus change alone does not).
        if (auto *edit = box->findChild<QLineEdit *>()) {
            QObject::connect(edit, &QLineEdit::returnPressed, box, [=] {
                box->interpretText();
                Control *rc = record();
                if (rc && !commitsOnChange(*rc) && acceptInput(ph, id))
                    ctrlEvent(ph, id, EVENT_COMMIT);
            });
        }
        break;
    }
    case Kind::String: {
        auto *edit = static_cast<QLineEdit *>(w);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [=](const QString &t) {
            if (!acceptInput(ph, id)) return;
            Control *rc = record();
            rc->value.text = t;
            rc->caret = edit->cursorPosition();
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record() && commitsOnChange(*record())) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        QObject::connect(edit, &QLineEdit::cursorPositionChanged, edit, [=](int, int now) {
            if (Control *rc = record()) rc->caret = now;
        });
        QObject::connect(edit, &QLineEdit::returnPressed, edit, [=] {
            if (acceptInput(ph, id)) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    case Kind::TextBox: {
        auto *edit = static_cast<QPlainTextEdit *>(w);
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [=] {
            if (!acceptInput(ph, id)) return;
            Control *rc = record();
            rc->value.text = edit->toPlainText();
            rc->caret = edit->textCursor().position();
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record() && commitsOnChange(*record())) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        QObject::connect(edit, &QPlainTextEdit::cursorPositionChanged, edit, [=] {
            if (Control *rc = record()) rc->caret = edit->textCursor().position();
        });
        break;
    }
    case Kind::Button: {
        auto *b = static_cast<QPushButton *>(w);
        QObject::connect(b, &QPushButton::clicked, b, [=] {
            if (acceptInput(ph, id)) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    case Kind::ToggleButton:
    case Kind::Switch: {
        auto *b = static_cast<QAbstractButton *>(w);
        QObject::connect(b, &QAbstractButton::toggled, b, [=](bool on) {
            if (!acceptInput(ph, id)) return;
            Control *rc = record();
            rc->value.number = on ? 1 : 0;
            b->setText(switchText(*rc));
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record()) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    case Kind::Ring: {
        auto *box = static_cast<QComboBox *>(w);
        QObject::connect(box, &QComboBox::activated, box, [=](int i) {
            if (!acceptInput(ph, id)) return;
            record()->index = i;
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record()) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    case Kind::ListBox: {
        // The keys that move the selection only change it; a click on an item, Enter and a
        // double click choose it (a hot list commits on every change as well). A double click
        // whose first click has already chosen commits once.
        auto *list = static_cast<QListWidget *>(w);
        const bool clickActivates =
            list->style()->styleHint(QStyle::SH_ItemView_ActivateItemOnSingleClick, nullptr, list);
        auto doubleClicked = std::make_shared<bool>(false);
        QObject::connect(list, &QListWidget::currentRowChanged, list, [=](int i) {
            if (i < 0 || !acceptInput(ph, id)) return;
            record()->index = i;
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record() && commitsOnChange(*record())) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        QObject::connect(list, &QListWidget::itemClicked, list, [=] {
            Control *rc = record();
            if (!clickActivates && rc && !commitsOnChange(*rc) && acceptInput(ph, id))
                ctrlEvent(ph, id, EVENT_COMMIT);
        });
        if (!clickActivates)
            QObject::connect(list, &QListWidget::itemDoubleClicked, list,
                             [=] { *doubleClicked = true; });
        QObject::connect(list, &QListWidget::itemActivated, list, [=] {
            const bool byDoubleClick = std::exchange(*doubleClicked, false);
            Control *rc = record();
            if (byDoubleClick && rc && !commitsOnChange(*rc)) return;
            if (acceptInput(ph, id)) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    case Kind::Table: {
        auto *table = static_cast<QTableWidget *>(w);
        QObject::connect(table, &QTableWidget::itemChanged, table, [=](QTableWidgetItem *item) {
            if (!acceptInput(ph, id)) return;
            Control *rc = record();
            const int rows = static_cast<int>(rc->rowLabels.size());
            const size_t at = static_cast<size_t>(item->column() * rows + item->row());
            if (at >= rc->cells.size()) return;
            Cell &cell = rc->cells[at];
            if (cell.type == CELL_NUMERIC)
                cell.number = item->text().trimmed().toDouble();
            else
                cell.text = item->text();
            ctrlEvent(ph, id, EVENT_VAL_CHANGED);
            if (record()) ctrlEvent(ph, id, EVENT_COMMIT);
        });
        break;
    }
    default:
        break;
    }
}

QWidget *makeWidget(Panel &p, Control &c) {
    QWidget *parent = p.client;
    switch (c.kind) {
    case Kind::Numeric: {
        auto *box = new QDoubleSpinBox(parent);
        box->setKeyboardTracking(false);
        return box;
    }
    case Kind::NumericDisplay: {
        auto *e = new QLineEdit(parent);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    }
    case Kind::ProgressBar:
        return new QProgressBar(parent);
    case Kind::String:
        return new QLineEdit(parent);
    case Kind::TextMessage:
        if (c.sizeToText) {
            auto *l = new QLabel(parent);
            l->setTextFormat(Qt::PlainText);
            return l;
        } else {
            auto *e = new QPlainTextEdit(parent);
            e->setReadOnly(true);
            e->setFrameShape(QFrame::NoFrame);
            e->setTabChangesFocus(true);
            return e;
        }
    case Kind::TextBox: {
        auto *e = new QPlainTextEdit(parent);
        e->setTabChangesFocus(true);
        return e;
    }
    case Kind::Button:
        return new QPushButton(parent);
    case Kind::Switch:
        return new QCheckBox(parent);
    case Kind::ToggleButton: {
        auto *b = new QPushButton(parent);
        b->setCheckable(true);
        return b;
    }
    case Kind::Ring:
        return new RingWidget(p.handle, c.id, parent);
    case Kind::ListBox:
        return new QListWidget(parent);
    case Kind::Decoration: {
        auto *f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken);
        return f;
    }
    case Kind::Graph:
    case Kind::StripChart:
        return new ChartWidget(p.handle, c.id, parent);
    case Kind::Picture:
        return new PictureWidget(p.handle, c.id, parent);
    case Kind::Table:
        return new QTableWidget(parent);
    }
    return new QWidget(parent);
}

void applyColors(Control &c, QWidget *w) {
    // Theme colours need no palette of their own (a palette per widget costs time on big panels).
    if (c.textBgColor == kThemeColor && c.textColor == kThemeColor &&
        !w->testAttribute(Qt::WA_SetPalette))
        return;
    QPalette pal = QApplication::palette(w);
    if (c.textBgColor != kThemeColor) {
        pal.setColor(QPalette::Base, rgb(c.textBgColor));
        pal.setColor(QPalette::Button, rgb(c.textBgColor));
        if (c.kind == Kind::TextMessage) {
            pal.setColor(QPalette::Window, rgb(c.textBgColor));
            w->setAutoFillBackground(true);
        }
    }
    if (c.textColor != kThemeColor) {
        pal.setColor(QPalette::Text, rgb(c.textColor));
        pal.setColor(QPalette::WindowText, rgb(c.textColor));
        pal.setColor(QPalette::ButtonText, rgb(c.textColor));
    }
    w->setPalette(pal);
}

// The focus policy a widget was made with, kept for when its control leaves indicator mode.
constexpr char kOwnFocusPolicy[] = "rtOwnFocusPolicy";

// Tab visits the controls that take input. An indicator takes no focus, except a text that can
// be selected and copied (a click gives it the focus) or scrolled (Tab reaches it too).
Qt::FocusPolicy focusPolicyOf(const Control &c, const QWidget &w) {
    const auto own = static_cast<Qt::FocusPolicy>(w.property(kOwnFocusPolicy).toInt());
    if (c.mode != MODE_INDICATOR || own == Qt::NoFocus) return own;
    if (c.kind == Kind::TextMessage && !c.sizeToText) return own;
    return isTextKind(c.kind) ? Qt::ClickFocus : Qt::NoFocus;
}

// A widget made again goes back to its control's place in the tab order.
void keepTabPlace(Panel &p, Control &c) {
    QWidget *before = nullptr;
    for (auto &other : p.controls) {
        if (other.get() == &c) break;
        if (other->widget) before = other->widget;
    }
    if (before) QWidget::setTabOrder(before, c.widget);
}

} // namespace

// ---- Panels -----------------------------------------------------------------------------------

void buildPanelWindow(Panel &p) {
    if (!runtimeReady()) return;
    // Its widgets need the font configuration now.
    waitForFontConfiguration();
    Panel *parent = findPanel(p.parent);
    if (parent && parent->client) {
        auto *frame = new QFrame(parent->client);
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        p.window = frame;
        p.client = new ClientArea(p.handle, frame);
        auto *layout = new QVBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(p.client);
        frame->hide();
    } else {
        watchKeyboardHome();
        auto *window = new PanelWindow(p.handle);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        p.window = window;
        p.client = new ClientArea(p.handle, window);
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(p.client);
    }
    p.client->setAutoFillBackground(true);
    syncPanel(p);
}

namespace {

// Whether the operator can use the panel from the keyboard: a control on it that takes the
// focus, or one with a shortcut key (a button parked outside the panel that Escape presses).
bool takesKeyboard(const Panel &p) {
    const QRect area(QPoint(0, 0), p.rect.size());
    for (const auto &c : p.controls) {
        if (!c->widget || !c->visible || c->dimmed) continue;
        if (c->shortcutKey != 0) return true;
        if ((c->widget->focusPolicy() & Qt::TabFocus) && area.intersects(c->rect)) return true;
    }
    return false;
}

} // namespace

void syncPanel(Panel &p) {
    if (!p.window || !p.client) return;
    QPalette pal = p.client->palette();
    pal.setColor(QPalette::Window, rgb(p.backColor));
    p.client->setPalette(pal);
    if (p.sizable) {
        p.client->setMinimumSize(0, 0);
        p.client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        p.client->resize(p.rect.size());
    } else {
        p.client->setFixedSize(p.rect.size());
    }
    if (p.parent) {
        p.window->setGeometry(QRect(p.rect.topLeft(), p.rect.size() + QSize(2, 2)));
        p.window->setVisible(p.displayed);
        return;
    }
    p.window->setWindowTitle(p.title);
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint;
    if (!p.closeBoxHidden) flags |= Qt::WindowCloseButtonHint;
    if (p.sizable) flags |= Qt::WindowMaximizeButtonHint;
    if (p.closeBoxHidden) flags |= Qt::CustomizeWindowHint;
    // A popup with nothing the operator can type into or click (a progress dialog) leaves the
    // keyboard where it is: keys typed while it is up reach the control they were typed in once
    // the program takes input again, instead of vanishing into the popup.
    const bool keyless = popupLevel(p.handle) > 0 && !takesKeyboard(p);
    if (keyless) flags |= Qt::WindowDoesNotAcceptFocus;
    p.window->setAttribute(Qt::WA_ShowWithoutActivating, keyless);
    if (p.window->windowFlags() != flags) {
        const bool shown = p.window->isVisible();
        p.window->setWindowFlags(flags);
        if (shown) p.window->show();
    }
    p.window->adjustSize();
    if (p.positionSet) {
        p.window->move(p.rect.topLeft());
    } else if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        QSize size = p.window->size();
        p.window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    if (p.displayed) {
        const Qt::WindowStates want = p.windowState == 1   ? Qt::WindowMinimized
                                      : p.windowState == 2 ? Qt::WindowMaximized
                                                           : Qt::WindowNoState;
        if ((p.window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != want)
            p.window->setWindowState(want);
    }
}

void raiseWindow(QWidget *window) {
    // The offscreen platform has no window stack (and says so on every call).
    if (!window || QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    window->raise();
    window->activateWindow();
}

void destroyPanelWidgets(Panel &p) {
    if (p.window) {
        // Deleting the focus window leaves Qt with none, and says nothing.
        if (!p.parent) QObject::connect(p.window, &QObject::destroyed, qApp, returnKeyboard);
        p.window->hide();
        // Deleting later keeps a widget alive while one of its own signals is being delivered
        // (a button whose callback discards the panel).
        p.window->deleteLater();
    }
}

// ---- Controls ---------------------------------------------------------------------------------

void buildControlWidget(Panel &p, Control &c) {
    if (!p.client) return;
    QWidget *w = makeWidget(p, c);
    w->setProperty(kOwnFocusPolicy, static_cast<int>(w->focusPolicy()));
    c.widget = w;
    connectInput(p, c, w);
    syncControl(p, c);
    syncLabel(p, c);
    w->show();
}

void rebuildControlWidget(Panel &p, Control &c) {
    if (c.widget) c.widget->deleteLater();
    if (c.labelWidget) c.labelWidget->deleteLater();
    buildControlWidget(p, c);
    keepTabPlace(p, c);
}

void syncLabel(Panel &p, Control &c) {
    const bool onFace = c.kind == Kind::Button || c.kind == Kind::ToggleButton;
    const QRect r = labelRect(c);
    if (!c.labelWidget) {
        // Label widgets are made when there is something to show.
        if (onFace || r.isEmpty() || !p.client) return;
        auto *label = new QLabel(p.client);
        label->setTextFormat(Qt::PlainText);
        // From the left edge, as printing draws it: the room at the right end stays free.
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setIndent(0);
        label->setMargin(0);
        c.labelWidget = label;
    }
    if (c.labelWidget->text() != c.label) c.labelWidget->setText(c.label);
    c.labelWidget->setGeometry(r);
    c.labelWidget->setVisible(!onFace && !r.isEmpty() && c.visible);
}

void syncControl(Panel &p, Control &c) {
    QWidget *w = c.widget;
    if (!w) return;
    QSignalBlocker block(w);
    w->setGeometry(c.rect);
    w->setVisible(c.visible);
    w->setEnabled(!c.dimmed);
    w->setFocusPolicy(focusPolicyOf(c, *w));
    const QFont font = controlFont(c);
    if (w->font() != font) w->setFont(font);
    applyColors(c, w);
    switch (c.kind) {
    case Kind::Numeric: {
        auto *box = static_cast<QDoubleSpinBox *>(w);
        box->setDecimals(c.dataType == VAL_DOUBLE || c.dataType == VAL_FLOAT ? c.precision : 0);
        box->setRange(c.minValue, c.maxValue);
        box->setValue(c.value.number);
        box->setReadOnly(c.mode == MODE_INDICATOR);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    case Kind::NumericDisplay: {
        auto *e = static_cast<QLineEdit *>(w);
        e->setText(formatNumber(c, c.value.number));
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    case Kind::ProgressBar: {
        auto *bar = static_cast<QProgressBar *>(w);
        const double span = c.maxValue > c.minValue ? c.maxValue - c.minValue : 1;
        const double fraction = std::clamp((c.value.number - c.minValue) / span, 0.0, 1.0);
        bar->setRange(0, 10000);
        bar->setValue(static_cast<int>(fraction * 10000));
        bar->setTextVisible(c.showDigital);
        bar->setFormat(QString::number(fraction * 100, 'f', c.progressPrecision) + '%');
        if (c.fillColor != kFillTheme) {
            QPalette pal = bar->palette();
            pal.setColor(QPalette::Highlight, rgb(c.fillColor));
            bar->setPalette(pal);
        }
        break;
    }
    case Kind::String: {
        auto *e = static_cast<QLineEdit *>(w);
        if (e->text() != c.value.text) e->setText(c.value.text);
        e->setMaxLength(c.maxLength > 0 ? c.maxLength : 32767);
        e->setReadOnly(c.readOnly || c.mode == MODE_INDICATOR);
        e->setAlignment(alignment(c));
        e->setCursorPosition(std::clamp(c.caret, 0, static_cast<int>(c.value.text.size())));
        break;
    }
    case Kind::TextMessage:
        if (auto *l = qobject_cast<QLabel *>(w)) {
            l->setText(c.value.text);
            l->setAlignment(alignment(c));
            if (c.sizeToText && !c.sizeSet) {
                // Grows to fit its text; the record learns the size.
                QSize s = l->sizeHint();
                c.rect.setSize(s);
                l->setGeometry(c.rect);
            }
        } else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
            if (e->toPlainText() != c.value.text) e->setPlainText(c.value.text);
        }
        break;
    case Kind::TextBox: {
        auto *e = static_cast<QPlainTextEdit *>(w);
        if (e->toPlainText() != c.value.text) e->setPlainText(c.value.text);
        e->setReadOnly(c.readOnly || c.mode == MODE_INDICATOR);
        QTextCursor cursor = e->textCursor();
        const int caret = std::clamp(c.caret, 0, static_cast<int>(c.value.text.size()));
        if (cursor.position() != caret) {
            cursor.setPosition(caret);
            e->setTextCursor(cursor);
        }
        break;
    }
    case Kind::Button: {
        auto *b = static_cast<QPushButton *>(w);
        b->setText(c.label);
        b->setShortcut(shortcutOf(c.shortcutKey));
        b->setDefault(c.id == p.defaultCtrl); // drawn as the one Enter presses
        break;
    }
    case Kind::ToggleButton:
    case Kind::Switch: {
        auto *b = static_cast<QAbstractButton *>(w);
        b->setChecked(c.value.number != 0);
        b->setText(c.kind == Kind::ToggleButton && c.onText.isEmpty() && c.offText.isEmpty()
                       ? c.label
                       : switchText(c));
        if (c.kind == Kind::ToggleButton) b->setShortcut(shortcutOf(c.shortcutKey));
        break;
    }
    case Kind::Ring: {
        auto *box = static_cast<QComboBox *>(w);
        bool same = box->count() == static_cast<int>(c.items.size());
        for (int i = 0; same && i < box->count(); ++i)
            same = box->itemText(i) == c.items[static_cast<size_t>(i)].label;
        if (!same) {
            box->clear();
            for (const auto &item : c.items)
                box->addItem(item.label);
        }
        box->setCurrentIndex(c.index);
        box->update(); // a read-out draws from the record: mode and colours too
        break;
    }
    case Kind::ListBox: {
        auto *list = static_cast<QListWidget *>(w);
        bool same = list->count() == static_cast<int>(c.items.size());
        for (int i = 0; same && i < list->count(); ++i)
            same = list->item(i)->text() == c.items[static_cast<size_t>(i)].label;
        if (!same) {
            list->clear();
            for (const auto &item : c.items)
                list->addItem(item.label);
        }
        // Items with colours of their own show them on their rows (a result's verdict class).
        for (int i = 0; i < list->count(); ++i) {
            const ListItem &item = c.items[static_cast<size_t>(i)];
            QListWidgetItem *row = list->item(i);
            row->setData(Qt::ForegroundRole, item.textColor == kThemeColor
                                                 ? QVariant()
                                                 : QVariant(QBrush(rgb(item.textColor))));
            row->setData(Qt::BackgroundRole, item.backColor == kThemeColor
                                                 ? QVariant()
                                                 : QVariant(QBrush(rgb(item.backColor))));
        }
        list->setCurrentRow(c.index);
        break;
    }
    case Kind::Table: {
        auto *table = static_cast<QTableWidget *>(w);
        const int rows = static_cast<int>(c.rowLabels.size());
        const int cols = static_cast<int>(c.columnLabels.size());
        table->setRowCount(rows);
        table->setColumnCount(cols);
        table->setVerticalHeaderLabels(c.rowLabels);
        table->setHorizontalHeaderLabels(c.columnLabels);
        for (int col = 0; col < cols; ++col) {
            for (int row = 0; row < rows; ++row) {
                const Cell &cell = c.cells[static_cast<size_t>(col * rows + row)];
                const QString text =
                    cell.type == CELL_NUMERIC ? QString::number(cell.number, 'g', 15) : cell.text;
                QTableWidgetItem *item = table->item(row, col);
                if (!item) {
                    item = new QTableWidgetItem;
                    table->setItem(row, col, item);
                }
                if (item->text() != text) item->setText(text);
            }
        }
        table->setEditTriggers(c.mode == MODE_INDICATOR ? QAbstractItemView::NoEditTriggers
                                                        : QAbstractItemView::DoubleClicked |
                                                              QAbstractItemView::EditKeyPressed);
        break;
    }
    case Kind::Decoration:
    case Kind::Graph:
    case Kind::StripChart:
    case Kind::Picture:
        w->update();
        break;
    }
}

// ---- Menu bars --------------------------------------------------------------------------------

void syncMenuNode(MenuBar &, MenuNode &n) {
    if (n.menu) {
        n.menu->setTitle(n.text);
        n.menu->setEnabled(!n.dimmed);
    }
    if (n.action) {
        n.action->setText(n.text);
        n.action->setEnabled(!n.dimmed);
    }
}

void buildMenuBarWidget(MenuBar &m, Panel &p) {
    if (!p.window || p.parent) return;
    auto *bar = new QMenuBar(p.window);
    m.widget = bar;
    const int handle = m.handle;
    auto connectItem = [handle](QAction *action, int id) {
        QObject::connect(action, &QAction::triggered, action, [handle, id] {
            MenuBar *mb = findMenuBar(handle);
            if (mb && inputAllowed(mb->panel)) menuCommit(handle, id);
        });
    };
    std::function<void(QMenu *, MenuNode &)> fill = [&](QMenu *menu, MenuNode &node) {
        node.menu = menu;
        for (int childId : node.children) {
            MenuNode &child = m.nodes.at(childId);
            if (child.kind == MenuNodeKind::Separator) {
                child.action = menu->addSeparator();
                continue;
            }
            if (child.submenu) {
                QMenu *sub = menu->addMenu(child.text);
                child.action = sub->menuAction();
                fill(sub, m.nodes.at(child.submenu));
                continue;
            }
            QAction *action = menu->addAction(child.text);
            if (!child.shortcut.isEmpty()) action->setShortcut(QKeySequence(child.shortcut));
            child.action = action;
            connectItem(action, child.id);
        }
    };
    for (int id : m.menus) {
        MenuNode &menu = m.nodes.at(id);
        if (menu.children.empty()) {
            QAction *action = bar->addAction(menu.text);
            menu.action = action;
            connectItem(action, id);
        } else {
            fill(bar->addMenu(menu.text), menu);
        }
    }
    if (auto *layout = qobject_cast<QVBoxLayout *>(p.window->layout())) layout->setMenuBar(bar);
    for (auto &[id, node] : m.nodes)
        syncMenuNode(m, node);
    syncPanel(p);
}

} // namespace rt
