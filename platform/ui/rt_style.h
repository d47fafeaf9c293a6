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
// paint. It starts on a second thread before the application object is made; once that object
// exists, the same thread fills Qt's font database while the first panel is being built.
void startFontWarmUp();
// The application object exists: the warm-up may go on into Qt's font database.
void fontWarmUpApplicationReady();
// Waits until the system's font configuration is loaded, so that the caller's first use of a font
// finds it instead of loading it a second time; returns at once without a warm-up.
void waitForFontConfiguration();
// Stops the warm-up and waits for its thread; harmless when it was never started or has ended.
void finishFontWarmUp();

} // namespace rt
