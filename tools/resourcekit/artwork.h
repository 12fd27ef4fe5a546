#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// Tavri's pictures, drawn with QPainter. Every picture is drawn at twice its
// size and scaled down. The family rules: line glyphs on a 24-unit grid with
// one stroke weight (1.5 px in the final picture), light grey ink on a
// transparent background, white ink when hovered, white on the accent red
// when selected, and the brand red only for what must stand out.
namespace artwork {

// Draws the picture of that file name ("Logo.png") at that size; a null image
// when the name is unknown.
QImage draw(const QString &fileName, const QSize &size);

// The file names draw() knows.
QStringList names();

} // namespace artwork
