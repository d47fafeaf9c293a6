// What the run-time does to show its first window soon: the application style, with the icons
// that only a rarely seen widget part needs made on first use instead of when the widget is
// built, and the font database read while the first panel is still being read and built.
#pragma once

class QStyle;

namespace rt {

// A style over the default one. Building a menu bar asks the style for its extension-arrow icon,
// which makes Qt probe every image-format plug-in before the first window can paint; this style
// hands out an icon that asks the default style only when the arrow is drawn.
QStyle *newStartupFriendlyStyle();

// Reading the system's font configuration takes as long as everything else before the first
// paint. It starts on a second thread before the application object is made, and the first
// panel waits for it, so that Qt finds the configuration loaded instead of loading it again.
void startFontWarmUp();
// Waits for the warm-up to end; harmless when it was never started or has ended.
void finishFontWarmUp();

} // namespace rt
