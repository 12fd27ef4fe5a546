#include "windowpicture.h"

#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QSignalSpy>
#include <QtTest/QtTest>

namespace tavritest {

namespace {

// A window's own text drawn with anti-aliasing gives far more colours than
// this; a window that drew nothing but its background and border gives few.
constexpr int kDrawnColours = 16;

} // namespace

int distinctColours(const QImage &image, int enough)
{
    QSet<QRgb> colours;
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            colours.insert(line[x]);
            if (colours.size() >= enough)
                return colours.size();
        }
    }
    return colours.size();
}

bool picturesLoading(QQuickItem *item)
{
    if (!item)
        return false;
    // QQuickImageBase::Loading
    if (item->inherits("QQuickImageBase") && item->property("status").toInt() == 2)
        return true;
    const QList<QQuickItem *> children = item->childItems();
    return std::any_of(children.begin(), children.end(), picturesLoading);
}

QString saveWindowPicture(QQuickWindow *window, const QString &file)
{
    if (!window || !window->isVisible())
        return QStringLiteral("no window shows");
    if (!QTest::qWaitForWindowExposed(window))
        return QStringLiteral("the window was never exposed");
    // One frame drawn after the last change, so that lists have laid out
    // their rows.
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    if (!drawn.wait(5000) && drawn.isEmpty())
        return QStringLiteral("no frame was drawn");
    if (!QTest::qWaitFor([window] { return !picturesLoading(window->contentItem()); }))
        return QStringLiteral("pictures still loading");
    return saveImagePicture(window->grabWindow(), file);
}

QString saveImagePicture(const QImage &image, const QString &file)
{
    if (image.isNull())
        return QStringLiteral("the grab gave no picture");
    const int colours = distinctColours(image, kDrawnColours);
    if (colours < kDrawnColours)
        return QStringLiteral("blank (%1 colours)").arg(colours);
    if (!image.save(file))
        return QStringLiteral("cannot write ") + file;
    return QString();
}

} // namespace tavritest
