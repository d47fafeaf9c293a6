#include "platform/ui/rt_style.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>

#include <cstdlib>
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

std::thread &fontWarmUp() {
    static std::thread thread;
    return thread;
}

} // namespace

void startFontWarmUp() {
    if (fontWarmUp().joinable()) return;
    static const bool joinAtExit = std::atexit(finishFontWarmUp) == 0;
    (void)joinAtExit;
    fontWarmUp() = std::thread([] { FcInit(); });
}

void finishFontWarmUp() {
    if (fontWarmUp().joinable()) fontWarmUp().join();
}

QStyle *newStartupFriendlyStyle() {
    return new StartupFriendlyStyle;
}

} // namespace rt
