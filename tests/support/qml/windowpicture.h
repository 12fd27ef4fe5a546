#pragma once

#include <QString>

class QImage;
class QQuickItem;
class QQuickWindow;

namespace tavritest {

// Pictures of windows for review. They need a real display (an X server:
// run under xvfb-run); offscreen, Qt Quick grabs nothing.

// The number of distinct colours of an image, counted up to `enough`.
int distinctColours(const QImage &image, int enough);

// Whether any picture under `item` is still loading.
bool picturesLoading(QQuickItem *item);

// Waits until the window is exposed, has drawn a frame after the last change
// and has loaded its pictures, grabs it and saves it as `file`. A picture of
// fewer colours than a window's anti-aliased text gives counts as blank.
// Returns what went wrong, or an empty text.
QString saveWindowPicture(QQuickWindow *window, const QString &file);
// The same for an image taken otherwise (a widget's grab).
QString saveImagePicture(const QImage &image, const QString &file);

} // namespace tavritest
