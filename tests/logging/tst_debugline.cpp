// A debug line made without QDebug's text stream reaches the message handler
// exactly as qDebug() would hand it over: the same text for the same items,
// the same category, level and source file, and nothing at all while debug
// messages are off.

#include "debugline.h"
#include "logcapture.h"
#include "testenvironment.h"

#include <QLoggingCategory>
#include <QtTest>

#include <functional>
#include <limits>

class TestDebugLine : public QObject
{
    Q_OBJECT

private slots:
    void sameMessageAsQDebug_data();
    void sameMessageAsQDebug();
    void itemsOfEachKind();
    void nothingWhileDebugIsOff();
};

void TestDebugLine::sameMessageAsQDebug_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("h-text");
    QTest::newRow("address") << QStringLiteral("sip:u-b1-2@example.test");
    QTest::newRow("empty") << QString(QLatin1String(""));
    QTest::newRow("null") << QString();
    QTest::newRow("spaces") << QStringLiteral("  a b  ");
    QTest::newRow("quote") << QStringLiteral("say \"hi\"");
    QTest::newRow("backslash") << QStringLiteral("a\\b\\");
    QTest::newRow("line feed and tab") << QStringLiteral("a\nb\tc\r");
    QTest::newRow("other controls") << QString::fromUtf8("\x01\x1b\x7f");
    QTest::newRow("latin and accents") << QString::fromUtf8("Dvo\xc5\x99\xc3\xa1k a\xcc\x81");
    QTest::newRow("soft hyphen and no-break space") << QString::fromUtf8("a\xc2\xad\xc2\xa0z");
    QTest::newRow("emoji") << QString::fromUtf8("\xf0\x9f\x98\x80!");
    QTest::newRow("lone surrogates") << QString(QChar(0xd83d)) + QLatin1Char('x') + QChar(0xde00);
    QTest::newRow("unassigned and private use") << QString(QChar(0x0378)) + QChar(0xe000) + QChar(0xfffe);
    QTest::newRow("tilde and space edges") << QStringLiteral("~ ");
}

void TestDebugLine::sameMessageAsQDebug()
{
    QFETCH(QString, text);
    LogCapture log;
    qDebug() << "Class::method" << text << text;
    tavriDebugLine() << "Class::method" << text << text;
    const QList<CapturedLine> lines = log.lines();
    QCOMPARE(lines.size(), 2);
    const CapturedLine &expected = lines.at(0);
    const CapturedLine &made = lines.at(1);
    QCOMPARE(made.message, expected.message);
    QCOMPARE(made.type, QtDebugMsg);
    QCOMPARE(made.category, expected.category);
    QCOMPARE(made.file, expected.file);
    QCOMPARE(made.function, expected.function);
    QCOMPARE(made.line, expected.line + 1);
}

void TestDebugLine::itemsOfEachKind()
{
    // C strings as they are (empty ones still separated), numbers in
    // decimals, a first item that is empty, and one item alone.
    const struct {
        std::function<void()> viaQDebug;
        std::function<void()> viaLine;
    } rows[] = {
        {[] {
             qDebug() << ""
                      << "a"
                      << ""
                      << ""
                      << "b"
                      << "";
         },
         [] {
             tavriDebugLine() << ""
                              << "a"
                              << ""
                              << ""
                              << "b"
                              << "";
         }},
        {[] { qDebug() << "n" << 0 << -17 << 2147483647 << std::numeric_limits<int>::min(); },
         [] { tavriDebugLine() << "n" << 0 << -17 << 2147483647 << std::numeric_limits<int>::min(); }},
        {[] { qDebug() << "caf\xc3\xa9 \"x\"" << QStringLiteral("y"); },
         [] { tavriDebugLine() << "caf\xc3\xa9 \"x\"" << QStringLiteral("y"); }},
        {[] { qDebug() << static_cast<const char *>(nullptr) << "z"; },
         [] { tavriDebugLine() << static_cast<const char *>(nullptr) << "z"; }},
        {[] { qDebug() << QStringLiteral("alone"); }, [] { tavriDebugLine() << QStringLiteral("alone"); }},
        {[] { qDebug(); }, [] { tavriDebugLine(); }},
    };
    for (const auto &row : rows) {
        LogCapture log;
        row.viaQDebug();
        row.viaLine();
        const QList<CapturedLine> lines = log.lines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(1).message, lines.at(0).message);
    }
}

void TestDebugLine::nothingWhileDebugIsOff()
{
    LogCapture log;
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    qDebug() << "off" << QStringLiteral("x");
    tavriDebugLine() << "off" << QStringLiteral("x") << 1;
    qWarning() << "marker";
    QLoggingCategory::setFilterRules(QString());
    tavriDebugLine() << "on again";
    const QList<CapturedLine> lines = log.lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).message, QStringLiteral("marker"));
    QCOMPARE(lines.at(1).message, QStringLiteral("on again"));
}

TAVRI_TEST_GUILESS_MAIN(TestDebugLine)
#include "tst_debugline.moc"
