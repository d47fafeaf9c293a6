// Panels reach the screen when they are shown, not when the event loop next runs: a program that
// shows a popup or a panel and then keeps the loop busy (a reception reading the serial port)
// still shows their contents, and no input the operator queued meanwhile is delivered by it.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include "rt_test_support.h"
#include "tests/support/key_watch.h"

using namespace rtt;

namespace {

constexpr int kRed = 0xFF0000, kGreen = 0x00C000, kBlue = 0x0000FF, kYellow = 0xFFFF00;
constexpr int kSwatch = 40; // a coloured control's side, in pixels

QWidget *windowTitled(const QString &title) {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

// The colour the window system was last given at a point of the window (0 before it was given
// anything).
int shownColour(QWidget *window, QPoint at) {
    const QImage image = window->screen()->grabWindow(window->winId()).toImage();
    if (image.isNull() || !image.rect().contains(at)) return 0;
    return static_cast<int>(image.pixel(at) & 0xFFFFFF);
}

// A square text message filled with a colour, at (top, left) of the panel.
int swatch(int panel, int top, int left, int colour) {
    const int control = NewCtrl(panel, CTRL_TEXT_MSG, "", top, left);
    EXPECT_GT(control, 0);
    EXPECT_EQ(SetCtrlAttribute(panel, control, ATTR_WIDTH, kSwatch), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, control, ATTR_HEIGHT, kSwatch), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, colour), 0);
    return control;
}

using ks_test::KeyWatch;

class Drawing : public RuntimeTest {};

} // namespace

TEST_F(Drawing, PanelsPopupsAndChangesAreOnTheScreenBeforeTheEventLoopRuns) {
    const int main = keep(NewPanel(0, "Drawn when displayed", 60, 60, 200, 300));
    const int mainSwatch = swatch(main, 20, 20, kRed);
    const int child = keep(NewPanel(main, "", 100, 150, 80, 100));
    swatch(child, 10, 10, kBlue);
    const int popup = keep(NewPanel(0, "Drawn when installed", 120, 120, 100, 200));
    swatch(popup, 20, 20, kGreen);
    const QPoint swatchCentre(20 + kSwatch / 2, 20 + kSwatch / 2);

    ASSERT_EQ(DisplayPanel(main), 0);
    QWidget *mainWindow = windowTitled("Drawn when displayed");
    ASSERT_NE(mainWindow, nullptr);
    KeyWatch keys;
    mainWindow->installEventFilter(&keys);
    QCoreApplication::postEvent(mainWindow,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    EXPECT_EQ(shownColour(mainWindow, swatchCentre), kRed) << "the displayed panel";

    ASSERT_EQ(DisplayPanel(child), 0);
    EXPECT_EQ(shownColour(mainWindow, QPoint(150 + 10 + kSwatch / 2, 100 + 10 + kSwatch / 2)),
              kBlue)
        << "a child panel, in its parent's window";

    ASSERT_EQ(InstallPopup(popup), 0);
    QWidget *popupWindow = windowTitled("Drawn when installed");
    ASSERT_NE(popupWindow, nullptr);
    EXPECT_EQ(shownColour(popupWindow, swatchCentre), kGreen) << "the installed popup";

    // A change behind the popup, drawn on request while the loop still does not run.
    ASSERT_EQ(SetCtrlAttribute(main, mainSwatch, ATTR_TEXT_BGCOLOR, kYellow), 0);
    ASSERT_EQ(RT_DrawPanelNow(main), 0);
    EXPECT_EQ(shownColour(mainWindow, swatchCentre), kYellow) << "a change drawn on request";

    EXPECT_EQ(keys.keyPresses, 0) << "drawing delivered the operator's queued input";
    QCoreApplication::sendPostedEvents(mainWindow, QEvent::KeyPress);
    EXPECT_EQ(keys.keyPresses, 1);
    mainWindow->removeEventFilter(&keys);

    // Once the window system has exposed the window, drawing on request goes Qt's own way.
    QElapsedTimer waited;
    waited.start();
    while (!mainWindow->windowHandle()->isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(mainWindow->windowHandle()->isExposed());
    ASSERT_EQ(SetCtrlAttribute(main, mainSwatch, ATTR_TEXT_BGCOLOR, kRed), 0);
    ASSERT_EQ(RT_DrawPanelNow(main), 0);
    EXPECT_EQ(shownColour(mainWindow, swatchCentre), kRed) << "a change to an exposed window";

    // Hidden and unknown panels.
    const int hidden = keep(NewPanel(0, "Never shown", 10, 10, 50, 50));
    EXPECT_EQ(RT_DrawPanelNow(hidden), 0);
    EXPECT_EQ(windowTitled("Never shown"), nullptr);
    EXPECT_EQ(RT_DrawPanelNow(hidden + 1000), RT_ERR_INVALID_PANEL);
}

TEST_F(Drawing, APopupWithNothingToTypeIntoLeavesTheKeyboardWhereItIs) {
    // A progress-like popup (a bar, a text, a button parked outside the panel) must not take the
    // keyboard from the window the operator types in; a popup with a button on it takes it, so
    // Enter and Escape reach it, and so does one whose parked button answers Escape.
    const int keyless = keep(NewPanel(0, "Keyless popup", 60, 60, 80, 300));
    ASSERT_GT(NewCtrl(keyless, CTRL_PROGRESS_BAR, "", 10, 10), 0);
    ASSERT_GT(NewCtrl(keyless, CTRL_COMMAND_BUTTON, "", -1000, -1000), 0);
    swatch(keyless, 10, 200, kBlue);
    const int asking = keep(NewPanel(0, "Asking popup", 60, 60, 80, 300));
    ASSERT_GT(NewCtrl(asking, CTRL_COMMAND_BUTTON, "OK", 10, 10), 0);
    const int escapable = keep(NewPanel(0, "Escapable popup", 60, 60, 80, 300));
    const int parked = NewCtrl(escapable, CTRL_COMMAND_BUTTON, "", -1000, -1000);
    ASSERT_GT(parked, 0);
    ASSERT_EQ(SetCtrlAttribute(escapable, parked, ATTR_SHORTCUT_KEY, VAL_ESC_VKEY), 0);

    ASSERT_EQ(InstallPopup(keyless), 0);
    QWidget *window = windowTitled("Keyless popup");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_EQ(RemovePopup(0), 0);

    ASSERT_EQ(InstallPopup(asking), 0);
    window = windowTitled("Asking popup");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_EQ(RemovePopup(0), 0);

    ASSERT_EQ(InstallPopup(escapable), 0);
    window = windowTitled("Escapable popup");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    ASSERT_EQ(RemovePopup(0), 0);

    // Shown as an ordinary panel afterwards, the keyless one takes the keyboard like any window.
    ASSERT_EQ(DisplayPanel(keyless), 0);
    window = windowTitled("Keyless popup");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
}

TEST_F(Drawing, TheMenuBarsOverflowArrowIsDrawnThoughItsIconIsMadeLate) {
    // The arrow's icon is fetched from the style only when it is drawn; it must then be the
    // style's own, in every size asked for.
    const QIcon arrow =
        QApplication::style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    ASSERT_FALSE(arrow.isNull());
    for (int side : {12, 16, 24}) {
        const QImage image = arrow.pixmap(side, side).toImage();
        ASSERT_FALSE(image.isNull()) << side;
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << side;
    }
}
