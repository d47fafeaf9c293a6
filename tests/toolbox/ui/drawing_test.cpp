// What the operator sees of the toolbox's panels, read back from the pixels: a progress update is
// on the screen before the event loop runs again (a reception keeps it from running), without
// queued input being delivered; a label laid out on the left of its control stands clear of it,
// on the screen and on paper.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/runtime.h"
#include "platform/testing.h"
#include "tests/support/key_watch.h"
#include "tests/support/temp_dir.h"
#include "toolbox/ui/locale_layout.h"
#include "toolbox/ui/progress_dialog.h"
#include "ui_queries.h"

namespace {

// The least room the run-time keeps between a label's text and a control that begins where the
// label's width ends.
constexpr int kLeastLabelRoom = 4;
// Darker than this on a light panel is the ink of text.
constexpr int kInkGray = 200;

QWidget *windowTitled(const QString &title) {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

// The window as the window system was last given it to show (null before anything was given).
QImage onScreen(QWidget *window) {
    return window->screen()->grabWindow(window->winId()).toImage();
}

// Records the value a progress bar showed each time it was painted.
class PaintWatch : public QObject {
  public:
    std::vector<int> paintedValues;
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            paintedValues.push_back(static_cast<QProgressBar *>(object)->value());
        return false;
    }
};

using ks_test::KeyWatch;

// Fraction of the bar's groove that is filled, read along the bar's middle row: the filled part
// is the run of pixels that differ from the empty end of the groove.
double filledFraction(const QImage &image, const QRect &bar) {
    const int y = bar.center().y();
    const int first = bar.left() + 2, last = bar.right() - 2;
    const QRgb empty = image.pixel(last, y);
    int x = first;
    while (x < last && image.pixel(x, y) != empty)
        ++x;
    return static_cast<double>(x - bar.left()) / bar.width();
}

// Columns [from, to] of the rows of `rows` in which text ink shows.
int inkColumns(const QImage &image, const QRect &rows, int from, int to) {
    int columns = 0;
    for (int x = from; x <= to; ++x) {
        bool ink = false;
        for (int y = rows.top(); y <= rows.bottom() && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < kInkGray;
        columns += ink ? 1 : 0;
    }
    return columns;
}

} // namespace

TEST(ProgressDialogDrawing, AnUpdateIsOnTheScreenAtOnceAndDeliversNoQueuedInput) {
    const int panel = CreateProgressDialog("Reception", "", 1, 2, "");
    ASSERT_GT(panel, 0);
    QWidget *window = windowTitled("Reception");
    ASSERT_NE(window, nullptr);
    auto *bar = window->findChild<QProgressBar *>();
    ASSERT_NE(bar, nullptr);
    PaintWatch paints;
    bar->installEventFilter(&paints);
    KeyWatch keys;
    window->installEventFilter(&keys);
    // The operator presses a key while the record arrives: it waits for the event loop.
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));

    const QRect barArea(bar->mapTo(window, QPoint(0, 0)), bar->size());
    for (int percent : {42, 80}) {
        SCOPED_TRACE(percent);
        paints.paintedValues.clear();
        ASSERT_EQ(UpdateProgressDialog(panel, percent, 0), 0);
        ASSERT_FALSE(paints.paintedValues.empty()) << "the bar was not painted by the update";
        EXPECT_EQ(paints.paintedValues.back(), bar->value());
        EXPECT_NEAR(bar->value(), bar->maximum() * percent / 100, 1);
        const QImage shown = onScreen(window);
        ASSERT_FALSE(shown.isNull()) << "nothing of the dialog reached the screen";
        EXPECT_NEAR(filledFraction(shown, barArea), percent / 100.0, 0.08);
        EXPECT_EQ(keys.keyPresses, 0) << "the update delivered queued input";
    }

    // The key press is still there for the event loop.
    QCoreApplication::sendPostedEvents(window, QEvent::KeyPress);
    EXPECT_EQ(keys.keyPresses, 1);
    bar->removeEventFilter(&paints);
    window->removeEventFilter(&keys);
    DiscardProgressDialog(panel);
    RemovePopup(1);
    RT_TestFlushDeletes();
}

TEST(LabelDrawing, ALabelPutOnTheLeftEndsClearOfItsControlOnScreenAndOnPaper) {
    const int panel = NewPanel(0, "Labels on the left", 40, 40, 200, 460);
    ASSERT_GT(panel, 0);
    // Long labels of the main panel, each ending in a letter with ink up to its right edge.
    const std::vector<std::string> texts = {"Résultat du test", "Temp.-Kompensation",
                                            "Laddningsnivå"};
    std::vector<int> controls;
    for (size_t i = 0; i < texts.size(); ++i)
        controls.push_back(
            NewCtrl(panel, CTRL_STRING, texts[i].c_str(), 20 + 50 * static_cast<int>(i), 240));
    for (int control : controls)
        ASSERT_GT(control, 0);
    ASSERT_EQ(PutLabelsOnLeft(panel, 0, 3, controls[0], controls[1], controls[2]), 0);
    ASSERT_EQ(DisplayPanel(panel), 0);

    QWidget *window = windowTitled("Labels on the left");
    ASSERT_NE(window, nullptr);
    const QImage screen = window->grab().toImage();
    ks_test::TempDir folder;
    const std::string printed = folder.file("printed.png");
    ASSERT_EQ(PrintPanel(panel, printed.c_str(), 1, 0, 0), 0);
    const QImage paper(QString::fromStdString(printed));
    ASSERT_FALSE(paper.isNull());

    for (size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        const int control = controls[i];
        const int left = ctrlAttr(panel, control, ATTR_LEFT);
        const int labelLeft = ctrlAttr(panel, control, ATTR_LABEL_LEFT);
        // The callers' arithmetic holds: the label's width ends where the control begins.
        EXPECT_EQ(labelLeft + ctrlAttr(panel, control, ATTR_LABEL_WIDTH), left);
        const QRect rows(labelLeft, ctrlAttr(panel, control, ATTR_LABEL_TOP), 1,
                         ctrlAttr(panel, control, ATTR_LABEL_HEIGHT));
        for (const auto &[where, image] : {std::pair{"screen", screen}, {"paper", paper}}) {
            SCOPED_TRACE(where);
            EXPECT_GT(inkColumns(image, rows, labelLeft, left - 1), 0) << "no label drawn";
            EXPECT_EQ(inkColumns(image, rows, left - kLeastLabelRoom, left - 1), 0)
                << "the label's text runs up to its control";
        }
    }
    DiscardPanel(panel);
    RT_TestFlushDeletes();
}
