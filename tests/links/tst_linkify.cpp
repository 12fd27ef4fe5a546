// Addresses in chat text become anchors; HTML, punctuation, quotes and
// over-long runs are handled safely.

#include "linkify.h"
#include "testenvironment.h"

#include <QtTest>

class LinkifyTest : public QObject
{
    Q_OBJECT
private slots:
    void anchors_data();
    void anchors();
    void htmlIsReturnedUnchanged_data();
    void htmlIsReturnedUnchanged();
    void hugeRunsStayPlainAndTheRestIsLinked();
};

void LinkifyTest::anchors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("www") << "see www.example.org now"
                         << "see <a href=\"http://www.example.org\">www.example.org</a> now";
    QTest::newRow("full stop stays outside") << "go to https://example.com/a."
                                             << "go to <a href=\"https://example.com/a\">https://example.com/a</a>.";
    QTest::newRow("own scheme") << "join tavri:abc"
                                << "join <a href=\"tavri:abc\">tavri:abc</a>";
    QTest::newRow("capital scheme") << "HTTP://Example.com/X"
                                    << "<a href=\"HTTP://Example.com/X\">HTTP://Example.com/X</a>";
    QTest::newRow("domain and slash") << "at example.co.uk/page?x=1, ok"
                                      << "at <a href=\"http://example.co.uk/page?x=1\">example.co.uk/page?x=1</a>, ok";
    QTest::newRow("balanced parentheses") << "a (http://x.com/a_(b)) c"
                                          << "a (<a href=\"http://x.com/a_(b)\">http://x.com/a_(b)</a>) c";
    QTest::newRow("two links") << "www1.a.com and https://b.org!"
                               << "<a href=\"http://www1.a.com\">www1.a.com</a> and "
                                  "<a href=\"https://b.org\">https://b.org</a>!";
    // Only web links and the program's own are made clickable.
    QTest::newRow("other schemes stay text") << "ftp://b.org file:///etc/passwd smb://host/share mailto:a@b.c"
                                             << "ftp://b.org file:///etc/passwd smb://host/share mailto:a@b.c";
    // The text was made HTML before: escaped markup that the writer typed
    // ends an address.
    QTest::newRow("escaped markup ends an address")
        << "&lt;a href='http://x.test'&gt;link&lt;/a&gt;"
        << "&lt;a href='<a href=\"http://x.test\">http://x.test</a>'&gt;link&lt;/a&gt;";
    QTest::newRow("escaped quote ends an address")
        << "&quot;www.x.test/a&quot; and http://y.test/?a=1&amp;b=2"
        << "&quot;<a href=\"http://www.x.test/a\">www.x.test/a</a>&quot; and "
           "<a href=\"http://y.test/?a=1&amp;b=2\">http://y.test/?a=1&amp;b=2</a>";
    QTest::newRow("link inside a word") << "x=www.a.com"
                                        << "x=<a href=\"http://www.a.com\">www.a.com</a>";
    QTest::newRow("double quote cannot end the href")
        << "www.x.com/\"onmouseover=alert(1)"
        << "<a href=\"http://www.x.com/%22onmouseover=alert(1)\">www.x.com/\"onmouseover=alert(1)</a>";
    QTest::newRow("apostrophe is encoded") << "www.x.com/it's"
                                           << "<a href=\"http://www.x.com/it%27s\">www.x.com/it's</a>";
    QTest::newRow("no address") << "nothing to see here. a.b c:"
                                << "nothing to see here. a.b c:";
    // A scheme is a letter and at least one more word character or dash
    // before the ':', and '/' or a letter, digit or '%' after it.
    QTest::newRow("scheme with dash and digit") << "see a-9:x1z"
                                                << "see a-9:x1z";
    // The Kelvin sign matches "k" without regard to case, so it starts an
    // address; as a scheme of its own it is not known, and the href keeps
    // the "http://" in front.
    QTest::newRow("scheme with a letter folding to k")
        << QString::fromUtf8("\u212Aa:bcd") << QString::fromUtf8("<a href=\"http://\u212Aa:bcd\">\u212Aa:bcd</a>");
    QTest::newRow("clock times and labels") << "<div style=\"color:'#00c4b2'\">12:19:33: anna 528: hi"
                                            << "<div style=\"color:'#00c4b2'\">12:19:33: anna 528: hi";
    QTest::newRow("no scheme before or after the colon") << "ab:_cd ab:-cd 9a:bcd a:bcd"
                                                         << "ab:_cd ab:-cd 9a:bcd a:bcd";
    QTest::newRow("only punctuation after www") << "www.!!!"
                                                << "www.!!!";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("white space kept") << "\twww.a.com\n\n"
                                      << "\t<a href=\"http://www.a.com\">www.a.com</a>\n\n";
}

void LinkifyTest::anchors()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(linkify(text), expected);
}

void LinkifyTest::htmlIsReturnedUnchanged_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("anchor in capitals") << "<A HREF=\"http://a.com\">www.b.com</A>";
    QTest::newRow("anchor") << "look <a href=\"x\">here</a> www.b.com";
    QTest::newRow("html") << "<HTML><body>www.b.com</body>";
}

void LinkifyTest::htmlIsReturnedUnchanged()
{
    QFETCH(QString, text);
    QCOMPARE(linkify(text), text);
}

void LinkifyTest::hugeRunsStayPlainAndTheRestIsLinked()
{
    // Links are at most 4096 characters; a long address within that is
    // linked whole.
    constexpr int kLongestLink = 4096;
    const QString longAddress = QStringLiteral("www.") + QString(kLongestLink - 4, QLatin1Char('a'));
    QCOMPARE(linkify(longAddress), QStringLiteral("<a href=\"http://%1\">%1</a>").arg(longAddress));

    // Runs past the limit, and runs that are long and hopeless (which would
    // make a backtracking matcher crawl), are left as they are, and the
    // links after them still work.
    const QString hugeAddress = QStringLiteral("www.") + QString(200000, QLatin1Char('a'));
    const QString hugeWord = QString(kLongestLink, QLatin1Char('a'));
    const QString hugeDots = QStringLiteral("www.") + QString(kLongestLink - 4, QLatin1Char('!'));
    const QString text = hugeAddress + " " + hugeWord + " " + hugeDots + " see tavri:abc";
    QCOMPARE(linkify(text), hugeAddress + " " + hugeWord + " " + hugeDots + " see <a href=\"tavri:abc\">tavri:abc</a>");
}

TAVRI_TEST_GUILESS_MAIN(LinkifyTest)
#include "tst_linkify.moc"
