// The resource kit: every picture, font and sound that resources.txt lists
// opens from where the program looks for it, with the size, format and shape
// the windows and the audio cues expect.

#include "logcapture.h"
#include "resourcetable.h"
#include "urlschemeregistration.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QImage>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// The fields of a PCM WAV file that the checks need; `error` says what is
// wrong with a file that is not one.
struct Wav {
    int format = 0, channels = 0, sampleRate = 0, bits = 0;
    QVector<qint16> samples;
    QString error;

    double seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0; }
    int peak(int from = 0, int to = -1) const
    {
        int peak = 0;
        for (int i = from; i < (to < 0 ? samples.size() : to); ++i)
            peak = std::max(peak, std::abs(int(samples[i])));
        return peak;
    }
    // Sign changes per second over [from, to): the pitch the ear hears.
    double crossingRate(int from, int to) const
    {
        int crossings = 0;
        for (int i = from + 1; i < to; ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        return double(crossings) * sampleRate / (to - from);
    }
};

Wav readWav(const QByteArray &data)
{
    Wav wav;
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE") {
        wav.error = QStringLiteral("not a RIFF WAVE file");
        return wav;
    }
    const auto u16 = [&](int at) { return int(qFromLittleEndian<quint16>(data.constData() + at)); };
    const auto u32 = [&](int at) { return qint64(qFromLittleEndian<quint32>(data.constData() + at)); };
    for (int at = 12; at + 8 <= data.size();) {
        const QByteArray id = data.mid(at, 4);
        const qint64 size = u32(at + 4);
        if (at + 8 + size > data.size()) {
            wav.error = QStringLiteral("chunk %1 runs past the end").arg(QString::fromLatin1(id));
            return wav;
        }
        if (id == "fmt ") {
            wav.format = u16(at + 8);
            wav.channels = u16(at + 10);
            wav.sampleRate = int(u32(at + 12));
            wav.bits = u16(at + 22);
        } else if (id == "data") {
            wav.samples.resize(int(size / 2));
            for (int i = 0; i < wav.samples.size(); ++i)
                wav.samples[i] = qFromLittleEndian<qint16>(data.constData() + at + 8 + 2 * i);
        }
        at += 8 + int(size) + int(size % 2);
    }
    if (!wav.sampleRate || wav.samples.isEmpty())
        wav.error = QStringLiteral("no fmt or no data chunk");
    return wav;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString fileName(const ResourceEntry &entry)
{
    return QFileInfo(entry.relativePath()).fileName();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tableListsEveryCompiledFile();
    void everyNamedPathIsListed();
    void pictures_data();
    void pictures();
    void fonts_data();
    void fonts();
    void licence();
    void sounds_data();
    void sounds();
    void linkIconIsCopiedWithoutWarning();

private:
    QVector<ResourceEntry> entriesOfKind(const QStringList &kinds) const;
    QVector<ResourceEntry> m_entries;
};

void TestResources::initTestCase()
{
    QString error;
    m_entries = readResourceTable(QStringLiteral(TAVRI_SOURCE_DIR "/resources.txt"), &error);
    QVERIFY2(!m_entries.isEmpty(), qPrintable(error));
}

QVector<ResourceEntry> TestResources::entriesOfKind(const QStringList &kinds) const
{
    QVector<ResourceEntry> found;
    for (const ResourceEntry &entry : m_entries)
        if (kinds.contains(entry.kind) || (kinds.contains(QStringLiteral("picture")) && entry.isPicture()))
            found.append(entry);
    return found;
}

// A file compiled in without a line in the table would escape every check
// below, and a line twice would hide a typo in the other.
void TestResources::tableListsEveryCompiledFile()
{
    QStringList listed;
    for (const ResourceEntry &entry : m_entries) {
        QVERIFY2(!listed.contains(entry.path), qPrintable(entry.path + " is listed twice"));
        listed << entry.path;
    }
    for (const QString &folder :
         {QStringLiteral(":/textures"), QStringLiteral(":/fonts"), QStringLiteral(":/sounds")}) {
        QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(files.hasNext(), qPrintable(folder + " is not compiled in"));
        while (files.hasNext()) {
            const QString path = QStringLiteral("qrc") + files.next();
            QVERIFY2(listed.contains(path), qPrintable(path + " is missing from resources.txt"));
        }
    }
}

// A picture, font or sound named in the program's QML or C++ but missing from
// the table (a typo, or a file never made) would show as an empty space or
// silence; the table's files are the ones checked below. Names put together
// at run time ("channel_" + state) are beyond this check.
void TestResources::everyNamedPathIsListed()
{
    QStringList listed;
    for (const ResourceEntry &entry : m_entries)
        listed << entry.path;
    static const QRegularExpression named(
        QStringLiteral("(?:qrc)?:/((?:textures|fonts|sounds)/[A-Za-z0-9_%-]+\\.(?:png|jpg|ttf|wav))"));
    int found = 0;
    for (const QString &folder : {QStringLiteral(TAVRI_SOURCE_DIR "/qml"), QStringLiteral(TAVRI_SOURCE_DIR "/cpp")}) {
        QDirIterator files(folder, {"*.qml", "*.js", "*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString text = QString::fromUtf8(readAll(path));
            for (auto match = named.globalMatch(text); match.hasNext();) {
                const QString resource = QStringLiteral("qrc:/") + match.next().captured(1);
                ++found;
                QVERIFY2(listed.contains(resource), qPrintable(path + " names " + resource + ", which is not listed"));
            }
        }
    }
    QVERIFY(found > 0); // at least the tray icon and the splash
}

void TestResources::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const ResourceEntry &entry : entriesOfKind({QStringLiteral("picture")}))
        QTest::newRow(qPrintable(fileName(entry))) << entry.resourcePath() << entry.size();
}

// Every picture opens at the size the windows lay it out at; the small square
// ones (icons, dots, tiles) have see-through corners, so they sit on any
// background the style paints.
void TestResources::pictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + " does not open"));
    QCOMPARE(image.size(), size);
    if ((size.width() == size.height() && size.width() <= 64) || path.endsWith("Tavri_Logo_Clean_01_Medium.png")) {
        QVERIFY2(image.hasAlphaChannel(), qPrintable(path));
        QVERIFY2(qAlpha(image.pixel(0, 0)) < 255 && qAlpha(image.pixel(size.width() - 1, size.height() - 1)) < 255,
                 qPrintable(path + " has an opaque corner"));
    }
}

void TestResources::fonts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("family");
    QTest::newRow("condensed") << ":/fonts/Roboto-Condensed.ttf"
                               << "Roboto Condensed";
    QTest::newRow("bold condensed") << ":/fonts/Roboto-BoldCondensed.ttf"
                                    << "Roboto Condensed";
    QTest::newRow("regular") << ":/fonts/Roboto-Regular.ttf"
                             << "Roboto";
    QTest::newRow("medium") << ":/fonts/Roboto-Medium.ttf"
                            << "Roboto";
    QTest::newRow("bold") << ":/fonts/Roboto-Bold.ttf"
                          << "Roboto";
}

void TestResources::fonts()
{
    QFETCH(QString, path);
    QFETCH(QString, family);
    QVERIFY2(std::any_of(m_entries.cbegin(), m_entries.cend(),
                         [&](const ResourceEntry &entry) { return entry.resourcePath() == path; }),
             qPrintable(path + " is missing from resources.txt"));
    const int id = QFontDatabase::addApplicationFont(path);
    QVERIFY2(id >= 0, qPrintable(path + " is refused"));
    QVERIFY(QFontDatabase::applicationFontFamilies(id).contains(family));
}

void TestResources::licence()
{
    QVERIFY(readAll(QStringLiteral(":/fonts/LICENSE.txt")).contains("Apache License"));
}

void TestResources::sounds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("direction"); // 1 rising, -1 falling, 0 either
    for (const ResourceEntry &entry : entriesOfKind({QStringLiteral("cue"), QStringLiteral("tone")})) {
        const QString name = fileName(entry);
        int direction = 0;
        if (QRegularExpression(QStringLiteral("enters|unmutes|online")).match(name).hasMatch())
            direction = 1;
        else if (QRegularExpression(QStringLiteral("exits|_mutes|offline")).match(name).hasMatch())
            direction = -1;
        const QString beside = QStringLiteral(TAVRI_PROGRAM_DIR "/") + entry.relativePath();
        if (entry.inResources())
            QTest::newRow(qPrintable(QStringLiteral("compiled in ") + name))
                << entry.resourcePath() << entry.kind << direction;
        QTest::newRow(qPrintable(QStringLiteral("beside the program ") + name)) << beside << entry.kind << direction;
    }
}

// Each sound plays on any output as the cue settings expect: 16-bit mono PCM
// at 44.1 kHz, a cue short enough never to be cut, at most -6 dBFS, faded in
// and out so it starts and ends without a click, and a two-note cue moving
// the way its event goes.
void TestResources::sounds()
{
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(int, direction);
    const Wav wav = readWav(readAll(path));
    QVERIFY2(wav.error.isEmpty(), qPrintable(path + ": " + wav.error));
    QCOMPARE(wav.format, 1);
    QCOMPARE(wav.channels, 1);
    QCOMPARE(wav.sampleRate, 44100);
    QCOMPARE(wav.bits, 16);
    if (kind == QLatin1String("cue")) {
        QVERIFY2(wav.seconds() >= 0.15 && wav.seconds() <= 0.8, qPrintable(QString::number(wav.seconds())));
    } else {
        QVERIFY2(wav.seconds() >= 2.0 && wav.seconds() <= 3.0, qPrintable(QString::number(wav.seconds())));
    }
    const int fullScale = 32767;
    QVERIFY2(wav.peak() <= std::lround(fullScale * std::pow(10.0, -6.0 / 20)), qPrintable(QString::number(wav.peak())));
    QVERIFY2(wav.peak() >= fullScale / 10, "too quiet to hear");
    const int count = wav.samples.size();
    QVERIFY(std::abs(wav.samples.first()) < fullScale / 100 && std::abs(wav.samples.last()) < fullScale / 100);
    // The first and the last millisecond stay within the 5 ms fade.
    QVERIFY(wav.peak(0, 44) < wav.peak() / 4);
    QVERIFY(wav.peak(count - 44, count) < wav.peak() / 4);
    if (direction != 0) {
        const double start = wav.crossingRate(0, count / 4);
        const double end = wav.crossingRate(count / 2, count);
        QVERIFY2(direction > 0 ? end > start * 1.15 : start > end * 1.15,
                 qPrintable(QStringLiteral("%1 Hz, then %2 Hz").arg(start).arg(end)));
    }
}

// Settings register the "tavri:" link scheme with the tray logo at every
// start; the logo comes from the program's own resources.
void TestResources::linkIconIsCopiedWithoutWarning()
{
    LogCapture log;
    QVERIFY(host::UrlSchemeRegistration::registerScheme(QStringLiteral("tavri"), QStringLiteral("URL:Tavri Protocol"),
                                                        QStringLiteral("/opt/tavri/tavri"),
                                                        QStringLiteral(":/textures/Logo.png")));
    QVERIFY(log.find(QtWarningMsg, QStringLiteral("Cannot read the link icon")).isEmpty());
    QCOMPARE(QImage(host::UrlSchemeRegistration::iconPath()).size(), QSize(32, 32));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
