#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace artwork {
namespace {

// The palette: the style's greys and its reds (menu, highlight, alert).
const QColor Ink(0xd4, 0xd4, 0xd4);
const QColor InkHover(0xff, 0xff, 0xff);
const QColor InkQuiet(0x8c, 0x8c, 0x8c);
const QColor Menu(0x54, 0x00, 0x00);
const QColor Highlight(0x9c, 0x00, 0x00);
const QColor Alert(0xd6, 0x20, 0x2c);
const QColor Online(0x4f, 0xda, 0x24); // the style's chat colours
const QColor Away(0xdd, 0xa6, 0x21);

// The one stroke weight, in device pixels of the double-size drawing.
constexpr double StrokePixels = 3.0;

using Glyph = std::function<void(QPainter &, const QColor &)>;
using Painting = std::function<void(QPainter &, const QSizeF &)>;

constexpr double Pi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Drawing helpers. Glyphs draw on a 24 x 24 grid with the pen already set.

void line(QPainter &p, double x1, double y1, double x2, double y2)
{
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void polyline(QPainter &p, std::initializer_list<QPointF> points)
{
    p.drawPolyline(points.begin(), int(points.size()));
}

QPainterPath closedPath(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QVector<QPointF>(points)));
    path.closeSubpath();
    return path;
}

void disc(QPainter &p, double x, double y, double r, const QColor &color)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(x, y), r, r);
    p.restore();
}

void fill(QPainter &p, const QPainterPath &path, const QColor &color)
{
    p.save();
    p.setBrush(color);
    p.drawPath(path);
    p.restore();
}

QPainterPath arc(double cx, double cy, double r, double start, double sweep)
{
    QPainterPath path;
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    return path;
}

QPainterPath star(double cx, double cy, double outer, double inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? inner : outer;
        const double a = -Pi / 2 + i * Pi / 5;
        const QPointF point(cx + r * std::cos(a), cy + r * std::sin(a));
        i ? path.lineTo(point) : path.moveTo(point);
    }
    path.closeSubpath();
    return path;
}

QPainterPath bubble()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(3.5, 4.5, 17, 12), 4, 4);
    return body.united(closedPath({{7.5, 15}, {6.5, 20.5}, {12.5, 15}})).simplified();
}

void person(QPainter &p, double cx, double top, double scale)
{
    p.drawEllipse(QPointF(cx, top + 3.6 * scale), 3.6 * scale, 3.6 * scale);
    QPainterPath body;
    const double y = top + 9.2 * scale, bottom = top + 14.5 * scale, half = 6.5 * scale;
    body.moveTo(cx - half, bottom);
    body.cubicTo(cx - half, y + 1.2 * scale, cx - 3 * scale, y, cx, y);
    body.cubicTo(cx + 3 * scale, y, cx + half, y + 1.2 * scale, cx + half, bottom);
    p.drawPath(body);
}

void speaker(QPainter &p)
{
    p.drawPath(closedPath({{3.5, 9.5}, {7.5, 9.5}, {12, 5.5}, {12, 18.5}, {7.5, 14.5}, {3.5, 14.5}}));
}

void waves(QPainter &p, int count, const QColor &color)
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(color);
    p.setPen(pen);
    for (int i = 0; i < count; ++i)
        p.drawPath(arc(12, 12, 3.5 + 3.2 * i, -45, 90));
    p.restore();
}

void cross(QPainter &p, double cx, double cy, double half)
{
    line(p, cx - half, cy - half, cx + half, cy + half);
    line(p, cx + half, cy - half, cx - half, cy + half);
}

void plus(QPainter &p, double cx, double cy, double half)
{
    line(p, cx - half, cy, cx + half, cy);
    line(p, cx, cy - half, cx, cy + half);
}

void microphone(QPainter &p)
{
    p.drawRoundedRect(QRectF(9, 3.5, 6, 11), 3, 3);
    p.drawPath(arc(12, 11, 6, 180, 180));
    line(p, 12, 17, 12, 20.5);
    line(p, 8.5, 20.5, 15.5, 20.5);
}

void bell(QPainter &p)
{
    QPainterPath path;
    path.moveTo(5.5, 17);
    path.lineTo(18.5, 17);
    path.lineTo(16.8, 14.5);
    path.lineTo(16.8, 10.5);
    path.cubicTo(16.8, 7.5, 14.8, 5, 12, 5);
    path.cubicTo(9.2, 5, 7.2, 7.5, 7.2, 10.5);
    path.lineTo(7.2, 14.5);
    path.closeSubpath();
    p.drawPath(path);
    p.drawPath(arc(12, 18.5, 2, 180, 180));
}

void slash(QPainter &p, const QColor &color)
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(color);
    p.setPen(pen);
    line(p, 4.5, 4, 19.5, 20);
    p.restore();
}

// ---------------------------------------------------------------------------
// Glyphs

QMap<QString, Glyph> glyphs()
{
    QMap<QString, Glyph> g;
    g["close"] = [](QPainter &p, const QColor &) { cross(p, 12, 12, 5); };
    g["minimize"] = [](QPainter &p, const QColor &) { line(p, 6.5, 12, 17.5, 12); };
    g["menu"] = [](QPainter &p, const QColor &) {
        for (double y : {7.0, 12.0, 17.0})
            line(p, 5.5, y, 18.5, y);
    };
    g["gear"] = [](QPainter &p, const QColor &) {
        QPolygonF outline;
        for (int i = 0; i < 8; ++i) {
            const double a = i * Pi / 4;
            for (auto [da, r] : {std::pair{-0.34, 6.6}, {-0.2, 9.0}, {0.2, 9.0}, {0.34, 6.6}})
                outline << QPointF(12 + r * std::cos(a + da), 12 + r * std::sin(a + da));
        }
        p.drawPolygon(outline);
        p.drawEllipse(QPointF(12, 12), 2.8, 2.8);
    };
    g["sliders"] = [](QPainter &p, const QColor &ink) {
        const double knobs[] = {9, 15, 7.5};
        for (int i = 0; i < 3; ++i) {
            const double y = 6.5 + 5.5 * i;
            line(p, 4, y, 20, y);
            disc(p, knobs[i], y, 2.4, ink);
        }
    };
    g["speaker-waves"] = [](QPainter &p, const QColor &ink) {
        speaker(p);
        waves(p, 2, ink);
    };
    g["person"] = [](QPainter &p, const QColor &) { person(p, 12, 4, 1.05); };
    g["note"] = [](QPainter &p, const QColor &ink) {
        line(p, 9.5, 6.5, 9.5, 16.8);
        line(p, 18, 4.5, 18, 14.8);
        line(p, 9.5, 6.5, 18, 4.5);
        p.save();
        p.setBrush(ink);
        p.drawEllipse(QPointF(7.4, 17), 2.3, 1.9);
        p.drawEllipse(QPointF(15.9, 15), 2.3, 1.9);
        p.restore();
    };
    g["channels"] = [](QPainter &p, const QColor &) {
        p.drawPath(bubble());
        line(p, 9, 9.3, 9, 11.7);
        line(p, 12, 7.8, 12, 13.2);
        line(p, 15, 9.3, 15, 11.7);
    };
    g["contacts"] = [](QPainter &p, const QColor &) {
        person(p, 9.5, 5, 0.95);
        p.drawEllipse(QPointF(16.5, 7.6), 2.9, 2.9);
        QPainterPath back;
        back.moveTo(16.5, 12.7);
        back.cubicTo(19, 12.7, 21, 13.8, 21, 17.5);
        p.drawPath(back);
    };
    g["person-plus"] = [](QPainter &p, const QColor &) {
        person(p, 10, 5, 0.95);
        plus(p, 18.5, 8.5, 3);
    };
    g["person-minus"] = [](QPainter &p, const QColor &) {
        person(p, 10, 5, 0.95);
        line(p, 15.5, 8.5, 21.5, 8.5);
    };
    g["clock"] = [](QPainter &p, const QColor &) {
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        polyline(p, {{12, 7}, {12, 12}, {15.5, 14}});
    };
    g["palette"] = [](QPainter &p, const QColor &ink) {
        QPainterPath path;
        path.moveTo(12, 3.5);
        path.cubicTo(7, 3.5, 3.5, 7.3, 3.5, 12);
        path.cubicTo(3.5, 16.7, 7.3, 20.5, 12, 20.5);
        path.cubicTo(13.6, 20.5, 14, 19.3, 13.3, 18.2);
        path.cubicTo(12.5, 17, 13.2, 15.5, 14.8, 15.5);
        path.lineTo(17, 15.5);
        path.cubicTo(19.2, 15.5, 20.5, 14, 20.5, 11.5);
        path.cubicTo(20.5, 7, 16.8, 3.5, 12, 3.5);
        p.drawPath(path);
        disc(p, 8, 11, 1.5, ink);
        disc(p, 10.5, 7.3, 1.5, ink);
        disc(p, 15, 7.8, 1.5, ink);
    };
    g["flag"] = [](QPainter &p, const QColor &) {
        line(p, 6, 3.5, 6, 20.5);
        polyline(p, {{6, 4.5}, {18, 4.5}, {15.5, 8.5}, {18, 12.5}, {6, 12.5}});
    };
    g["clear"] = [](QPainter &p, const QColor &) {
        line(p, 4, 6.5, 17, 6.5);
        line(p, 4, 11.5, 13, 11.5);
        line(p, 4, 16.5, 10, 16.5);
        cross(p, 17, 16, 3);
    };
    g["search"] = [](QPainter &p, const QColor &) {
        p.drawEllipse(QPointF(10.5, 10.5), 6, 6);
        line(p, 15, 15, 20, 20);
    };
    g["plus-circle"] = [](QPainter &p, const QColor &) {
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        plus(p, 12, 12, 4);
    };
    g["folder-plus"] = [](QPainter &p, const QColor &) {
        p.drawPath(closedPath({{3.5, 6}, {9.5, 6}, {11.5, 8.5}, {20.5, 8.5}, {20.5, 18.5}, {3.5, 18.5}}));
        plus(p, 12, 13.5, 2.8);
    };
    g["chat"] = [](QPainter &p, const QColor &ink) {
        p.drawPath(bubble());
        for (double x : {8.5, 12.0, 15.5})
            disc(p, x, 10.5, 1.25, ink);
    };
    g["caret-down"] = [](QPainter &p, const QColor &) { polyline(p, {{6.5, 9}, {12, 14.5}, {17.5, 9}}); };
    g["caret-right"] = [](QPainter &p, const QColor &) { polyline(p, {{9, 6.5}, {14.5, 12}, {9, 17.5}}); };
    g["arrow-down"] = [](QPainter &p, const QColor &) {
        line(p, 12, 6, 12, 17);
        polyline(p, {{7.5, 12.5}, {12, 17}, {16.5, 12.5}});
    };
    g["question"] = [](QPainter &p, const QColor &ink) {
        p.drawEllipse(QPointF(12, 12), 9, 9);
        QPainterPath mark;
        const QRectF box(9, 6.3, 6, 6);
        mark.arcMoveTo(box, 180);
        mark.arcTo(box, 180, -270);
        mark.lineTo(12, 14);
        p.drawPath(mark);
        disc(p, 12, 17, 1.2, ink);
    };
    g["speaker"] = [](QPainter &p, const QColor &ink) {
        speaker(p);
        waves(p, 2, ink);
    };
    g["speaker-muted"] = [](QPainter &p, const QColor &) {
        speaker(p);
        QPen pen = p.pen();
        pen.setColor(Alert);
        p.setPen(pen);
        cross(p, 18, 12, 2.6);
    };
    g["speaker-off"] = [](QPainter &p, const QColor &) {
        speaker(p);
        cross(p, 18, 12, 2.6);
    };
    for (int level = 1; level <= 3; ++level)
        g[QStringLiteral("speaker-%1").arg(level)] = [level](QPainter &p, const QColor &ink) {
            speaker(p);
            waves(p, level, ink);
        };
    g["speaker-speaking"] = [](QPainter &p, const QColor &) {
        speaker(p);
        waves(p, 3, Alert);
    };
    g["mic"] = [](QPainter &p, const QColor &) { microphone(p); };
    g["mic-live"] = [](QPainter &p, const QColor &) {
        p.save();
        p.setBrush(Alert);
        microphone(p);
        p.restore();
    };
    g["mic-muted"] = [](QPainter &p, const QColor &) {
        microphone(p);
        slash(p, Alert);
    };
    g["mic-idle"] = [](QPainter &p, const QColor &ink) {
        microphone(p);
        slash(p, ink);
    };
    g["bell"] = [](QPainter &p, const QColor &) { bell(p); };
    g["bell-muted"] = [](QPainter &p, const QColor &ink) {
        bell(p);
        slash(p, ink);
    };
    g["play"] = [](QPainter &p, const QColor &ink) { fill(p, closedPath({{8, 5.5}, {18.5, 12}, {8, 18.5}}), ink); };
    g["stop"] = [](QPainter &p, const QColor &ink) {
        QPainterPath path;
        path.addRoundedRect(QRectF(6.5, 6.5, 11, 11), 2, 2);
        fill(p, path, ink);
    };
    g["undo"] = [](QPainter &p, const QColor &) {
        polyline(p, {{9, 5.5}, {5, 9.5}, {9, 13.5}});
        QPainterPath path;
        path.moveTo(5, 9.5);
        path.lineTo(14, 9.5);
        path.cubicTo(17.5, 9.5, 19.5, 12, 19.5, 14.5);
        path.cubicTo(19.5, 17, 17.5, 19, 14.5, 19);
        path.lineTo(10, 19);
        p.drawPath(path);
    };
    g["pencil"] = [](QPainter &p, const QColor &) {
        p.drawPath(closedPath({{5, 19}, {6, 15}, {15.5, 5.5}, {18.5, 8.5}, {9, 18}}));
        line(p, 13.5, 7.5, 16.5, 10.5);
    };
    g["link"] = [](QPainter &p, const QColor &) {
        p.save();
        p.translate(12, 12);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-9.5, -3.2, 11, 6.4), 3.2, 3.2);
        p.drawRoundedRect(QRectF(-1.5, -3.2, 11, 6.4), 3.2, 3.2);
        p.restore();
    };
    g["star"] = [](QPainter &p, const QColor &) { p.drawPath(star(12, 12.6, 9, 3.8)); };
    g["star-on"] = [](QPainter &p, const QColor &) { fill(p, star(12, 12.6, 9, 3.8), Alert); };
    return g;
}

// Draws a glyph into a box of the picture, in that ink.
void drawGlyph(QPainter &p, const QString &name, const QRectF &box, const QColor &ink)
{
    static const QMap<QString, Glyph> all = glyphs();
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 24, box.height() / 24);
    QPen pen(ink, StrokePixels, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    all.value(name)(p, ink);
    p.restore();
}

// ---------------------------------------------------------------------------
// Pictures made of glyphs

enum class Look {
    Normal,   // light grey ink
    Hovered,  // white ink on a faint disc
    Selected, // white ink on the highlight red
    Danger,   // white ink on the alert red (close buttons under the pointer)
    Quiet,    // dimmed ink
    Plain,    // white ink alone
};

Painting icon(const QString &glyph, Look look = Look::Normal, double glyphShare = 1.0)
{
    return [=](QPainter &p, const QSizeF &size) {
        const double side = std::min(size.width(), size.height());
        const QRectF square((size.width() - side) / 2, (size.height() - side) / 2, side, side);
        QColor ink = Ink;
        switch (look) {
        case Look::Normal:
            break;
        case Look::Quiet:
            ink = InkQuiet;
            break;
        case Look::Plain:
            ink = InkHover;
            break;
        case Look::Hovered:
            disc(p, size.width() / 2, size.height() / 2, side / 2, QColor(255, 255, 255, 34));
            ink = InkHover;
            break;
        case Look::Danger:
            disc(p, size.width() / 2, size.height() / 2, side / 2, Alert);
            ink = InkHover;
            break;
        case Look::Selected: {
            QLinearGradient gradient(square.topLeft(), square.bottomLeft());
            gradient.setColorAt(0, Highlight.lighter(115));
            gradient.setColorAt(1, Menu);
            p.setPen(Qt::NoPen);
            p.setBrush(gradient);
            p.drawRoundedRect(square.adjusted(1, 1, -1, -1), side * 0.18, side * 0.18);
            ink = InkHover;
            break;
        }
        }
        const double inner = side * glyphShare;
        const QRectF box(square.center().x() - inner / 2, square.center().y() - inner / 2, inner, inner);
        drawGlyph(p, glyph, box, ink);
    };
}

// A pane tile: the glyph at half the tile, plain, hovered or selected.
Painting tile(const QString &glyph, Look look)
{
    return icon(glyph, look, 0.5);
}

// ---------------------------------------------------------------------------
// Brand pictures

QFont brandFont(double pixelSize, QFont::Weight weight)
{
    QFont font(QStringLiteral("Roboto"));
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setWeight(weight);
    return font;
}

// The Tavri mark: a red rounded square with a white speech bubble holding
// three voice bars.
void drawMark(QPainter &p, const QRectF &box)
{
    p.save();
    QLinearGradient gradient(box.topLeft(), box.bottomRight());
    gradient.setColorAt(0, Alert);
    gradient.setColorAt(1, Menu);
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(box, box.width() * 0.22, box.height() * 0.22);
    p.translate(box.topLeft());
    p.scale(box.width() / 24, box.height() / 24);
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(bubble().translated(0, 0.6));
    QPen bars(Highlight, 1.7, Qt::SolidLine, Qt::RoundCap);
    p.setPen(bars);
    line(p, 9, 10, 9, 12.4);
    line(p, 12, 8.3, 12, 14.1);
    line(p, 15, 10, 15, 12.4);
    p.restore();
}

void drawWordmark(QPainter &p, const QRectF &box, double pixelSize, Qt::Alignment alignment)
{
    p.save();
    p.setFont(brandFont(pixelSize, QFont::Medium));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(box.translated(0, pixelSize * 0.04), alignment, QStringLiteral("Tavri"));
    p.setPen(QColor(0xf2, 0xf2, 0xf2));
    p.drawText(box, alignment, QStringLiteral("Tavri"));
    p.restore();
}

Painting mark(double margin)
{
    return [=](QPainter &p, const QSizeF &size) {
        drawMark(p, QRectF(margin, margin, size.width() - 2 * margin, size.height() - 2 * margin));
    };
}

void splashLogo(QPainter &p, const QSizeF &size)
{
    const double side = size.width() * 0.62;
    drawMark(p, QRectF((size.width() - side) / 2, size.height() * 0.08, side, side));
    drawWordmark(p, QRectF(0, size.height() * 0.72, size.width(), size.height() * 0.24), size.height() * 0.17,
                 Qt::AlignCenter);
}

void themeLogo(QPainter &p, const QSizeF &size)
{
    const double side = size.height() * 0.64;
    const double top = (size.height() - side) / 2;
    drawMark(p, QRectF(top, top, side, side));
    drawWordmark(p, QRectF(2 * top + side, 0, size.width() - 2 * top - side, size.height()), size.height() * 0.5,
                 Qt::AlignLeft | Qt::AlignVCenter);
}

// The "Powered by" mark of the voice platform: a red ring crossed by a
// sound wave, over the platform's name.
void platformLogo(QPainter &p, const QSizeF &size)
{
    const double s = size.width() / 100;
    p.save();
    p.scale(s, s);
    QLinearGradient gradient(24, 10, 76, 62);
    gradient.setColorAt(0, Alert);
    gradient.setColorAt(1, Highlight);
    p.setPen(QPen(QBrush(gradient), 7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 36), 25, 25);
    QPainterPath wave;
    wave.moveTo(31, 36);
    const double heights[] = {-7, 12, -16, 12, -7};
    for (int i = 0; i < 5; ++i)
        wave.quadTo(34.8 + 7.6 * i, 36 + heights[i], 38.6 + 7.6 * i, 36);
    p.setPen(QPen(Ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wave);
    p.setFont(brandFont(15, QFont::Bold));
    p.setPen(Ink);
    p.drawText(QRectF(0, 70, 100, 24), Qt::AlignCenter, QStringLiteral("OSTREL"));
    p.restore();
}

// ---------------------------------------------------------------------------
// Backgrounds and fills

void darkGround(QPainter &p, const QSizeF &size)
{
    QLinearGradient ground(0, 0, 0, size.height());
    ground.setColorAt(0, QColor(0x2c, 0x2c, 0x2c));
    ground.setColorAt(1, QColor(0x12, 0x12, 0x12));
    p.fillRect(QRectF(QPointF(0, 0), size), ground);
    QRadialGradient glow(QPointF(size.width() * 0.85, size.height()), size.width() * 0.7);
    glow.setColorAt(0, QColor(0x54, 0x00, 0x00, 150));
    glow.setColorAt(1, QColor(0x54, 0x00, 0x00, 0));
    p.fillRect(QRectF(QPointF(0, 0), size), glow);
}

// Faint sound waves spreading from a point.
void waveRings(QPainter &p, const QPointF &centre, double first, double step, int count, int alpha)
{
    p.save();
    QPen pen(QColor(255, 255, 255, alpha), StrokePixels / 2);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i)
        p.drawEllipse(centre, first + i * step, first + i * step);
    p.restore();
}

void loginBackground(QPainter &p, const QSizeF &size)
{
    darkGround(p, size);
    waveRings(p, QPointF(size.width() * 0.9, size.height() * 1.1), 60, 34, 12, 12);
}

// A sketched window: a frame with a title bar in the menu red.
void sketchWindow(QPainter &p, const QRectF &frame)
{
    QPen pen(InkQuiet, StrokePixels / 2);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(QColor(0x1e, 0x1e, 0x1e));
    p.drawRoundedRect(frame, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(Menu);
    QPainterPath bar;
    bar.setFillRule(Qt::WindingFill);
    bar.addRoundedRect(QRectF(frame.left(), frame.top(), frame.width(), 26), 6, 6);
    bar.addRect(QRectF(frame.left(), frame.top() + 13, frame.width(), 13));
    p.drawPath(bar.simplified());
}

void sketchRow(QPainter &p, double left, double y, double width, int shade)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x3a, 0x3a));
    p.drawRoundedRect(QRectF(left, y, 30, 30), 5, 5);
    p.drawRoundedRect(QRectF(left + 40, y + 6, width * (0.6 - 0.06 * shade), 8), 4, 4);
    p.setBrush(QColor(0x2e, 0x2e, 0x2e));
    p.drawRoundedRect(QRectF(left + 40, y + 19, width * 0.38, 6), 3, 3);
}

void highlight(QPainter &p, const QRectF &area)
{
    QPen pen(Alert, StrokePixels);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(QColor(0xd6, 0x20, 0x2c, 26));
    p.drawRoundedRect(area, 6, 6);
}

// A placeholder tutorial slide: a sketch of the main frame (and, for the
// chat slide, a conversation window) with the slide's subject outlined in
// red, until the slides are grabbed from the program's own windows.
void tutorialSlide(QPainter &p, const QSizeF &size, int number, const QString &title)
{
    darkGround(p, size);
    const bool chat = number == 5;
    const QRectF frame(size.width() * (chat ? 0.14 : 0.33), size.height() * 0.1, size.width() * 0.34,
                       size.height() * 0.64);
    sketchWindow(p, frame);
    const double inset = frame.left() + 14, width = frame.width() - 28;

    // Header: the user's picture, name and presence.
    const QRectF header(frame.left() + 8, frame.top() + 34, frame.width() - 16, 58);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x4a, 0x4a));
    p.drawRoundedRect(QRectF(inset, header.top() + 6, 46, 46), 6, 6);
    p.setBrush(QColor(0x44, 0x44, 0x44));
    p.drawRoundedRect(QRectF(inset + 56, header.top() + 12, width * 0.45, 10), 5, 5);
    disc(p, inset + 61, header.top() + 36, 4, Online);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(inset + 72, header.top() + 32, width * 0.3, 7), 3, 3);

    // The four pane buttons, with the slide's pane selected.
    const QStringList panes{"channels", "contacts", "person-plus", "clock"};
    const int selected = number == 2 ? 0 : number == 3 ? 1 : number == 4 ? 3 : -1;
    const double tile = 34, gap = (width - 4 * tile) / 3, tilesTop = header.bottom() + 10;
    for (int i = 0; i < panes.size(); ++i) {
        const QRectF box(inset + i * (tile + gap), tilesTop, tile, tile);
        if (i == selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(Highlight);
            p.drawRoundedRect(box, 6, 6);
        }
        drawGlyph(p, panes[i], box.adjusted(7, 7, -7, -7), i == selected ? InkHover : Ink);
    }

    // The pane's list.
    const double listTop = tilesTop + tile + 16;
    for (int row = 0; row < 5; ++row)
        sketchRow(p, inset, listTop + row * 42, width, row % 3);

    if (number == 1)
        highlight(p, header);
    else if (!chat)
        highlight(p, QRectF(frame.left() + 8, tilesTop - 6, frame.width() - 16, frame.bottom() - tilesTop - 2));
    if (chat) {
        const QRectF window(size.width() * 0.52, frame.top() + 30, size.width() * 0.34, frame.height() - 30);
        sketchWindow(p, window);
        const double left = window.left() + 14, right = window.right() - 14;
        for (int i = 0; i < 4; ++i) {
            const bool mine = i % 2;
            const double w = (right - left) * (0.55 + 0.1 * (i % 3));
            const QRectF bubbleBox(mine ? right - w : left, window.top() + 42 + i * 52, w, 38);
            p.setPen(Qt::NoPen);
            p.setBrush(mine ? QColor(0x4a, 0x4a, 0x4a) : QColor(0x36, 0x36, 0x36));
            p.drawRoundedRect(bubbleBox, 8, 8);
        }
        p.setBrush(QColor(0x2a, 0x2a, 0x2a));
        p.drawRoundedRect(QRectF(left, window.bottom() - 44, right - left, 30), 6, 6);
        highlight(p, window.adjusted(-6, -6, 6, 6));
    }

    p.setFont(brandFont(30, QFont::Medium));
    p.setPen(QColor(0xf2, 0xf2, 0xf2));
    p.drawText(QRectF(0, size.height() * 0.8, size.width(), 44), Qt::AlignCenter, title);
    p.setFont(brandFont(16, QFont::Normal));
    p.setPen(InkQuiet);
    p.drawText(QRectF(0, size.height() * 0.8 + 46, size.width(), 24), Qt::AlignCenter,
               QStringLiteral("%1 / 5").arg(number));
}

void editOverlay(QPainter &p, const QSizeF &size, bool hovered)
{
    const QRectF band(0, size.height() * 0.75, size.width(), size.height() * 0.25);
    p.fillRect(band, hovered ? QColor(0x9c, 0x00, 0x00, 215) : QColor(0, 0, 0, 140));
    const double side = band.height() * 0.7;
    drawGlyph(p, QStringLiteral("pencil"),
              QRectF(band.center().x() - side / 2, band.center().y() - side / 2, side, side), InkHover);
}

void defaultAvatar(QPainter &p, const QSizeF &size)
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), size), size.width() * 0.1, size.width() * 0.1);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, QColor(0x6a, 0x6a, 0x6a));
    gradient.setColorAt(1, QColor(0x46, 0x46, 0x46));
    p.fillPath(shape, gradient);
    p.save();
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    const double w = size.width();
    p.drawEllipse(QPointF(w / 2, w * 0.4), w * 0.18, w * 0.18);
    p.drawEllipse(QPointF(w / 2, w * 1.02), w * 0.38, w * 0.36);
    p.restore();
}

void presenceDot(QPainter &p, const QSizeF &size, const QColor &color)
{
    const double r = size.width() / 2 - 0.5;
    QRadialGradient gradient(QPointF(size.width() * 0.4, size.height() * 0.35), r * 1.3);
    gradient.setColorAt(0, color.lighter(125));
    gradient.setColorAt(1, color.darker(115));
    p.setPen(QPen(QColor(0, 0, 0, 110), 1));
    p.setBrush(gradient);
    p.drawEllipse(QPointF(size.width() / 2, size.height() / 2), r, r);
}

QMap<QString, Painting> paintings()
{
    QMap<QString, Painting> m;
    // Brand
    m["Logo.png"] = mark(1);
    m["Splash.png"] = mark(3);
    m["tavri_gradient_logo.png"] = mark(2);
    m["Tavri_Logo_Clean_01_Medium.png"] = splashLogo;
    m["Logo_RedOstrel_01.png"] = platformLogo;
    m["login_theme_logo.png"] = themeLogo;
    m["mainframe_logo.png"] = themeLogo;
    m["login_background.png"] = loginBackground;
    // Login window
    m["Icon_Login_ForgotPW_Static.png"] = icon("question");
    m["Icon_Login_ForgotPW_Hover.png"] = icon("question", Look::Plain);
    // Window frame buttons
    for (auto [file, glyph] : {std::pair{"btn_close", "close"},
                               {"btn_minimize", "minimize"},
                               {"btn_menu", "menu"},
                               {"btn_settings", "gear"}}) {
        m[QString(file) + ".png"] = icon(glyph);
        m[QString(file) + "_hover.png"] = icon(glyph, QString(glyph) == "close" ? Look::Danger : Look::Hovered);
    }
    // Settings navigation
    m["settings_general.png"] = icon("sliders");
    m["settings_audio.png"] = icon("speaker-waves");
    m["settings_profile.png"] = icon("person");
    m["settings_sounds.png"] = icon("note");
    m["Channel_EditImage_Static.png"] = [](QPainter &p, const QSizeF &s) { editOverlay(p, s, false); };
    m["Channel_EditImage_Hover.png"] = [](QPainter &p, const QSizeF &s) { editOverlay(p, s, true); };
    // Main frame header
    m["user_online_9px-01.png"] = [](QPainter &p, const QSizeF &s) { presenceDot(p, s, Online); };
    m["user_away_9px-01.png"] = [](QPainter &p, const QSizeF &s) { presenceDot(p, s, Away); };
    m["user_offline_9px-01.png"] = [](QPainter &p, const QSizeF &s) { presenceDot(p, s, InkQuiet); };
    m["channel_expand.png"] = icon("caret-down");
    m["channel_expand_hover.png"] = icon("caret-down", Look::Plain);
    m["channel_collapse.png"] = icon("caret-right");
    m["channel_collapse_hover.png"] = icon("caret-right", Look::Plain);
    m["skin.png"] = icon("palette", Look::Normal, 0.8);
    m["skin_hover.png"] = icon("palette", Look::Hovered, 0.8);
    m["report_issue.png"] = icon("flag", Look::Normal, 0.8);
    m["report_issue_hover.png"] = icon("flag", Look::Hovered, 0.8);
    for (auto [file, glyph] : {std::pair{"pane_channels", "channels"},
                               {"pane_contacts", "contacts"},
                               {"pane_find_friends", "person-plus"},
                               {"pane_recent", "clock"}}) {
        m[QString(file) + ".png"] = tile(glyph, Look::Normal);
        m[QString(file) + "_hover.png"] = tile(glyph, Look::Hovered);
        m[QString(file) + "_selected.png"] = tile(glyph, Look::Selected);
    }
    m["clear_all.png"] = icon("clear");
    m["clear_all_hover.png"] = icon("clear", Look::Plain);
    m["icon_update_available.png"] = [](QPainter &p, const QSizeF &s) {
        disc(p, s.width() / 2, s.height() / 2, s.width() / 2, Alert);
        drawGlyph(p, "arrow-down", QRectF(QPointF(0, 0), s), InkHover);
    };
    m["icon_close_main.png"] = icon("close");
    // Main frame panes
    for (auto [file, glyph] : {std::pair{"find_channels", "search"},
                               {"add_channel", "plus-circle"},
                               {"add_contact_group", "folder-plus"},
                               {"add_contact", "person-plus"}}) {
        m[QString(file) + ".png"] = icon(glyph);
        m[QString(file) + "_hover.png"] = icon(glyph, Look::Hovered);
    }
    m["add_friend.png"] = icon("person-plus", Look::Normal, 0.75);
    m["remove_friend.png"] = icon("person-minus", Look::Normal, 0.75);
    m["start_conversation.png"] = icon("chat", Look::Normal, 0.6);
    m["start_conversation_hover.png"] = icon("chat", Look::Hovered, 0.6);
    m["Main_Btn_Close_01.png"] = icon("close");
    m["Main_Btn_Close_Hover_01.png"] = icon("close", Look::Danger);
    m["channel_edit.png"] = icon("pencil");
    m["channel_link.png"] = icon("link");
    m["channel_favorite.png"] = icon("star");
    m["channel_favorite_on.png"] = icon("star-on");
    // Fills
    m["background.png"] = [](QPainter &p, const QSizeF &s) {
        p.fillRect(QRectF(QPointF(0, 0), s), QColor(255, 255, 255, 6));
        QPen pen(QColor(255, 255, 255, 10), 1);
        p.setPen(pen);
        for (double x = -s.width(); x < s.width(); x += 8)
            p.drawLine(QPointF(x, s.height()), QPointF(x + s.height(), 0));
    };
    m["mainframe_header_fill.png"] = [](QPainter &p, const QSizeF &s) {
        waveRings(p, QPointF(s.width() * 1.05, s.height() * 0.5), 16, 14, 12, 14);
    };
    m["notification_fill.png"] = [](QPainter &p, const QSizeF &s) {
        p.fillRect(QRectF(QPointF(0, 0), s), QColor(0, 0, 0, 72));
    };
    m["content_fill.png"] = [](QPainter &p, const QSizeF &s) {
        for (double x = 8; x < s.width(); x += 16)
            for (double y = 8; y < s.height(); y += 16)
                disc(p, x, y, 0.8, QColor(255, 255, 255, 12));
    };
    m["content_topleft.png"] = [](QPainter &p, const QSizeF &s) {
        p.setOpacity(0.06);
        drawMark(p, QRectF(-s.width() * 0.2, -s.height() * 0.2, s.width(), s.height()));
    };
    m["section_title.png"] = [](QPainter &p, const QSizeF &s) {
        QLinearGradient gradient(0, 0, 0, s.height());
        gradient.setColorAt(0, QColor(255, 255, 255, 18));
        gradient.setColorAt(1, QColor(0, 0, 0, 50));
        p.fillRect(QRectF(QPointF(0, 0), s), gradient);
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), Highlight);
    };
    m["row_hover_left.png"] = [](QPainter &p, const QSizeF &s) {
        p.fillRect(QRectF(0, 0, 3, s.height()), Alert);
        p.fillRect(QRectF(3, 0, s.width() - 3, s.height()), QColor(0x9c, 0x00, 0x00, 90));
    };
    m["row_hover_right.png"] = [](QPainter &p, const QSizeF &s) {
        QLinearGradient gradient(0, 0, s.width(), 0);
        gradient.setColorAt(0, QColor(0x9c, 0x00, 0x00, 90));
        gradient.setColorAt(1, QColor(0x9c, 0x00, 0x00, 10));
        p.fillRect(QRectF(QPointF(0, 0), s), gradient);
    };
    // Participants and conversations
    m["participant_speaking.png"] = icon("speaker-speaking");
    m["participant_muted.png"] = icon("mic-muted");
    m["volume_off.png"] = icon("speaker-off", Look::Quiet);
    m["volume_low.png"] = icon("speaker-1");
    m["volume_medium.png"] = icon("speaker-2");
    m["volume_high.png"] = icon("speaker-3");
    m["conversation_muted.png"] = icon("bell-muted", Look::Quiet);
    m["conversation_unmuted.png"] = icon("bell");
    m["avatar_default.png"] = defaultAvatar;
    m["star.png"] = icon("star-on");
    // Audio and cue settings
    m["icon_speaking.png"] = icon("speaker");
    m["icon_muted.png"] = icon("speaker-muted");
    m["speaking.png"] = icon("speaker", Look::Plain);
    m["mute.png"] = icon("speaker-muted", Look::Plain);
    m["microphone_small_unmuted.png"] = icon("mic-live");
    m["microphone_small_muted.png"] = icon("mic-idle", Look::Quiet);
    m["icon_play.png"] = icon("play");
    m["icon_stop.png"] = icon("stop");
    m["icon_undo.png"] = icon("undo");
    // Tutorial slides
    const QStringList titles{"Main frame", "Channels", "Contacts", "Recent history", "Chat"};
    const QStringList files{"tutorial_slide1_mainframe.png", "tutorial_slide2_channels.png",
                            "tutorial_slide3_contacts.png", "tutorial_slide4_recents.png", "tutorial_slide5_chat.png"};
    for (int i = 0; i < files.size(); ++i)
        m[files[i]] = [i, title = titles[i]](QPainter &p, const QSizeF &s) { tutorialSlide(p, s, i + 1, title); };
    return m;
}

const QMap<QString, Painting> &allPaintings()
{
    static const QMap<QString, Painting> all = paintings();
    return all;
}

} // namespace

QImage draw(const QString &fileName, const QSize &size)
{
    const auto found = allPaintings().constFind(fileName);
    if (found == allPaintings().constEnd() || !size.isValid())
        return {};
    QImage large(size * 2, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    QPainter painter(&large);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(2, 2);
    (*found)(painter, QSizeF(size));
    painter.end();
    return large.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_ARGB32);
}

QStringList names()
{
    return allPaintings().keys();
}

} // namespace artwork
