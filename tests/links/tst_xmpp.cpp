// The local user's XMPP client: built and wired but never connected; message
// answers (and the echoes it refuses), the roster log and archive paging,
// observed through the stanzas the client logs as sent.

#include "localuser.h"
#include "logcapture.h"
#include "testenvironment.h"

#include <QDomDocument>
#include <QNetworkProxy>
#include <QXmppArchiveIq.h>
#include <QXmppArchiveManager.h>
#include <QXmppClient.h>
#include <QXmppLogger.h>
#include <QXmppMessage.h>
#include <QXmppResultSet.h>
#include <QXmppRosterManager.h>
#include <QtTest>

#include <memory>

namespace {

QDomElement parseStanza(const QString &xml)
{
    QDomDocument document;
    document.setContent(xml, true);
    return document.documentElement();
}

} // namespace

class XmppTest : public QObject
{
    Q_OBJECT

private:
    QXmppClient *client() { return LocalUser::getLocalUser()->xmppClient(); }
    // The stanzas sent since the last call, as XML texts.
    QStringList takeSent()
    {
        const QStringList sent = m_sent;
        m_sent.clear();
        return sent;
    }
    QStringList takeSent(const QString &tagName)
    {
        QStringList result;
        for (const QString &xml : takeSent()) {
            if (parseStanza(xml).tagName() == tagName)
                result.append(xml);
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        m_log = std::make_unique<LogCapture>(LogCapture::ForwardWarnings);
        QVERIFY(client());
        connect(client()->logger(), &QXmppLogger::message, this,
                [this](QXmppLogger::MessageType type, const QString &text) {
                    if (type == QXmppLogger::SentMessage)
                        m_sent.append(text);
                });
    }

    void init()
    {
        m_sent.clear();
        m_log->clear();
    }

    void clientIsBuiltAndWiredButNeverConnected()
    {
        QXmppClient *xmpp = client();
        QCOMPARE(xmpp->parent(), LocalUser::getLocalUser());
        QCOMPARE(xmpp->logger()->loggingType(), QXmppLogger::SignalLogging);
        QVERIFY(xmpp->findExtension<QXmppArchiveManager>());
        QVERIFY(xmpp->findExtension<QXmppRosterManager>());
        // Nothing posted on the event loop starts a connection either.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(xmpp->state(), QXmppClient::DisconnectedState);
        QVERIFY(!xmpp->isConnected());
        QVERIFY(m_sent.isEmpty());
    }

    void messagesAreAnsweredButAnswersAndErrorsAreNot_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("answer"); // empty: no answer

        QTest::newRow("chat") << "hello" << int(QXmppMessage::Chat) << "Your message: hello";
        QTest::newRow("empty body") << "" << int(QXmppMessage::Chat) << "Your message: ";
        QTest::newRow("normal") << "<b>&amp;" << int(QXmppMessage::Normal) << "Your message: <b>&amp;";
        QTest::newRow("an answer") << "Your message: hello" << int(QXmppMessage::Chat) << "";
        QTest::newRow("error") << "oops" << int(QXmppMessage::Error) << "";
    }
    void messagesAreAnsweredButAnswersAndErrorsAreNot()
    {
        QFETCH(QString, body);
        QFETCH(int, type);
        QFETCH(QString, answer);

        QXmppMessage message(QStringLiteral("bob@example.test/desk"), QStringLiteral("me@example.test"), body);
        message.setType(QXmppMessage::Type(type));
        emit client()->messageReceived(message);

        const QStringList sent = takeSent(QStringLiteral("message"));
        if (answer.isEmpty()) {
            QVERIFY2(sent.isEmpty(), qPrintable(sent.join('\n')));
            return;
        }
        QCOMPARE(sent.size(), 1);
        QXmppMessage reply;
        reply.parse(parseStanza(sent.first()));
        QCOMPARE(reply.to(), QStringLiteral("bob@example.test/desk"));
        QCOMPARE(reply.body(), answer);
        QVERIFY(reply.from().isEmpty());
        QVERIFY(reply.thread().isEmpty());
    }

    void rosterEntriesAreLoggedWithNameOrDash()
    {
        QXmppRosterManager *roster = client()->findExtension<QXmppRosterManager>();
        const QString push = QStringLiteral("<iq type=\"set\" id=\"push1\"><query xmlns=\"jabber:iq:roster\">"
                                            "<item jid=\"nameless@example.test\" subscription=\"both\"/>"
                                            "<item jid=\"bob@example.test\" name=\"Bob\" subscription=\"both\"/>"
                                            "</query></iq>");
        QVERIFY(roster->handleStanza(parseStanza(push)));
        emit roster->rosterReceived();

        QVERIFY(logLines().contains(QStringLiteral("XMPP roster received")));
        QVERIFY(logLines().contains(QStringLiteral("Roster element received: nameless@example.test [-]")));
        QVERIFY(logLines().contains(QStringLiteral("Roster element received: bob@example.test [Bob]")));
    }

    // Runs once per process: the first archive list only sets the total.
    void archiveIsPagedBackwards()
    {
        QXmppArchiveManager *archive = client()->findExtension<QXmppArchiveManager>();
        const QDateTime before = QDateTime::currentDateTimeUtc();

        // First answer: the last page of the 21-day window is asked for.
        QXmppResultSetReply total;
        total.setCount(40);
        emit archive->archiveListReceived({}, total);
        QStringList sent = takeSent(QStringLiteral("iq"));
        QCOMPARE(sent.size(), 1);
        QDomElement list = parseStanza(sent.first()).firstChildElement(QStringLiteral("list"));
        QVERIFY(!list.isNull());
        QVERIFY(!list.hasAttribute(QStringLiteral("with")));
        const QDateTime start = QDateTime::fromString(list.attribute(QStringLiteral("start")), Qt::ISODate);
        const QDateTime end = QDateTime::fromString(list.attribute(QStringLiteral("end")), Qt::ISODate);
        QVERIFY(end.secsTo(before) <= 1 && before.secsTo(end) <= 5);
        QVERIFY(qAbs(start.secsTo(end) - 21 * 24 * 3600) <= 1);
        QDomElement set = list.firstChildElement(QStringLiteral("set"));
        QCOMPARE(set.firstChildElement(QStringLiteral("max")).text(), QStringLiteral("15"));
        QVERIFY(!set.firstChildElement(QStringLiteral("before")).isNull());
        QVERIFY(set.firstChildElement(QStringLiteral("before")).text().isEmpty());

        // A page: each chat is fetched, then the page before it.
        QXmppArchiveChat first, second;
        first.setWith(QStringLiteral("alice@example.test"));
        first.setStart(QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC));
        second.setWith(QStringLiteral("bob@example.test"));
        second.setStart(QDateTime(QDate(2026, 12, 2), QTime(11, 0), Qt::UTC));
        QXmppResultSetReply page;
        page.setCount(40);
        page.setIndex(25);
        page.setFirst(QStringLiteral("marker-25"));
        page.setLast(QStringLiteral("marker-39"));
        emit archive->archiveListReceived({first, second}, page);
        QVERIFY(logLines().contains(QStringLiteral("XMPP archive chat items 25 to 27 of 40")));
        sent = takeSent(QStringLiteral("iq"));
        QCOMPARE(sent.size(), 3);
        const QDomElement retrieveA = parseStanza(sent.at(0)).firstChildElement(QStringLiteral("retrieve"));
        QCOMPARE(retrieveA.attribute(QStringLiteral("with")), QStringLiteral("alice@example.test"));
        QCOMPARE(QDateTime::fromString(retrieveA.attribute(QStringLiteral("start")), Qt::ISODate), first.start());
        const QDomElement retrieveB = parseStanza(sent.at(1)).firstChildElement(QStringLiteral("retrieve"));
        QCOMPARE(retrieveB.attribute(QStringLiteral("with")), QStringLiteral("bob@example.test"));
        list = parseStanza(sent.at(2)).firstChildElement(QStringLiteral("list"));
        set = list.firstChildElement(QStringLiteral("set"));
        QCOMPARE(set.firstChildElement(QStringLiteral("max")).text(), QStringLiteral("15"));
        QCOMPARE(set.firstChildElement(QStringLiteral("before")).text(), QStringLiteral("marker-25"));

        // An empty page ends the paging instead of asking for the last page
        // again; so does a page without markers.
        QXmppResultSetReply emptyPage;
        emptyPage.setCount(40);
        emit archive->archiveListReceived({}, emptyPage);
        QVERIFY(logLines().contains(QStringLiteral("XMPP archive chat: no items")));
        QVERIFY(takeSent().isEmpty());
        emit archive->archiveListReceived({first}, QXmppResultSetReply());
        QCOMPARE(takeSent(QStringLiteral("iq")).size(), 1); // the retrieve only
    }

    void archivedMessagesAreLogged()
    {
        QXmppArchiveMessage message;
        message.setBody(QStringLiteral("old words"));
        message.setDate(QDateTime(QDate(2026, 12, 1), QTime(10, 5), Qt::UTC));
        QXmppArchiveChat chat;
        chat.setMessages({message});
        emit client()->findExtension<QXmppArchiveManager>()->archiveChatReceived(chat, QXmppResultSetReply());
        bool found = false;
        for (const QString &line : logLines())
            found =
                found || (line.startsWith(QStringLiteral("XMPP archived chat message:")) && line.contains("old words"));
        QVERIFY(found);
    }

    void cleanupTestCase()
    {
        m_log.reset();
        delete LocalUser::getLocalUser();
    }

private:
    // The lines logged by the program, whole.
    QStringList logLines() const
    {
        QStringList lines;
        for (const CapturedLine &line : m_log->lines())
            lines.append(line.message);
        return lines;
    }

    std::unique_ptr<LogCapture> m_log;
    QStringList m_sent;
};

TAVRI_TEST_GUILESS_MAIN(XmppTest)
#include "tst_xmpp.moc"
