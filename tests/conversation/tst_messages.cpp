// Chat lines: which texts a conversation takes, the HTML fragment of each
// line (time stamp, sender, colour, escaping, links), the roles, sender
// renames, texts of unknown senders and clearing.

#include "conversation.h"
#include "conversationmessagelist.h"
#include "linkify.h"
#include "localuser.h"
#include "signedinuser.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kTimestampsKey = QStringLiteral("settingsShowTimestampsInChat");
const QDateTime kSentAt(QDate(2026, 3, 4), QTime(9, 7, 2));

// The built-in realm's user for a user id, named and coloured as given.
TavriIdentityRealmUser *realmUser(const QString &uuid, const QString &name, const QString &chatColor = QString())
{
    auto *user =
        qobject_cast<TavriIdentityRealmUser *>(TavriIdentityRealm::getInstance()->getRealmUser(uuid)->getQObject());
    user->setUname(name);
    user->setChatColor(chatColor);
    return user;
}

// How the timestamp setting is left for a case.
enum Timestamps { TimestampsAbsent, TimestampsOn, TimestampsOff };

void setTimestamps(Timestamps timestamps)
{
    StorageManager *storage = StorageManager::getInstance();
    if (timestamps == TimestampsAbsent)
        storage->removeSettingsValue(kTimestampsKey);
    else
        storage->setSettingsValue(kTimestampsKey, timestamps == TimestampsOn);
}

} // namespace

Q_DECLARE_METATYPE(Timestamps)

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void linesOfThisConversationOnly();
    void channelLineIsSystemLine();
    void remoteLine_data();
    void remoteLine();
    void linksInEscapedText();
    void ownLine();
    void welcomeAndSystemLines();
    void missingStyleColour();
    void renameRefreshesSenderRows();
    void unknownSenderDropped();
    void lineOutlivesItsSender();
    void longTextWithManyBreaks();
    void clearRemovesLines();
    void clearedLinesGoAfterTheirConversation();

private:
    StyleManager *m_style = nullptr;
    QTemporaryDir m_styleDir;
};

void TestMessages::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<QVector<int>>();

    QVERIFY(m_styleDir.isValid());
    const QString stylePath = m_styleDir.filePath(QStringLiteral("Lines.qml"));
    QFile styleFile(stylePath);
    QVERIFY(styleFile.open(QIODevice::WriteOnly));
    styleFile.write("import \"qrc:/QML/qml/tavri/controls\"\n"
                    "StyleManager {\n"
                    "    chatColors: [\"#00c4b2\", \"#162cd2\"]\n"
                    "    property var welcomeMessageTextColor: \"#00ff00\"\n"
                    "    systemMessageTextColor: \"#808080\"\n"
                    "    myChatColor: \"#0000ff\"\n"
                    "    theirChatColor: \"#ff0000\"\n"
                    "}\n");
    styleFile.close();
    m_style = new StyleManager(nullptr, stylePath, this);
    QVERIFY(m_style->isValid());
    QCOMPARE(StyleManager::getInstance(), m_style);
}

void TestMessages::cleanupTestCase()
{
    delete TavriIdentityRealm::getInstance();
}

void TestMessages::init()
{
    setTimestamps(TimestampsAbsent);
}

void TestMessages::linesOfThisConversationOnly()
{
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m1@d"), QStringLiteral("41"));
    channel.setTransitionSipURI(QStringLiteral("sip:confctl-g-m1t@d"));
    ConversationMessageList *messages = channel.getChatMessages();
    realmUser(QStringLiteral("sip:u-ann@d"), QStringLiteral("Ann"));
    QSignalSpy added(messages, &ConversationMessageList::messageAdded);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);

    messages->onConversationTextMessageReceived(QStringLiteral("sip:confctl-other@d"), QStringLiteral("sip:u-ann@d"),
                                                QString(), QStringLiteral("no"), kSentAt);
    QCOMPARE(added.count(), 0);
    QCOMPARE(formatted.count(), 0);
    for (const QString &id : {QStringLiteral("sip:confctl-m1@d"), QStringLiteral("sip:confctl-g-m1t@d")})
        messages->onConversationTextMessageReceived(id, QStringLiteral("sip:u-ann@d"), QString(), QStringLiteral("yes"),
                                                    kSentAt);
    QCOMPARE(messages->rowCount(), 2);
    QCOMPARE(added.count(), 2);
    QCOMPARE(formatted.count(), 2);
    QCOMPARE(added.first(), (QList<QVariant>{QStringLiteral("Ann"), QStringLiteral("yes")}));
    messages->clear();
}

void TestMessages::channelLineIsSystemLine()
{
    const QString id = QStringLiteral("sip:confctl-m2@d");
    Conversation channel(QStringLiteral("Chan"), id, QStringLiteral("42"));
    ConversationMessageList *messages = channel.getChatMessages();
    QSignalSpy added(messages, &ConversationMessageList::messageAdded);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);

    // The channel's text is the server's: it is shown, not read as markup.
    messages->onConversationTextMessageReceived(id, id, QString(), QStringLiteral("<b>Topic</b>"), kSentAt);
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.first(), (QList<QVariant>{QString(""), QStringLiteral("<b>Topic</b>")}));
    const QModelIndex row = messages->index(0);
    QVERIFY(row.data(ConversationMessageList::IsSystemMessageRole).toBool());
    QVERIFY(!row.data(ConversationMessageList::IsFromRemoteRole).isValid());
    QCOMPARE(row.data(ConversationMessageList::SenderDisplayNameRole), QVariant(QString("")));
    QCOMPARE(row.data(ConversationMessageList::MessageTextRole).toString(), QStringLiteral("&lt;b&gt;Topic&lt;/b&gt;"));
    const QString stamp = messages->getMessages().first()->getSentAt().toString(QStringLiteral("hh:mm:ss: "));
    QCOMPARE(formatted.first().first().toString(), QStringLiteral("<div style=\"color:'#808080'\">") + stamp
                                                       + QStringLiteral("&lt;b&gt;Topic&lt;/b&gt;</div>"));
    messages->clear();
}

void TestMessages::remoteLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("chatColor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Timestamps>("timestamps");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("stamp when the setting is absent")
        << "Ann"
        << "#00c4b2"
        << "a\nb" << TimestampsAbsent << "<div style=\"color:'#00c4b2'\">09:07:02: Ann: a<br/>b</div>";
    QTest::newRow("stamp on") << "Ann"
                              << "#00c4b2"
                              << "a\nb" << TimestampsOn
                              << "<div style=\"color:'#00c4b2'\">09:07:02: Ann: a<br/>b</div>";
    QTest::newRow("stamp off") << "Ann"
                               << "#00c4b2"
                               << "a\n\nb" << TimestampsOff << "<div style=\"color:'#00c4b2'\">Ann: a<br/><br/>b</div>";
    QTest::newRow("no name, no colour") << ""
                                        << ""
                                        << "hi" << TimestampsOff << "<div style=\"color:'#ff0000'\">hi</div>";
    QTest::newRow("markup in the text")
        << "Ann"
        << "#00c4b2"
        << "<b>x</b> & <img src=x>" << TimestampsOff
        << "<div style=\"color:'#00c4b2'\">Ann: &lt;b&gt;x&lt;/b&gt; &amp; &lt;img src=x&gt;</div>";
    // Each character that is escaped, alone in a line.
    QTest::newRow("a quote alone") << "Ann"
                                   << "#00c4b2"
                                   << "say \"hi\"" << TimestampsOff
                                   << "<div style=\"color:'#00c4b2'\">Ann: say &quot;hi&quot;</div>";
    QTest::newRow("an ampersand alone") << "Ann"
                                        << "#00c4b2"
                                        << "fish & chips" << TimestampsOff
                                        << "<div style=\"color:'#00c4b2'\">Ann: fish &amp; chips</div>";
    QTest::newRow("a greater-than alone")
        << "A>B"
        << "#00c4b2"
        << "1 > 0" << TimestampsOff << "<div style=\"color:'#00c4b2'\">A&gt;B: 1 &gt; 0</div>";
    QTest::newRow("markup in the name") << "<i>Eve</i>"
                                        << "#00c4b2"
                                        << "hi" << TimestampsOff
                                        << "<div style=\"color:'#00c4b2'\">&lt;i&gt;Eve&lt;/i&gt;: hi</div>";
    QTest::newRow("a fake system line")
        << "Ann"
        << "#00c4b2"
        << "</div><div style=\"color:'#808080'\">Mallory is a moderator" << TimestampsOff
        << "<div style=\"color:'#00c4b2'\">Ann: &lt;/div&gt;&lt;div style=&quot;color:'#808080'&quot;&gt;"
           "Mallory is a moderator</div>";
    QTest::newRow("chat colour that is no colour")
        << "Ann"
        << "red'><img src=x>"
        << "hi" << TimestampsOff << "<div style=\"color:'#ff0000'\">Ann: hi</div>";
}

void TestMessages::remoteLine()
{
    QFETCH(QString, name);
    QFETCH(QString, chatColor);
    QFETCH(QString, text);
    QFETCH(Timestamps, timestamps);
    QFETCH(QString, fragment);

    setTimestamps(timestamps);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m3@d"), QStringLiteral("43"));
    ConversationMessageList *messages = channel.getChatMessages();
    const QString uuid = QStringLiteral("sip:u-remote-%1@d").arg(QTest::currentDataTag()).replace(' ', '-');
    realmUser(uuid, name, chatColor);
    QSignalSpy added(messages, &ConversationMessageList::messageAdded);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    if (!chatColor.isEmpty() && !QColor::isValidColor(chatColor))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ignoring chat colour"));

    messages->onConversationTextMessageReceived(channel.getConversationID(), uuid, QStringLiteral("me"), text, kSentAt);
    QCOMPARE(formatted.count(), 1);
    QCOMPARE(formatted.first().first().toString(), fragment);
    // The plain announcement keeps the text as it came.
    QCOMPARE(added.first(), (QList<QVariant>{name, text}));
    const QModelIndex row = messages->index(0);
    QVERIFY(row.data(ConversationMessageList::IsFromRemoteRole).toBool());
    QCOMPARE(row.data(ConversationMessageList::SenderDisplayNameRole).toString(), name);
    QCOMPARE(row.data(ConversationMessageList::SentAtRole).toDateTime(), kSentAt);
    QCOMPARE(row.data(ConversationMessageList::ConversationIDRole).toString(), channel.getConversationID());
    // A view that shows the text as rich text gets it escaped, breaks kept.
    QCOMPARE(row.data(ConversationMessageList::MessageTextRole).toString(), text.toHtmlEscaped());
    messages->clear();
}

void TestMessages::linksInEscapedText()
{
    setTimestamps(TimestampsOff);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m4@d"), QStringLiteral("44"));
    ConversationMessageList *messages = channel.getChatMessages();
    realmUser(QStringLiteral("sip:u-linker@d"), QStringLiteral("Lin"), QStringLiteral("#162cd2"));
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);

    const QString plainLink = QStringLiteral("see http://example.org/a now");
    const QString hiddenLink = QStringLiteral("<a href=\"tavri:join?c=1\">click</a>");
    for (const QString &text : {plainLink, hiddenLink})
        messages->onConversationTextMessageReceived(channel.getConversationID(), QStringLiteral("sip:u-linker@d"),
                                                    QString(), text, kSentAt);
    QCOMPARE(formatted.count(), 2);
    const QString withLink = formatted.at(0).first().toString();
    QCOMPARE(withLink,
             linkify(QStringLiteral("<div style=\"color:'#162cd2'\">Lin: ") + plainLink + QStringLiteral("</div>")));
    QVERIFY2(withLink.contains(QStringLiteral("<a href=\"http://example.org/a\"")), qPrintable(withLink));
    // A peer's own anchor is shown as text: its label cannot hide its target.
    const QString escapedAnchor = formatted.at(1).first().toString();
    QVERIFY2(!escapedAnchor.contains(QStringLiteral(">click</a>")), qPrintable(escapedAnchor));
    QVERIFY2(escapedAnchor.contains(QStringLiteral("&lt;a href=")), qPrintable(escapedAnchor));
    QVERIFY(messages->index(0)
                .data(ConversationMessageList::MessageTextRole)
                .toString()
                .contains(QStringLiteral("<a href=\"http://example.org/a\"")));
    messages->clear();
}

void TestMessages::ownLine()
{
    setTimestamps(TimestampsOff);
    LocalUser *localUser = LocalUser::getLocalUser();
    TavriIdentityRealmUser *me = signedin::ownIdentity(QStringLiteral("sip:u-self@d"));
    QVERIFY(me);
    setTimestamps(TimestampsOff); // the signed-in user's settings
    me->setUname(QStringLiteral("Me"));

    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m5@d"), QStringLiteral("45"));
    ConversationMessageList *messages = channel.getChatMessages();
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    messages->onConversationTextMessageReceived(channel.getConversationID(), me->getUid(), QString(),
                                                QStringLiteral("mine"), kSentAt);
    me->setChatColor(QStringLiteral("#4fda24"));
    messages->onConversationTextMessageReceived(channel.getConversationID(), me->getUid(), QString(),
                                                QStringLiteral("again"), kSentAt);
    QCOMPARE(formatted.count(), 2);
    QCOMPARE(formatted.at(0).first().toString(), QStringLiteral("<div style=\"color:'#0000ff'\">Me: mine</div>"));
    QCOMPARE(formatted.at(1).first().toString(), QStringLiteral("<div style=\"color:'#4fda24'\">Me: again</div>"));
    QCOMPARE(messages->index(0).data(ConversationMessageList::IsFromRemoteRole), QVariant(false));

    messages->clear();
    me->setChatColor(QString());
    delete me;
    QVERIFY(!localUser->tavriidentity());
}

void TestMessages::welcomeAndSystemLines()
{
    setTimestamps(TimestampsOff);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m6@d"), QStringLiteral("46"));
    ConversationMessageList *messages = channel.getChatMessages();
    QSignalSpy added(messages, &ConversationMessageList::messageAdded);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);

    // The welcome text is the channel owner's; a notice is the program's own
    // and keeps its markup.
    messages->addWelcomeMessage(QStringLiteral("<b>Hi</b>\nall"));
    messages->addSystemMessage(QStringLiteral("<i>You</i> have enabled audio."));
    QCOMPARE(formatted.count(), 2);
    QCOMPARE(formatted.at(0).first().toString(),
             QStringLiteral("<div style=\"color:'#00ff00'\">&lt;b&gt;Hi&lt;/b&gt;<br/>all</div>"));
    QCOMPARE(formatted.at(1).first().toString(),
             QStringLiteral("<div style=\"color:'#808080'\"><i>You</i> have enabled audio.</div>"));
    QCOMPARE(added.at(0), (QList<QVariant>{QString(""), QStringLiteral("<b>Hi</b>\nall")}));
    // The plain form (what chat logs get) is the notice's text without markup.
    QCOMPARE(added.at(1), (QList<QVariant>{QString(""), QStringLiteral("You have enabled audio.")}));

    const QModelIndex welcome = messages->index(0);
    QVERIFY(welcome.data(ConversationMessageList::IsWelcomeMessageRole).toBool());
    QVERIFY(!welcome.data(ConversationMessageList::IsSystemMessageRole).toBool());
    QVERIFY(!welcome.data(ConversationMessageList::IsFromRemoteRole).isValid());
    QVERIFY(!welcome.data(ConversationMessageList::SenderPresenceStateRole).isValid());
    QCOMPARE(welcome.data(ConversationMessageList::MessageTextRole).toString(),
             QStringLiteral("&lt;b&gt;Hi&lt;/b&gt;\nall"));
    QVERIFY(messages->index(1).data(ConversationMessageList::IsSystemMessageRole).toBool());
    QVERIFY(!messages->index(2).data(ConversationMessageList::MessageTextRole).isValid());
    QVERIFY(!messages->index(0, 1).data(ConversationMessageList::MessageTextRole).isValid());
    messages->clear();
}

void TestMessages::missingStyleColour()
{
    setTimestamps(TimestampsOff);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m7@d"), QStringLiteral("47"));
    ConversationMessageList *messages = channel.getChatMessages();
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    QObject *style = m_style->style();
    const QVariant welcomeColor = style->property("welcomeMessageTextColor");
    style->setProperty("welcomeMessageTextColor", QString());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the style has no colour welcomeMessageTextColor"));
    messages->addWelcomeMessage(QStringLiteral("Welcome"));
    style->setProperty("welcomeMessageTextColor", welcomeColor);
    QCOMPARE(formatted.count(), 1);
    QCOMPARE(formatted.first().first().toString(), QStringLiteral("<div style=\"color:''\">Welcome</div>"));
    messages->clear();
}

void TestMessages::renameRefreshesSenderRows()
{
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m8@d"), QStringLiteral("48"));
    ConversationMessageList *messages = channel.getChatMessages();
    QAbstractItemModelTester tester(messages, QAbstractItemModelTester::FailureReportingMode::QtTest);
    TavriIdentityRealmUser *ann = realmUser(QStringLiteral("sip:u-ren-ann@d"), QStringLiteral("Ann"));
    realmUser(QStringLiteral("sip:u-ren-bob@d"), QStringLiteral("Bob"));
    const QString id = channel.getConversationID();
    for (const QString &sender :
         {QStringLiteral("sip:u-ren-ann@d"), QStringLiteral("sip:u-ren-bob@d"), QStringLiteral("sip:u-ren-ann@d")})
        messages->onConversationTextMessageReceived(id, sender, QString(), QStringLiteral("line"), kSentAt);
    messages->addSystemMessage(QStringLiteral("notice"));

    QSignalSpy changes(messages, &QAbstractItemModel::dataChanged);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    ann->setUname(QStringLiteral("Anna"));
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0).at(0).toModelIndex().row(), 2); // last to first
    QCOMPARE(changes.at(1).at(0).toModelIndex().row(), 0);
    for (const QList<QVariant> &change : qAsConst(changes))
        QCOMPARE(change.at(2).value<QVector<int>>(), QVector<int>{ConversationMessageList::SenderDisplayNameRole});
    QCOMPARE(messages->index(0).data(ConversationMessageList::SenderDisplayNameRole).toString(),
             QStringLiteral("Anna"));
    QCOMPARE(formatted.count(), 0);

    // After clearing, a rename reaches the list no more.
    messages->clear();
    changes.clear();
    ann->setUname(QStringLiteral("Annie"));
    QCOMPARE(changes.count(), 0);

    // Until she writes again: her new line follows her name once more.
    messages->onConversationTextMessageReceived(id, QStringLiteral("sip:u-ren-ann@d"), QString(),
                                                QStringLiteral("again"), kSentAt);
    ann->setUname(QStringLiteral("Ann"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().at(0).toModelIndex().row(), 0);
    messages->clear();
}

void TestMessages::unknownSenderDropped()
{
    // A conversation whose realm is not known: no sender can be resolved.
    Conversation orphan;
    ConversationMessageList *messages = orphan.getChatMessages();
    QSignalSpy added(messages, &ConversationMessageList::messageAdded);
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("dropping a text of unknown sender.*sip:u-ghost@d"));
    messages->onConversationTextMessageReceived(orphan.getConversationID(), QStringLiteral("sip:u-ghost@d"), QString(),
                                                QStringLiteral("boo"), kSentAt);
    QCOMPARE(messages->rowCount(), 0);
    QCOMPARE(added.count(), 0);
    QCOMPARE(formatted.count(), 0);
}

void TestMessages::lineOutlivesItsSender()
{
    setTimestamps(TimestampsOff);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m10@d"), QStringLiteral("50"));
    ConversationMessageList *messages = channel.getChatMessages();
    TavriIdentityRealmUser *gone = realmUser(QStringLiteral("sip:u-gone@d"), QStringLiteral("Gone"));
    messages->onConversationTextMessageReceived(channel.getConversationID(), QStringLiteral("sip:u-gone@d"), QString(),
                                                QStringLiteral("still here"), kSentAt);
    QCOMPARE(messages->rowCount(), 1);

    // The realm may delete a user before the conversations it spoke in: its
    // lines stay readable, without the sender, and clearing them is safe.
    delete gone;
    QCOMPARE(messages->index(0).data(ConversationMessageList::SenderDisplayNameRole).toString(), QString());
    QVERIFY(messages->index(0).data(ConversationMessageList::MessageTextRole).toString().contains("still here"));
    messages->clear();
    QCOMPARE(messages->rowCount(), 0);
}

void TestMessages::longTextWithManyBreaks()
{
    setTimestamps(TimestampsOff);
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m9@d"), QStringLiteral("49"));
    ConversationMessageList *messages = channel.getChatMessages();
    realmUser(QStringLiteral("sip:u-long@d"), QStringLiteral("Lo"), QStringLiteral("#162cd2"));
    QSignalSpy formatted(messages, &ConversationMessageList::formattedMessageAdded);
    const int lines = 5000;
    QStringList parts;
    for (int line = 0; line < lines; ++line)
        parts << QStringLiteral("<p>x");
    const QString text = parts.join('\n') + QString(20000, QLatin1Char('y'));
    messages->onConversationTextMessageReceived(channel.getConversationID(), QStringLiteral("sip:u-long@d"), QString(),
                                                text, kSentAt);
    QCOMPARE(formatted.count(), 1);
    const QString fragment = formatted.first().first().toString();
    QCOMPARE(fragment.count(QStringLiteral("<br/>")), lines - 1);
    QCOMPARE(fragment.count(QStringLiteral("<p>")), 0);
    QVERIFY(fragment.endsWith(QString(20000, QLatin1Char('y')) + QStringLiteral("</div>")));
    QCOMPARE(messages->index(0).data(ConversationMessageList::MessageTextRole).toString().count('\n'), lines - 1);
    messages->clear();
}

void TestMessages::clearRemovesLines()
{
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m10@d"), QStringLiteral("50"));
    ConversationMessageList *messages = channel.getChatMessages();
    QAbstractItemModelTester tester(messages, QAbstractItemModelTester::FailureReportingMode::QtTest);
    messages->addSystemMessage(QStringLiteral("one"));
    messages->addSystemMessage(QStringLiteral("two"));
    QPointer<ConversationMessage> first = messages->getMessages().first();
    QSignalSpy removed(messages, &QAbstractItemModel::rowsRemoved);
    messages->clear();
    QCOMPARE(messages->rowCount(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(2).toInt(), 1);
    QTRY_VERIFY(!first);
    messages->clear(); // nothing left: no signal
    QCOMPARE(removed.count(), 1);
}

void TestMessages::clearedLinesGoAfterTheirConversation()
{
    // Leaving a conversation clears its lines and deletes it at once; the
    // lines, still waiting for their deferred delete, then go once.
    QPointer<ConversationMessage> line;
    {
        Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-m11@d"), QStringLiteral("51"));
        ConversationMessageList *messages = channel.getChatMessages();
        for (int i = 0; i < 3; ++i)
            messages->addSystemMessage(QStringLiteral("line %1").arg(i));
        line = messages->getMessages().at(1);
        messages->clear();
        QVERIFY(line);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!line);
}

TAVRI_TEST_MAIN(TestMessages)
#include "tst_messages.moc"
