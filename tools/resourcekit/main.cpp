// resourcekit: draws Tavri's pictures and synthesises its sounds into the
// source tree, one file for each line of resources.txt.
//
//   resourcekit SOURCE_DIR [--sheet OUT.png]
//
// With --sheet it also lays every picture out on the style's dark grey,
// each at twice its size (large ones shrunk), for a look at the family.
//
// The fonts must already be in SOURCE_DIR/fonts (scripts/make-resources
// copies them first): the brand pictures are lettered in Roboto.

#include "artwork.h"
#include "resourcetable.h"
#include "tones.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

namespace {

bool writeFile(const QString &path, const QByteArray &data, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool make(const QDir &root, const ResourceEntry &entry, QString *error)
{
    const QString target = root.filePath(entry.relativePath());
    const QString name = QFileInfo(target).fileName();
    if (entry.isPicture()) {
        const QImage image = artwork::draw(name, entry.size());
        if (image.isNull()) {
            *error = QStringLiteral("no drawing for %1").arg(name);
            return false;
        }
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!image.save(target, "PNG")) {
            *error = QStringLiteral("cannot write %1").arg(target);
            return false;
        }
        return true;
    }
    if (entry.kind == QLatin1String("cue") || entry.kind == QLatin1String("tone")) {
        const QByteArray wav = tones::wav(name);
        if (wav.isEmpty()) {
            *error = QStringLiteral("no sound for %1").arg(name);
            return false;
        }
        return writeFile(target, wav, error);
    }
    // Fonts and their licence are copied, not made.
    if (!QFileInfo::exists(target)) {
        *error = QStringLiteral("%1 is missing: run scripts/make-resources").arg(target);
        return false;
    }
    return true;
}

// Every picture of the table on one page, on the panel grey of the style.
QImage contactSheet(const QDir &root, const QVector<ResourceEntry> &entries)
{
    const int cell = 150, columns = 8;
    QVector<ResourceEntry> pictures;
    for (const ResourceEntry &entry : entries)
        if (entry.isPicture())
            pictures.append(entry);
    const int rows = (pictures.size() + columns - 1) / columns;
    QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(0x33, 0x33, 0x33));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont font;
    font.setPixelSize(10);
    p.setFont(font);
    for (int i = 0; i < pictures.size(); ++i) {
        const QRect box((i % columns) * cell, (i / columns) * cell, cell, cell);
        if ((i / columns + i % columns) % 2)
            p.fillRect(box, QColor(0x1e, 0x1e, 0x1e));
        QImage image(root.filePath(pictures[i].relativePath()));
        QSize shown = image.size() * 2;
        shown.scale(shown.boundedTo(QSize(cell - 20, cell - 30)), Qt::KeepAspectRatio);
        const QRect target(box.center().x() - shown.width() / 2, box.top() + 6 + (cell - 30 - shown.height()) / 2,
                           shown.width(), shown.height());
        p.drawImage(target,
                    image.scaled(shown, Qt::IgnoreAspectRatio,
                                 shown.width() > image.width() ? Qt::FastTransformation : Qt::SmoothTransformation));
        p.setPen(QColor(0xa0, 0xa0, 0xa0));
        p.drawText(box.adjusted(2, 0, -2, -4), Qt::AlignBottom | Qt::AlignHCenter,
                   QFileInfo(pictures[i].relativePath()).completeBaseName());
    }
    return sheet;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    const bool sheet = args.size() == 4 && args.at(2) == QLatin1String("--sheet");
    if (args.size() != 2 && !sheet) {
        err << "usage: resourcekit SOURCE_DIR [--sheet OUT.png]\n";
        return 2;
    }
    const QDir root(app.arguments().at(1));
    QString error;
    const QVector<ResourceEntry> entries = readResourceTable(root.filePath(QStringLiteral("resources.txt")), &error);
    if (entries.isEmpty()) {
        err << "resourcekit: " << (error.isEmpty() ? QStringLiteral("the table is empty") : error) << "\n";
        return 1;
    }
    for (const QString &font : QDir(root.filePath(QStringLiteral("fonts"))).entryList({QStringLiteral("*.ttf")}))
        QFontDatabase::addApplicationFont(root.filePath(QStringLiteral("fonts/") + font));

    int failures = 0;
    for (const ResourceEntry &entry : entries) {
        if (!make(root, entry, &error)) {
            err << "resourcekit: " << error << "\n";
            ++failures;
        }
    }
    if (sheet && !contactSheet(root, entries).save(args.at(3))) {
        err << "resourcekit: cannot write " << args.at(3) << "\n";
        ++failures;
    }
    QTextStream(stdout) << "resourcekit: " << entries.size() - failures << " of " << entries.size()
                        << " files in place\n";
    return failures ? 1 : 0;
}
