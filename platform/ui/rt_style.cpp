#include "platform/ui/rt_style.h"

#include <QFontDatabase>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <fontconfig/fontconfig.h>

namespace rt {
namespace {

// An icon engine that fetches the real standard icon from the style the first time the icon is
// drawn or measured. The extension arrows do not depend on the option or the widget.
class DeferredStandardIcon : public QIconEngine {
  public:
    DeferredStandardIcon(QStyle *style, QStyle::StandardPixmap which)
        : style_(style), which_(which) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override {
        real().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return real().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return real().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return real().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return real().availableSizes(mode, state);
    }
    bool isNull() override { return real().isNull(); }
    QString key() const override { return QStringLiteral("rt-deferred-standard"); }
    QIconEngine *clone() const override { return new DeferredStandardIcon(*this); }

  private:
    DeferredStandardIcon(const DeferredStandardIcon &) = default;

    const QIcon &real() {
        if (!fetched_) {
            fetched_ = true;
            if (style_) icon_ = style_->standardIcon(which_);
        }
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    bool fetched_ = false;
    QIcon icon_;
};

class StartupFriendlyStyle : public QProxyStyle {
  public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton ||
            which == SP_ToolBarVerticalExtensionButton)
            return QIcon(new DeferredStandardIcon(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

// The warm-up's progress, shared with the thread that does it.
struct FontWarmUp {
    std::mutex mutex;
    std::condition_variable changed;
    bool configurationLoaded = false;
    bool applicationReady = false;
    bool cancelled = false;
    std::thread thread;
};

FontWarmUp &warmUp() {
    static FontWarmUp state;
    return state;
}

void warmUpFonts() {
    FontWarmUp &w = warmUp();
    FcInit();
    std::unique_lock<std::mutex> lock(w.mutex);
    w.configurationLoaded = true;
    w.changed.notify_all();
    w.changed.wait(lock, [&w] { return w.applicationReady || w.cancelled; });
    if (w.cancelled) return;
    lock.unlock();
    // Qt's font database guards itself; filling it here spares the first panel the wait.
    QFontDatabase::families();
}

} // namespace

void startFontWarmUp() {
    FontWarmUp &w = warmUp();
    if (w.thread.joinable()) return;
    static const bool joinAtExit = std::atexit(finishFontWarmUp) == 0;
    (void)joinAtExit;
    w.thread = std::thread(warmUpFonts);
}

void fontWarmUpApplicationReady() {
    FontWarmUp &w = warmUp();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.applicationReady = true;
    w.changed.notify_all();
}

void waitForFontConfiguration() {
    FontWarmUp &w = warmUp();
    if (!w.thread.joinable()) return;
    std::unique_lock<std::mutex> lock(w.mutex);
    w.changed.wait(lock, [&w] { return w.configurationLoaded; });
}

void finishFontWarmUp() {
    FontWarmUp &w = warmUp();
    if (!w.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        w.cancelled = true;
        w.changed.notify_all();
    }
    w.thread.join();
}

QStyle *newStartupFriendlyStyle() {
    return new StartupFriendlyStyle;
}

} // namespace rt
