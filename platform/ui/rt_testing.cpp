// The test seam (platform/testing.h) and the overrides it holds for the run-time.
#include "platform/ui/rt_model.h"
#include "platform/ui/rt_testing_hooks.h"
#include "platform/ui/testing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <map>

namespace rt {
int beepCount();
long idleWakeups();

namespace test {
namespace {
struct Overrides {
    QChar decimal;
    QString language;
    std::multimap<int, std::vector<RT_TestPopupStep>> popupAnswers;
    std::deque<FileAnswer> fileAnswers;
    RT_TestFileDialogCall lastFileDialog;
    std::deque<PrintAnswer> printAnswers;
    std::string printerOutput;
};
Overrides &O() {
    static Overrides o;
    return o;
}
} // namespace

QChar decimalSeparatorOverride() {
    return O().decimal;
}
QString languageNameOverride() {
    return O().language;
}

void recordFileDialog(const char *title, const char *fileTypes) {
    O().lastFileDialog = {title ? title : "", fileTypes ? fileTypes : ""};
}

std::optional<FileAnswer> takeFileAnswer() {
    if (O().fileAnswers.empty()) return std::nullopt;
    FileAnswer a = O().fileAnswers.front();
    O().fileAnswers.pop_front();
    return a;
}
std::optional<PrintAnswer> takePrintAnswer() {
    if (O().printAnswers.empty()) return std::nullopt;
    PrintAnswer a = O().printAnswers.front();
    O().printAnswers.pop_front();
    return a;
}
std::string printerOutputOverride() {
    return O().printerOutput;
}

void queueFileAnswer(FileAnswer a) {
    O().fileAnswers.push_back(std::move(a));
}
void queuePrintAnswer(PrintAnswer a) {
    O().printAnswers.push_back(std::move(a));
}
void setPrinterOutput(const std::string &path) {
    O().printerOutput = path;
}
} // namespace test

void popupInstalled(Panel &p) {
    auto &answers = test::O().popupAnswers;
    auto it = answers.find(p.resourceId);
    if (it == answers.end()) return;
    std::vector<RT_TestPopupStep> steps = std::move(it->second);
    answers.erase(it);
    const int panel = p.handle;
    QTimer::singleShot(0, qApp, [panel, steps] {
        for (const RT_TestPopupStep &s : steps) {
            switch (s.kind) {
            case RT_TestPopupStep::SET_INT:
                SetCtrlVal(panel, s.control, s.intValue);
                break;
            case RT_TestPopupStep::SET_DOUBLE:
                SetCtrlVal(panel, s.control, s.doubleValue);
                break;
            case RT_TestPopupStep::SET_STRING:
                SetCtrlVal(panel, s.control, s.text.c_str());
                break;
            case RT_TestPopupStep::COMMIT:
                RT_TestCommit(panel, s.control);
                break;
            }
        }
    });
}

} // namespace rt

using namespace rt;

namespace {

int inputTarget(int panel, int control, Panel **p, Control **c) {
    if (int r = lookup(panel, control, p, c)) return r;
    if (!inputAllowed(panel) || (*c)->mode == MODE_INDICATOR || (*c)->dimmed || !(*c)->visible)
        return RT_ERR_INPUT_REFUSED;
    return 0;
}

void sendKey(QWidget *w, int key, const QString &text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
}

// Types text into w as key presses ('\n' Enter, '\b' Backspace); stops when a callback deletes
// the widget.
void typeInto(QWidget *w, const char *text) {
    QPointer<QWidget> alive = w;
    for (QChar ch : QString::fromUtf8(text)) {
        if (!alive) break;
        if (ch == '\n')
            sendKey(w, Qt::Key_Return, QStringLiteral("\r"));
        else if (ch == '\b')
            sendKey(w, Qt::Key_Backspace, QString());
        else
            sendKey(w,
                    ch.unicode() < 0x80 ? static_cast<int>(ch.toUpper().unicode())
                                        : static_cast<int>(Qt::Key_unknown),
                    QString(ch));
    }
}

} // namespace

int RT_TestCommit(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = inputTarget(panel, control, &p, &c)) return r;
    if (auto *b = qobject_cast<QAbstractButton *>(c->widget.data()); b && c->kind == Kind::Button) {
        b->click();
        return 0;
    }
    ctrlEvent(panel, control, EVENT_COMMIT);
    return 0;
}

int RT_TestCommitMenuItem(int menuBar, int itemId) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    MenuBar *m = findMenuBar(menuBar);
    if (!m) return RT_ERR_INVALID_MENU_BAR;
    auto it = m->nodes.find(itemId);
    if (it == m->nodes.end()) return RT_ERR_INVALID_MENU_ITEM;
    const MenuNode &n = it->second;
    const bool choosable = (n.kind == MenuNodeKind::Item && !n.submenu) ||
                           (n.kind == MenuNodeKind::Menu && n.children.empty());
    if (!choosable) return RT_ERR_INVALID_MENU_ITEM;
    if (!inputAllowed(m->panel) || n.dimmed) return RT_ERR_INPUT_REFUSED;
    if (n.action)
        n.action->trigger();
    else
        menuCommit(menuBar, itemId);
    return 0;
}

int RT_TestTypeText(int panel, int control, const char *text) {
    Panel *p;
    Control *c;
    if (int r = inputTarget(panel, control, &p, &c)) return r;
    if (!text) return RT_ERR_NULL_POINTER;
    if (c->kind != Kind::TextBox && c->kind != Kind::String && c->kind != Kind::Numeric)
        return RT_ERR_CLASS_MISMATCH;
    QPointer<QWidget> w = c->widget;
    if (!w) return RT_ERR_INVALID_CONTROL;
    p->activeCtrl = control;
    setActivePanel(panel);
    QWidget *target = w;
    if (c->kind == Kind::Numeric) {
        if (auto *edit = w->findChild<QLineEdit *>()) {
            target = edit;
            edit->end(
                false); // typing starts at the end, where a click into the field puts the caret
        }
    }
    typeInto(target, text);
    return 0;
}

int RT_TestTypeAtFocus(const char *text) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    if (!text) return RT_ERR_NULL_POINTER;
    QWidget *target = QApplication::focusWidget();
    if (!target) {
        // Without an active window (headless runs) the keys go where the window system would
        // send them: the focus of the panel the operator worked in last, or, once its popup is
        // gone, of the top-level window the window manager gives the focus back to.
        Panel *p = findPanel(activePanel());
        if (!p || !p->displayed) {
            p = nullptr;
            for (auto &[handle, candidate] : panels())
                if (!candidate->parent && candidate->displayed && candidate->window) {
                    p = candidate.get();
                    break;
                }
        }
        if (p && p->window) target = p->window->focusWidget();
    }
    if (!target) return RT_ERR_NO_ACTIVE_CONTROL;
    typeInto(target, text);
    return 0;
}

int RT_TestSelectIndex(int panel, int control, int index) {
    Panel *p;
    Control *c;
    if (int r = inputTarget(panel, control, &p, &c)) return r;
    if (!isListKind(c->kind)) return RT_ERR_CLASS_MISMATCH;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return RT_ERR_INDEX_OUT_OF_RANGE;
    if (auto *box = qobject_cast<QComboBox *>(c->widget.data())) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    } else if (auto *list = qobject_cast<QListWidget *>(c->widget.data())) {
        list->setCurrentRow(index);
    }
    return 0;
}

int RT_TestClosePanel(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (p->parent) return RT_ERR_INVALID_PANEL;
    if (!inputAllowed(panel)) return RT_ERR_INPUT_REFUSED;
    if (p->window) p->window->close(); // the window's close event becomes EVENT_CLOSE
    return 0;
}

int RT_TestRightDoubleClick(int panel, int control) {
    Panel *p;
    Control *c;
    if (int r = lookup(panel, control, &p, &c)) return r;
    if (!inputAllowed(panel)) return RT_ERR_INPUT_REFUSED;
    if (!c->widget) return RT_ERR_INVALID_CONTROL;
    const QPointF at(c->rect.width() / 2.0, c->rect.height() / 2.0);
    QMouseEvent e(QEvent::MouseButtonDblClick, at, c->widget->mapToGlobal(at), Qt::RightButton,
                  Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(c->widget, &e);
    return 0;
}

void RT_TestPost(std::function<void()> action, int delayMs) {
    QTimer::singleShot(delayMs, qApp, std::move(action));
}

void RT_TestAnswerPopup(int resourceId, std::vector<RT_TestPopupStep> steps) {
    test::O().popupAnswers.emplace(resourceId, std::move(steps));
}

void RT_TestAnswerFileDialog(const char *path) {
    test::FileAnswer a;
    a.cancel = path == nullptr;
    if (path) a.path = path;
    test::queueFileAnswer(a);
}

RT_TestFileDialogCall RT_TestLastFileDialog(void) {
    return test::O().lastFileDialog;
}

void RT_TestAnswerPrintDialog(int accept, const char *pdfPath, int attribute, int value) {
    test::PrintAnswer a;
    a.accept = accept != 0;
    if (pdfPath) a.pdfPath = pdfPath;
    a.attribute = attribute;
    a.value = value;
    test::queuePrintAnswer(a);
}

void RT_TestSetPrinterOutput(const char *pdfPath) {
    test::setPrinterOutput(pdfPath ? pdfPath : "");
}

int RT_TestSavePanelImage(int panel, const char *path) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p || !p->window) return RT_ERR_INVALID_PANEL;
    if (!path) return RT_ERR_NULL_POINTER;
    QWidget *w = p->window;
    w->ensurePolished();
    if (auto *layout = w->layout()) layout->activate();
    return w->grab().save(QString::fromUtf8(path)) ? 0 : RT_ERR_IO;
}

void RT_TestClearAnswers(void) {
    test::O().popupAnswers.clear();
    test::O().fileAnswers.clear();
    test::O().printAnswers.clear();
}

RT_TestPanelState RT_TestGetPanelState(int panel) {
    RT_TestPanelState s;
    Panel *p = findPanel(panel);
    if (!p) return s;
    s.exists = true;
    s.displayed = p->displayed;
    s.windowVisible = p->window && p->window->isVisible();
    s.modal = p->window && p->window->isModal();
    s.resourceId = p->resourceId;
    s.parent = p->parent;
    s.activeControl = p->activeCtrl;
    s.title = p->window ? p->window->windowTitle().toStdString() : std::string();
    s.popupLevel = popupLevel(panel);
    return s;
}

std::string RT_TestWidgetText(int panel, int control) {
    Panel *p;
    Control *c;
    if (lookup(panel, control, &p, &c) || !c->widget) return {};
    QWidget *w = c->widget;
    if (c->kind == Kind::Picture)
        return c->image.isNull()
                   ? std::string()
                   : std::to_string(c->image.width()) + "x" + std::to_string(c->image.height());
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) return e->toPlainText().toStdString();
    if (auto *box = qobject_cast<QDoubleSpinBox *>(w)) return box->text().toStdString();
    if (auto *e = qobject_cast<QLineEdit *>(w)) return e->text().toStdString();
    if (auto *l = qobject_cast<QLabel *>(w)) return l->text().toStdString();
    if (auto *b = qobject_cast<QAbstractButton *>(w)) return b->text().toStdString();
    if (auto *box = qobject_cast<QComboBox *>(w)) return box->currentText().toStdString();
    if (auto *list = qobject_cast<QListWidget *>(w))
        return list->currentItem() ? list->currentItem()->text().toStdString() : std::string();
    return {};
}

int RT_TestBeepCount(void) {
    return beepCount();
}
int RT_TestPopupDepth(void) {
    return popupDepth();
}
long RT_TestIdleWakeups(void) {
    return idleWakeups();
}

void RT_TestFlushDeletes(void) {
    if (runtimeReady()) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void RT_TestSetDecimalSeparator(char separator) {
    test::O().decimal = separator ? QChar(static_cast<unsigned char>(separator)) : QChar();
}

void RT_TestSetSystemLanguageName(const char *name) {
    test::O().language = fromC(name);
}
