#include "tavrisharedidentityrealm.h"

#include "capturedevicemodel.h"
#include "conversation.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "localpipe.h"
#include "renderdevicemodel.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealmcommands.h"
#include "tavrisharedidentityrealminputreader.h"
#include "tavrisharedidentityrealmjsonreplyhandler.h"
#include "tavrisharedidentityrealmuser.h"
#include "virtualkeyinfo.h"
#include "voicemanager.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QLocalServer>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTimer>
#include <QtEndian>

namespace {

using Request = TavriSharedIdentityRealmRequest;
using Output = TavriSharedIdentityRealmOutput;

const QString kHidden = QStringLiteral("<hidden>");

QString hidden(const QString &secret)
{
    return secret.isEmpty() ? QString() : kHidden;
}

// Frames of all realms leave one at a time. Each frame is written whole in
// one call and no signal is emitted while the lock is held, so a send from a
// slot that runs during another send's wait cannot deadlock.
QMutex &outputLock()
{
    static QMutex lock;
    return lock;
}

} // namespace

TavriSharedIdentityRealm::TavriSharedIdentityRealm(const QString &requesterId, QObject *parent)
    : QObject(parent)
    , m_requesterId(requesterId)
{
}

TavriSharedIdentityRealm::TavriSharedIdentityRealm(const QString &inputPipeName, const QString &outputPipeName,
                                                   const QString &requesterId, const QString &requesterToken,
                                                   const QString &clientLibVersion, QObject *parent)
    : QObject(parent)
    , m_replyHandler(new TavriSharedIdentityRealmJsonReplyHandler(this))
    , m_inputServer(new QLocalServer(this))
    , m_outputSocket(new QLocalSocket(this))
    , m_requesterId(requesterId)
    , m_requesterToken(requesterToken)
    , m_clientLibVersion(clientLibVersion)
    , m_live(true)
{
    qRegisterMetaType<TavriSharedIdentityRealm::LoginState>();
    // The realm comes to life once the application's output pipe is there.
    connectOutputPipe(outputPipeName, 1, [this, inputPipeName] { setUpConnected(inputPipeName); });
}

void TavriSharedIdentityRealm::setUpConnected(const QString &inputPipeName)
{
    connect(m_outputSocket, &QLocalSocket::disconnected, this, &TavriSharedIdentityRealm::onPipeReadUnlock);
    connect(m_outputSocket, &QLocalSocket::errorOccurred, this, &TavriSharedIdentityRealm::onPipeWriteError);

    using Handler = TavriSharedIdentityRealmJsonReplyHandler;
    using Realm = TavriSharedIdentityRealm;
    connect(m_replyHandler, &Handler::sessionTokenReceived, this, &Realm::onSessionTokenReceived);
    connect(m_replyHandler, &Handler::realmVerified, this, &Realm::onRealmVerified);
    connect(m_replyHandler, &Handler::realmInfoReceived, this, &Realm::onRealmInfoReceived);
    connect(m_replyHandler, &Handler::loginVerified, this, &Realm::onLoginVerified);
    connect(m_replyHandler, &Handler::contactAdded, this, &Realm::onContactAdded);
    connect(m_replyHandler, &Handler::contactRemoved, this, &Realm::onContactRemoved);
    connect(m_replyHandler, &Handler::userBlocked, this, &Realm::onUserBlocked);
    connect(m_replyHandler, &Handler::userUnblocked, this, &Realm::onUserUnblocked);
    connect(m_replyHandler, &Handler::contactListReceived, this, &Realm::onContactListReceived);
    connect(m_replyHandler, &Handler::blockListReceived, this, &Realm::onBlockListReceived);
    connect(m_replyHandler, &Handler::userInfoReceived, this, &Realm::onUserInfoReceived);
    connect(m_replyHandler, &Handler::userNotFound, this, &Realm::onUserNotFound);
    connect(m_replyHandler, &Handler::channelAccessInfoReceived, this, &Realm::onChannelAccessInfoReceived);
    connect(m_replyHandler, &Handler::channelAccessDenied, this, &Realm::onChannelAccessDenied);
    connect(m_replyHandler, &Handler::nameUriMapped, this, &Realm::onNameUriMapped);
    connect(m_replyHandler, &Handler::userIconReceived, this, [this](const QString &icon) { m_userIconURL = icon; });

    listenOnInputPipe(inputPipeName);

    if (QSocialManager *social = socialManager())
        social->requestRealmVerify(m_clientLibVersion, m_requesterId, m_requesterToken, m_replyHandler);

    connectVoiceSignals();
}

bool TavriSharedIdentityRealm::connectOutputPipe(const QString &outputPipeName, int attempt,
                                                 const std::function<void()> &connected)
{
    if (host::LocalPipe::connect(*m_outputSocket, outputPipeName)) {
        if (m_outputSocket->waitForConnected(kOutputConnectWaitMs)) {
            m_inert = false;
            connected();
            return true;
        }
        m_outputSocket->abort();
        if (attempt < kOutputConnectAttempts) {
            // Another try after a pause, from the event loop so that the
            // program goes on meanwhile.
            QTimer::singleShot(kOutputConnectPauseMs, this, [this, outputPipeName, attempt, connected] {
                connectOutputPipe(outputPipeName, attempt + 1, connected);
            });
            return false;
        }
    }
    qWarning() << "TavriSharedIdentityRealm::TavriSharedIdentityRealm"
               << "Unable to open output pipe for request:" << outputPipeName;
    qWarning() << "... will be unable to communicate";
    return false;
}

void TavriSharedIdentityRealm::listenOnInputPipe(const QString &inputPipeName)
{
    if (!host::LocalPipe::listen(*m_inputServer, inputPipeName)) {
        qWarning() << "TavriSharedIdentityRealm::TavriSharedIdentityRealm"
                   << "Unable to create dedicated input pipe for requester:" << inputPipeName;
        return;
    }
    qDebug() << "TavriSharedIdentityRealm::TavriSharedIdentityRealm"
             << "Listening on dedicated input pipe" << inputPipeName;
    connect(m_inputServer, &QLocalServer::newConnection, this, &TavriSharedIdentityRealm::onNewInputMessage);
}

int TavriSharedIdentityRealm::plusKeyCode()
{
    // The key table names the plus key "OEM Plus", not "+".
    if (const int code = VoiceManager::getVirtualKeyCodeByName(QStringLiteral("+")))
        return code;
    for (const VirtualKeyInfo &key : VirtualKeyInfo::records()) {
        if (key.vkName == QLatin1String("VK_OEM_PLUS"))
            return key.code;
    }
    return 0;
}

QString TavriSharedIdentityRealm::settingsGroup() const
{
    // A slash would nest groups and a backslash is the settings format's
    // escape: both are written out, as is the percent sign, so that every
    // URI keeps a group of its own.
    QString group = m_userSipURI;
    group.replace(QLatin1Char('%'), QLatin1String("%25"));
    group.replace(QLatin1Char('/'), QLatin1String("%2F"));
    group.replace(QLatin1Char('\\'), QLatin1String("%5C"));
    return group;
}

void TavriSharedIdentityRealm::dropJoinInProgress(const QString &channel)
{
    m_joinsInProgress.removeAll(channel);
    if (m_joinsInProgress.isEmpty() && m_sessionAddedConnection) {
        qDebug() << "TavriSharedIdentityRealm::onSessionHandleReceived"
                 << "disconnecting from sessionAdded()";
        disconnect(m_sessionAddedConnection);
        m_sessionAddedConnection = QMetaObject::Connection();
    }
}

void TavriSharedIdentityRealm::connectVoiceSignals()
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    using Realm = TavriSharedIdentityRealm;
    m_voiceConnections << connect(voice, &VoiceManager::captureDeviceChanged, this, &Realm::onCaptureDeviceChanged)
                       << connect(voice, &VoiceManager::renderDeviceChanged, this, &Realm::onRenderDeviceChanged)
                       << connect(voice, &VoiceManager::keyEvent, this, &Realm::onNamedKeyEvent)
                       << connect(voice, &VoiceManager::localMicMuteChanged, this, &Realm::onLocalMuteMuteChanged)
                       << connect(voice, &VoiceManager::contactPresenceReceived, this,
                                  &Realm::onContactPresenceReceived)
                       << connect(voice, &VoiceManager::serverAppDataReceived, this,
                                  &Realm::onVoiceNetworkAppDataReceived);
}

TavriSharedIdentityRealm::~TavriSharedIdentityRealm()
{
    if (!m_live)
        return;
    qDebug() << "TavriSharedIdentityRealm::~TavriSharedIdentityRealm" << m_requesterId;
    // The output socket goes last; its end is not the application's.
    if (m_outputSocket)
        disconnect(m_outputSocket, nullptr, this, nullptr);

    const QList<TavriSharedIdentityRealmUser *> users = m_users.values();
    m_users.clear();
    qDeleteAll(users);

    for (const QString &channel : m_sessionHandlesByChannel.keys())
        emit conversationDisconnected(channel, m_userSipURI, DisconnectReasonNone, QString());
    emit destroying();

    if (VoiceManager *voice = VoiceManager::getInstance()) {
        voice->requestKeyBinding(pushToTalkBindingName(), QList<int>());
        // A realm that ends takes its user off the voice network; otherwise
        // the user would stay online until the program exits.
        if (!m_accountHandle.isEmpty()) {
            voice->closeSessionGroupHandle(m_sessionGroupHandle);
            voice->requestLogout(m_accountHandle);
        }
        for (const QMetaObject::Connection &connection : qAsConst(m_voiceConnections))
            disconnect(connection);
        disconnect(m_sessionAddedConnection);
        disconnect(m_accountHandleConnection);
        disconnect(m_sessionGroupConnection);
        disconnect(voice, nullptr, this, nullptr);
    }
    m_voiceConnections.clear();
    discardPendingRequests();
    m_inputServer->close();
    m_outputSocket->abort();
}

TavriSharedIdentityRealm::LoginState TavriSharedIdentityRealm::getLoginState() const
{
    if (m_controllerGone || m_userDisplayName.isEmpty())
        return LoggedOut;
    return m_sessionGroupHandle.isEmpty() ? LoginVerified : SessionGroupReady;
}

QString TavriSharedIdentityRealm::pushToTalkBindingName() const
{
    return QStringLiteral("%1_PTT").arg(m_requesterId);
}

QSocialManager *TavriSharedIdentityRealm::socialManager() const
{
    return QSocialManager::getInstance();
}

// ---------------------------------------------------------------------------
// Names, channels and users

QString TavriSharedIdentityRealm::conversationName(const QString &uri) const
{
    return m_channelNames.value(uri, uri);
}

QString TavriSharedIdentityRealm::conversationUriForName(const QString &name) const
{
    for (auto it = m_channelNames.constBegin(); it != m_channelNames.constEnd(); ++it) {
        if (it.value() == name)
            return it.key();
    }
    return QString();
}

QString TavriSharedIdentityRealm::currentConversation() const
{
    if (m_transmittingSessionHandle.isEmpty())
        return QString();
    for (auto it = m_sessionHandlesByChannel.constBegin(); it != m_sessionHandlesByChannel.constEnd(); ++it) {
        if (it.value() == m_transmittingSessionHandle)
            return it.key();
    }
    return QString();
}

QString TavriSharedIdentityRealm::nameForUri(const QString &uri) const
{
    return m_userNames.value(uri, uri);
}

QString TavriSharedIdentityRealm::uriForName(const QString &name) const
{
    for (auto it = m_userNames.constBegin(); it != m_userNames.constEnd(); ++it) {
        if (it.value() == name)
            return it.key();
    }
    return name;
}

TavriSharedIdentityRealmUser *TavriSharedIdentityRealm::getUser(const QString &key)
{
    if (TavriSharedIdentityRealmUser *user = m_users.value(key))
        return user;
    QString name;
    QString uri;
    if (key.startsWith(QLatin1String("sip:"))) {
        uri = key;
        name = nameForUri(key);
    } else {
        name = key;
        uri = uriForName(key);
    }
    auto *user = new TavriSharedIdentityRealmUser(key, name, uri, this);
    qDebug() << "TavriSharedIdentityRealm::getUser"
             << "creating new user" << key << name << uri;
    m_users.insert(key, user);
    return user;
}

// ---------------------------------------------------------------------------
// Tavri::IdentityRealmInterface

QString TavriSharedIdentityRealm::realmDisplayName()
{
    return m_realmDisplayName;
}

QString TavriSharedIdentityRealm::realmID()
{
    return m_requesterId;
}

QString TavriSharedIdentityRealm::realmTag()
{
    return QString();
}

bool TavriSharedIdentityRealm::realmFlagA()
{
    return false;
}

void TavriSharedIdentityRealm::realmHookA(void *) {}

void *TavriSharedIdentityRealm::realmObjectA()
{
    return nullptr;
}

void TavriSharedIdentityRealm::realmHookB(void *) {}

bool TavriSharedIdentityRealm::realmFlagB()
{
    return false;
}

Tavri::RealmUserInterface *TavriSharedIdentityRealm::getRealmUser(const QString &userUUID)
{
    return getUser(userUUID);
}

bool TavriSharedIdentityRealm::requestLogin()
{
    // The application logs in over its pipe, not through this call.
    return false;
}

QObject *TavriSharedIdentityRealm::realmObject()
{
    return this;
}

void TavriSharedIdentityRealm::onNetworkDisconnect() {}

void TavriSharedIdentityRealm::onNetworkReconnect() {}

// ---------------------------------------------------------------------------
// Pending requests

int TavriSharedIdentityRealm::pendingRequestCount(int type) const
{
    const auto it = m_pendingRequests.find(type);
    return it == m_pendingRequests.end() ? 0 : int(it->second.size());
}

void TavriSharedIdentityRealm::discardPendingRequests()
{
    m_pendingRequests.clear();
}

void TavriSharedIdentityRealm::queueRequest(TavriSharedIdentityRealmRequestPtr request)
{
    std::deque<TavriSharedIdentityRealmRequestPtr> &queue = m_pendingRequests[request->type];
    // Requests that are never answered (a leave of a channel not joined, a
    // failed web call) must not pile up without end.
    if (int(queue.size()) >= kMaxPendingPerType) {
        qWarning() << "TavriSharedIdentityRealm::queueRequest"
                   << "too many waiting requests of type" << request->type << "- dropping the oldest";
        queue.pop_front();
    }
    queue.push_back(std::move(request));
}

TavriSharedIdentityRealmRequestPtr TavriSharedIdentityRealm::takeRequest(int type)
{
    return takeRequestIf(type, [](const Request &) { return true; });
}

template <typename Predicate>
TavriSharedIdentityRealmRequestPtr TavriSharedIdentityRealm::takeRequestIf(int type, Predicate matches)
{
    const auto found = m_pendingRequests.find(type);
    if (found == m_pendingRequests.end())
        return nullptr;
    std::deque<TavriSharedIdentityRealmRequestPtr> &queue = found->second;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (matches(**it)) {
            TavriSharedIdentityRealmRequestPtr request = std::move(*it);
            queue.erase(it);
            return request;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Input pipe

void TavriSharedIdentityRealm::onNewInputMessage()
{
    // Every connection that waits is read at once and in parallel, without
    // holding the event loop; requests are carried out in the order in which
    // their connections arrived.
    while (m_inputServer && m_inputServer->hasPendingConnections()) {
        QLocalSocket *connection = m_inputServer->nextPendingConnection();
        if (!connection)
            continue;
        auto *reader = new InputReader(connection, m_inputDeadlineMs, kInputReadWaitMs, Request::kMaxPayload, this);
        m_inputReaders.append(reader);
        connect(reader, &InputReader::done, this, &TavriSharedIdentityRealm::serveReadInputs);
        reader->start();
    }
}

void TavriSharedIdentityRealm::serveReadInputs()
{
    while (!m_inputReaders.isEmpty() && m_inputReaders.first()->outcome() != InputReader::Outcome::Pending) {
        InputReader *reader = m_inputReaders.takeFirst();
        serveInputConnection(reader);
        reader->deleteLater();
    }
}

void TavriSharedIdentityRealm::serveInputConnection(InputReader *reader)
{
    QLocalSocket *connection = reader->connection();
    if (!connection)
        return;
    switch (reader->outcome()) {
    case InputReader::Outcome::Pending:
    case InputReader::Outcome::Frame:
        break;
    case InputReader::Outcome::NoLength:
        qWarning() << "TavriSharedIdentityRealm::onNewInputMessage"
                   << "Message reception failed - no length received";
        delete connection;
        return;
    case InputReader::Outcome::ReadError:
        qWarning() << "TavriSharedIdentityRealm::onNewInputMessage"
                   << "Message reception failed" << reader->errorString();
        delete connection;
        return;
    }

    const QByteArray payload = reader->payload();
    if (payload.size() < 4) {
        qWarning() << "TavriSharedIdentityRealm::onNewInputMessage"
                   << "Message reception failed - incomplete message";
        delete connection;
        return;
    }

    TavriSharedIdentityRealmRequestPtr request = Request::parse(payload);
    const qint32 type = request->type;
    qDebug() << "TavriSharedIdentityRealm::onNewInputMessage"
             << "request type:" << type;
    qint32 status = 0;
    if (Request::isKnownType(type)) {
        dispatch(std::move(request));
    } else {
        qWarning() << "TavriSharedIdentityRealm::onNewInputMessage"
                   << "unrecognized type:" << type;
        status = -1;
    }

    if (connection->state() != QLocalSocket::ConnectedState) {
        delete connection;
        return;
    }
    char statusBytes[4];
    qToLittleEndian<qint32>(status, statusBytes);
    connection->write(statusBytes, 4);
    connection->flush();
    if (connection->bytesToWrite() == 0) {
        delete connection;
        return;
    }
    // The status leaves when the peer reads; the connection goes once it
    // has, or after the same short grace as ever.
    connect(connection, &QLocalSocket::bytesWritten, connection, [connection] {
        if (connection->bytesToWrite() == 0)
            connection->deleteLater();
    });
    QTimer::singleShot(kStatusWriteWaitMs, connection, &QObject::deleteLater);
}

void TavriSharedIdentityRealm::dispatch(TavriSharedIdentityRealmRequestPtr request)
{
    const char *where = "TavriSharedIdentityRealm::onNewInputMessage";
    const Request &r = *request;
    switch (r.type) {
    case Request::LoginRequest: {
        qDebug() << where << "... executing login request for:" << r.text(0) << "with" << hidden(r.text(1));
        discardPendingRequests();
        const QString userName = r.text(0);
        const QString userToken = r.text(1);
        queueRequest(std::move(request));
        requestLogin(userName, userToken);
        break;
    }
    case Request::JoinRequest: {
        qDebug() << where << "... executing join request for:" << r.text(2) << "at" << r.text(0) << "with"
                 << hidden(r.text(1));
        const QString uri = r.text(0);
        const QString password = r.text(1);
        const QString name = r.text(2);
        queueRequest(std::move(request));
        if (!uri.isEmpty()) {
            m_channelNames.insert(uri, name);
            requestJoin(uri, password);
        } else {
            requestJoin(name, QString());
        }
        break;
    }
    case Request::LeaveRequest: {
        qDebug() << where << "... executing leave request for:" << r.text(0);
        QString channel = r.text(0);
        if (!channel.startsWith(QLatin1String("sip:"))) {
            channel = conversationUriForName(channel);
            request->strings[0] = channel.toUtf8();
        }
        queueRequest(std::move(request));
        if (m_sessionHandlesByChannel.contains(channel))
            requestLeaveConversation(channel, m_userSipURI);
        else
            qDebug() << "... not currently joined to requested channel..." << channel;
        break;
    }
    case Request::TextCommandRequest: {
        const QString commandLine = r.text(0);
        queueRequest(std::move(request));
        executeCommand(commandLine);
        break;
    }
    case Request::SendMessageRequest: {
        qDebug() << where << "... executing send message request:" << r.text(0);
        const QString text = r.text(0);
        queueRequest(std::move(request));
        sendMessageToTransmitting(text);
        break;
    }
    case Request::MuteRequest:
        qDebug() << where << "... executing mute/unmute request:" << r.text(0) << r.flag;
        setMute(r.text(0), r.flag);
        break;
    case Request::SetTransmitRequest: {
        qDebug() << where << "... executing set transmit request for:" << r.text(0);
        const QString channel = r.text(0);
        queueRequest(std::move(request));
        setTransmittingChannel(channel);
        break;
    }
    case Request::ChangeContactRequest: {
        qDebug() << where << "... executing change contact request for:" << r.text(0) << r.number;
        const QString target = r.text(0);
        const qint32 action = r.number;
        queueRequest(std::move(request));
        switch (action) {
        case 1:
            requestRemoveContact(target);
            break;
        case 2:
            requestBlockUser(target);
            break;
        case 3:
            requestUnblockUser(target);
            break;
        default:
            requestAddContact(target);
            break;
        }
        break;
    }
    case Request::ConversationListRequest:
        qDebug() << where << "... executing get conversation list";
        queueRequest(std::move(request));
        onConversationListReturned(m_sessionHandlesByChannel.keys(), currentConversation());
        break;
    case Request::ParticipantListRequest: {
        qDebug() << where << "... executing participant list request for:" << r.text(0);
        QString channel = r.text(0);
        queueRequest(std::move(request));
        if (channel.isEmpty())
            channel = currentConversation();
        QStringList uris;
        QStringList names;
        participantsOf(channel, uris, names);
        onParticipantListReturned(uris, names, channel);
        break;
    }
    case Request::ContactListRequest:
        qDebug() << where << "... executing get contact list";
        queueRequest(std::move(request));
        requestContactList();
        break;
    case Request::DeviceListRequest:
        qDebug() << where << "... executing get device list";
        queueRequest(std::move(request));
        sendDeviceList();
        break;
    case Request::SetDeviceRequest: {
        qDebug() << where << "... executing set device:" << r.text(0) << r.text(1);
        const QString capture = r.text(0);
        const QString render = r.text(1);
        queueRequest(std::move(request));
        setDevice(capture, render);
        break;
    }
    case Request::SetTalkModeRequest: {
        qDebug() << where << "... executing set talk mode:" << r.number << r.text(0);
        const qint32 mode = r.number;
        const QString keys = r.text(0);
        queueRequest(std::move(request));
        setTalkMode(mode, keys);
        break;
    }
    case Request::InviteRequest:
        qDebug() << where << "... executing invite:" << r.text(0) << r.text(1);
        sendInvite(r.text(0), r.text(1));
        break;
    case Request::InviteListRequest:
        qDebug() << where << "... executing get invite list";
        queueRequest(std::move(request));
        sendInviteList();
        break;
    case Request::InviteAnswerRequest:
        qDebug() << where << "... executing invite response";
        respondToInvite(r.number - 1, r.flag);
        break;
    case Request::SetPresenceRequest:
        qDebug() << where << "... executing setpresence response";
        setPresence(r.number, r.text(0));
        break;
    case Request::RealmMessageRequest:
        qDebug() << where << "... executing send message request:" << r.text(1);
        sendMessage(r.text(0), r.text(1));
        break;
    }
    // Requests that were not queued end here.
}

// ---------------------------------------------------------------------------
// Output pipe

void TavriSharedIdentityRealm::sendOutputMessage(TavriSharedIdentityRealmOutput &output)
{
    qDebug() << "TavriSharedIdentityRealm::sendOutputMessage"
             << "messageType:" << output.messageType()
             << (output.messageType() == Output::Response ? "responseType:" : "eventType:") << output.type();
    if (m_inert || m_controllerGone || !m_outputSocket || m_outputSocket->state() != QLocalSocket::ConnectedState) {
        qDebug() << "TavriSharedIdentityRealm::sendOutputMessage"
                 << "no output pipe, dropped";
        return;
    }
    const QByteArray frame = output.frame();
    // Bytes of an earlier frame still queued: the peer is slow, and waiting
    // once more for every frame would only stall the program.
    const bool backlog = m_outputSocket->bytesToWrite() > 0;
    {
        QMutexLocker locker(&outputLock());
        m_outputSocket->write(frame);
    }
    qDebug() << "TavriSharedIdentityRealm::sendOutputMessage"
             << "sent" << frame.size() << "bytes";
    if (m_outputSocket->bytesToWrite() > kMaxUnwrittenOutput) {
        qWarning() << "TavriSharedIdentityRealm::sendOutputMessage"
                   << "requester stopped reading," << m_outputSocket->bytesToWrite() << "bytes unwritten";
        onPipeWriteError(QLocalSocket::DatagramTooLargeError);
        return;
    }
    if (!backlog && !m_outputSocket->waitForBytesWritten(kOutputWriteWaitMs) && m_outputSocket
        && m_outputSocket->bytesToWrite() > 0) {
        qWarning() << "TavriSharedIdentityRealm::sendOutputMessage"
                   << "unable to start sending in time..."
                   << "bytes remaining:" << m_outputSocket->bytesToWrite();
    }
}

void TavriSharedIdentityRealm::onPipeReadUnlock()
{
    controllerGone("TavriSharedIdentityRealm::onPipeReadUnlock");
}

void TavriSharedIdentityRealm::onPipeWriteError(QLocalSocket::LocalSocketError socketError)
{
    // A wait that ran out of time reports itself as an error too; the frame
    // may still leave later, so it is no sign of the application's end.
    if (socketError == QLocalSocket::SocketTimeoutError)
        return;
    qDebug() << "TavriSharedIdentityRealm::onPipeWriteError" << socketError;
    controllerGone("TavriSharedIdentityRealm::onPipeWriteError");
}

void TavriSharedIdentityRealm::controllerGone(const char *slotName)
{
    // The socket reports a broken pipe both as an error and as a
    // disconnection: the application dies once.
    if (m_controllerGone)
        return;
    m_controllerGone = true;
    qWarning() << slotName << "... requesting application died?";
    emit loginStateChange(LoggedOut);
    emit controllerDied();
}

// ---------------------------------------------------------------------------
// Lists

void TavriSharedIdentityRealm::participantsOf(const QString &channel, QStringList &uris, QStringList &names)
{
    Conversation *conversation =
        channel.isEmpty() ? nullptr : TavriIdentityRealm::getInstance()->getConversation(channel);
    if (!conversation)
        return;
    for (ConversationParticipant *participant : conversation->getParticipants()->getParticipants()) {
        const QString uri = participant->getParticipantURI();
        QString name;
        if (Tavri::RealmUserInterface *identity = participant->getIdentity())
            name = identity->getDisplayName();
        if (name.isEmpty())
            name = nameForUri(uri);
        uris.append(uri);
        names.append(name);
    }
}

void TavriSharedIdentityRealm::onConversationListReturned(const QStringList &channelURIs, const QString &selectedURI)
{
    qDebug() << "TavriSharedIdentityRealm::onConversationListReturned" << channelURIs << selectedURI;
    const QStringList uris = channelURIs.mid(0, Output::kMaxInt16Count);
    QStringList names;
    for (const QString &uri : uris)
        names.append(conversationName(uri));
    Output output = Output::response(Output::ConversationListResponse, Output::StatusOk, QString(),
                                     takeRequest(Request::ConversationListRequest));
    output.int16(qint16(uris.size())).int16(qint16(uris.indexOf(selectedURI))).strings(uris).strings(names);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onParticipantListReturned(const QStringList &participantURIs,
                                                         const QStringList &participantNames, const QString &channelURI)
{
    qDebug() << "TavriSharedIdentityRealm::onParticipantListReturned" << participantURIs << channelURI;
    const QString current = currentConversation();
    TavriSharedIdentityRealmRequestPtr request =
        takeRequestIf(Request::ParticipantListRequest, [&](const Request &candidate) {
            const QString channel = candidate.text(0);
            return channel == channelURI || (channel.isEmpty() && channelURI == current);
        });
    const int count = qMin(qMin(participantURIs.size(), participantNames.size()), int(Output::kMaxInt16Count));
    Output output = Output::response(Output::ParticipantListResponse, Output::StatusOk, QString(), std::move(request));
    output.string(output.requestString(0))
        .int16(qint16(count))
        .strings(participantURIs.mid(0, count))
        .strings(participantNames.mid(0, count));
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::sendDeviceList()
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    CaptureDeviceModel *capture = voice->captureDevices();
    RenderDeviceModel *render = voice->renderDevices();
    const int captureCount = capture ? capture->count() : 0;
    const int renderCount = render ? render->count() : 0;
    // Both positions index the one list of blocks; cut it to what an int16
    // count can say.
    const int keptCapture = qMin(captureCount, int(Output::kMaxInt16Count));
    const int keptRender = qMin(renderCount, int(Output::kMaxInt16Count) - keptCapture);

    Output output = Output::response(Output::DeviceListResponse, Output::StatusOk, QString(),
                                     takeRequest(Request::DeviceListRequest));
    output.int16(qint16(keptCapture + keptRender));
    for (int row = 0; row < keptCapture; ++row)
        output.deviceBlock(0, capture->getDeviceIdByRow(row), capture->getDeviceNameByRow(row));
    for (int row = 0; row < keptRender; ++row)
        output.deviceBlock(1, render->getDeviceIdByRow(row), render->getDeviceNameByRow(row));
    output.int16(qint16(capture ? capture->getCurrentIndex() : -1));
    output.int16(qint16(render ? render->getCurrentIndex() + keptCapture : -1));
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::sendInviteList()
{
    const QList<Invitation> invitations = m_invitations.mid(0, Output::kMaxInt16Count);
    QStringList inviters;
    QStringList names;
    QStringList uris;
    for (const Invitation &invitation : invitations) {
        inviters.append(invitation.inviter);
        names.append(invitation.conversationName);
        uris.append(invitation.conversationURI);
    }
    Output output = Output::response(Output::InviteListResponse, Output::StatusOk, QString(),
                                     takeRequest(Request::InviteListRequest));
    output.int16(qint16(invitations.size())).strings(inviters).strings(names).strings(uris);
    sendOutputMessage(output);
}

// ---------------------------------------------------------------------------
// Web requests

void TavriSharedIdentityRealm::requestAddContact(const QString &target)
{
    if (QSocialManager *social = socialManager())
        social->requestRealmChangeContact(m_clientLibVersion, m_rsid, target, true, false, m_replyHandler);
}

void TavriSharedIdentityRealm::requestRemoveContact(const QString &target)
{
    if (QSocialManager *social = socialManager())
        social->requestRealmChangeContact(m_clientLibVersion, m_rsid, target, false, false, m_replyHandler);
}

void TavriSharedIdentityRealm::requestBlockUser(const QString &target)
{
    if (QSocialManager *social = socialManager())
        social->requestRealmChangeContact(m_clientLibVersion, m_rsid, target, true, true, m_replyHandler);
}

void TavriSharedIdentityRealm::requestUnblockUser(const QString &target)
{
    if (QSocialManager *social = socialManager())
        social->requestRealmChangeContact(m_clientLibVersion, m_rsid, target, false, true, m_replyHandler);
}

void TavriSharedIdentityRealm::requestContactList()
{
    if (QSocialManager *social = socialManager())
        social->requestRealmContactList(m_clientLibVersion, m_rsid, m_replyHandler);
}

void TavriSharedIdentityRealm::sendInvite(const QString &channel, const QString &invitee)
{
    qDebug() << "TavriSharedIdentityRealm::sendInvite" << channel << invitee;
    QString uri;
    QString name;
    if (channel.startsWith(QLatin1String("sip:"))) {
        uri = channel;
        name = conversationName(channel);
    } else {
        name = channel;
        uri = conversationUriForName(channel);
    }
    if (QSocialManager *social = socialManager())
        social->requestRealmSendInvite(m_clientLibVersion, m_rsid, invitee, uri, name, m_replyHandler);
}

void TavriSharedIdentityRealm::sendMessage(const QString &recipient, const QString &text)
{
    qDebug() << "TavriSharedIdentityRealm::sendMessage" << recipient;
    if (QSocialManager *social = socialManager())
        social->requestRealmSendMessage(m_clientLibVersion, m_rsid, recipient, text, m_replyHandler);
}

// ---------------------------------------------------------------------------
// Login, joins, messages, muting, presence, devices and push-to-talk

void TavriSharedIdentityRealm::requestLogin(const QString &userName, const QString &userToken)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!m_accountHandle.isEmpty()) {
        if (voice) {
            if (!m_sessionGroupHandle.isEmpty())
                voice->closeSessionGroupHandle(m_sessionGroupHandle);
            voice->requestLogout(m_accountHandle);
        }
        m_accountHandle.clear();
        m_sessionGroupHandle.clear();
        m_userDisplayName.clear();
        m_userSipURI.clear();
    }
    QSocialManager *social = socialManager();
    if (!social) {
        qWarning() << "TavriSharedIdentityRealm::requestLogin"
                   << "Tavri not yet fully initialized, or being torn down... message to requester to try again "
                      "later...";
        return;
    }
    emit loginStateChange(LoginRequested);
    social->requestRealmLogin(m_clientLibVersion, m_rsid, userName, userToken, m_replyHandler);
}

void TavriSharedIdentityRealm::requestJoin(const QString &channel, const QString &password)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice && m_joinsInProgress.isEmpty()) {
        qDebug() << "TavriSharedIdentityRealm::requestJoin"
                 << "connecting to sessionAdded()";
        // Connected once: a second connection would run the slot twice for
        // one session.
        if (!m_sessionAddedConnection)
            m_sessionAddedConnection =
                connect(voice, &VoiceManager::sessionAdded, this, &TavriSharedIdentityRealm::onSessionHandleReceived);
        if (!m_joinSignalsConnected) {
            m_joinSignalsConnected = true;
            using Realm = TavriSharedIdentityRealm;
            m_voiceConnections << connect(voice, &VoiceManager::sessionRemoved, this, &Realm::onSessionTerminated)
                               << connect(voice, &VoiceManager::participantAdded, this, &Realm::onParticipantAdded)
                               << connect(voice, &VoiceManager::participantRemoved, this, &Realm::onParticipantRemoved)
                               << connect(voice, &VoiceManager::participantUpdated, this, &Realm::onParticipantUpdated)
                               << connect(voice, &VoiceManager::sessionNotificationReceived, this,
                                          &Realm::onSessionNotificationReceived)
                               << connect(voice, &VoiceManager::messageReceived, this, &Realm::onSessionMessageReceived)
                               << connect(voice, &VoiceManager::sessionGroupTransmittingChannelChanged, this,
                                          &Realm::onTransmittingChannelChanged);
        }
    }
    if (!m_joinsInProgress.contains(channel))
        m_joinsInProgress.append(channel);
    if (m_userSipURI.isEmpty()) {
        qDebug() << "TavriSharedIdentityRealm::requestJoin"
                 << "Tavri shared instance not yet fully initialized, need to log in before joining...";
        return;
    }
    if (channel.startsWith(QLatin1String("sip:"))) {
        requestJoinConversation(channel, m_userSipURI, password);
        return;
    }
    if (QSocialManager *social = socialManager())
        social->requestRealmGetChannelAuth(m_clientLibVersion, m_rsid, channel, m_replyHandler);
}

void TavriSharedIdentityRealm::requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                                       const QString &password)
{
    Q_UNUSED(password)
    if (!participantUUID.isEmpty() && participantUUID != m_userSipURI)
        return;
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice && !m_sessionGroupHandle.isEmpty())
        voice->requestAddSession(m_sessionGroupHandle, conversationID);
}

void TavriSharedIdentityRealm::requestLeaveConversation(const QString &conversationID, const QString &participantUUID)
{
    if (!participantUUID.isEmpty() && participantUUID != m_userSipURI)
        return;
    QString channel = conversationID;
    if (!channel.startsWith(QLatin1String("sip:")))
        channel = conversationUriForName(channel);
    const QString handle = m_sessionHandlesByChannel.value(channel);
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice && !handle.isEmpty())
        voice->requestTerminateSession(handle);
}

void TavriSharedIdentityRealm::sendTextMessage(const QString &conversationID, const QString &messageText)
{
    if (!conversationID.isEmpty()) {
        const QString handle = m_sessionHandlesByChannel.value(conversationID);
        if (handle.isEmpty())
            return;
        m_transmittingSessionHandle = handle;
    }
    sendMessageToTransmitting(messageText);
}

void TavriSharedIdentityRealm::sendTextMessage(const QString &, const QString &, const QString &) {}

void TavriSharedIdentityRealm::sendIsTypingChanged(const QString &conversationID, bool isTyping)
{
    if (!conversationID.isEmpty()) {
        const QString handle = m_sessionHandlesByChannel.value(conversationID);
        if (handle.isEmpty())
            return;
        m_transmittingSessionHandle = handle;
    }
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->sendTypingNotification(m_transmittingSessionHandle, isTyping);
}

void TavriSharedIdentityRealm::sendMessageToTransmitting(const QString &text)
{
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestSendMessage(m_transmittingSessionHandle, text);
}

void TavriSharedIdentityRealm::requestLogout(Tavri::RealmUserInterface *)
{
    qDebug() << "TavriSharedIdentityRealm::requestLogout"
             << "not implemented";
}

void TavriSharedIdentityRealm::setMute(const QString &participantURI, bool mute)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    if (participantURI == m_userSipURI)
        voice->setLocalSpeakerMuted(m_transmittingSessionHandle, mute);
    else
        voice->setParticipantAudioMutedForMe(m_transmittingSessionHandle, participantURI, mute);
}

void TavriSharedIdentityRealm::setPresence(int presence, const QString &message)
{
    if (presence == m_presence && message == m_presenceMessage)
        return;
    m_presence = presence;
    m_presenceMessage = message;
    // Without an account of its own the voice service would set the local
    // user's presence instead.
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice && !m_accountHandle.isEmpty()) {
        voice->setPresence(presence == VoiceManager::PresenceAway ? VoiceManager::PresenceAway
                                                                  : VoiceManager::PresenceOnline,
                           message, m_accountHandle);
    }
}

void TavriSharedIdentityRealm::setTransmittingChannel(const QString &channelURI)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    if (m_sessionHandlesByChannel.value(channelURI).isEmpty()) {
        qDebug() << "TavriSharedIdentityRealm::setTransmittingChannel"
                 << "not connected to specified channel:" << channelURI;
        return;
    }
    voice->setTransmittingChannel(channelURI, m_sessionGroupHandle);
}

void TavriSharedIdentityRealm::setDevice(const QString &captureDevice, const QString &renderDevice)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    if (CaptureDeviceModel *capture = voice->captureDevices()) {
        for (int row = 0; row < capture->count(); ++row) {
            const QString id = capture->getDeviceIdByRow(row);
            if (id == captureDevice || capture->getDeviceNameByRow(row) == captureDevice) {
                qDebug() << "TavriSharedIdentityRealm::setDevice"
                         << "setting capture device:" << captureDevice;
                voice->setCaptureDevice(id);
                break;
            }
        }
    }
    if (RenderDeviceModel *render = voice->renderDevices()) {
        for (int row = 0; row < render->count(); ++row) {
            const QString id = render->getDeviceIdByRow(row);
            if (id == renderDevice || render->getDeviceNameByRow(row) == renderDevice) {
                qDebug() << "TavriSharedIdentityRealm::setDevice"
                         << "setting render device:" << renderDevice;
                voice->setRenderDevice(id);
                break;
            }
        }
    }
}

void TavriSharedIdentityRealm::setTalkMode(int mode, const QString &keyCombination)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    qDebug() << "TavriSharedIdentityRealm::setTalkMode" << mode << keyCombination;
    // Without a signed-in user the values would land in the local user's
    // own group.
    StorageManager *storage = m_userSipURI.isEmpty() ? nullptr : StorageManager::getInstance();
    if (mode == 1) {
        // Push-to-talk off: only the binding goes and the microphone opens;
        // the voice account and its session group stay.
        voice->requestKeyBinding(pushToTalkBindingName(), QList<int>());
        voice->setLocalMicMuted(false);
    } else if (mode == 2 || mode == 3) {
        if (storage)
            storage->setSettingsValue(QStringLiteral("talkKeyCombo"), keyCombination, settingsGroup());
        QString rest = keyCombination;
        QList<int> codes;
        if (rest.contains(QLatin1String("++"))) {
            rest.remove(QStringLiteral("++"));
            if (const int plus = plusKeyCode())
                codes.append(plus);
        }
        for (const QString &part : rest.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
            if (const int code = VoiceManager::getVirtualKeyCodeByName(part))
                codes.append(code);
        }
        if (!codes.isEmpty()) {
            voice->setLocalMicMuted(true);
            voice->requestKeyBinding(pushToTalkBindingName(), codes);
        }
    }
    m_talkMode = mode;
    if (storage)
        storage->setSettingsValue(QStringLiteral("talkMode"), mode, settingsGroup());
}

void TavriSharedIdentityRealm::respondToInvite(int index, bool decline)
{
    if (index == -1)
        index = m_invitations.size() - 1;
    if (index < 0 || index >= m_invitations.size())
        return;
    qDebug() << "TavriSharedIdentityRealm::respondToInvite" << index << decline;
    const Invitation invitation = m_invitations.takeAt(index);
    if (decline)
        return;
    auto request = std::make_unique<Request>();
    request->type = Request::JoinRequest;
    request->strings[0] = invitation.conversationURI.toUtf8();
    request->strings[2] = invitation.conversationName.toUtf8();
    queueRequest(std::move(request));
    requestJoin(invitation.conversationURI, QString());
}

void TavriSharedIdentityRealm::executeCommand(const QString &commandLine)
{
    qDebug() << "TavriSharedIdentityRealm::executeCommand" << commandLine;
    TavriSharedIdentityRealmCommands command(*this, commandLine);
    command.run();
    if (command.reply().isEmpty()) {
        qDebug() << "TavriSharedIdentityRealm::executeCommand"
                 << "Delayed handling of output from request:" << commandLine;
        return;
    }
    Output output = Output::response(Output::TextCommandResponse, command.status(), QString(),
                                     takeRequest(Request::TextCommandRequest));
    output.string(output.requestString(0)).string(command.reply());
    sendOutputMessage(output);
}

// ---------------------------------------------------------------------------
// Web replies

void TavriSharedIdentityRealm::onSessionTokenReceived(const QString &sessionToken)
{
    qDebug() << "TavriSharedIdentityRealm::onSessionTokenReceived" << hidden(sessionToken);
    m_rsid = sessionToken;
}

void TavriSharedIdentityRealm::onRealmVerified(const QString &displayName)
{
    qDebug() << "TavriSharedIdentityRealm::onRealmVerified" << displayName;
    m_realmDisplayName = displayName;
}

void TavriSharedIdentityRealm::onRealmInfoReceived(const QString &realmDisplayName, const QString &realmURL,
                                                   const QString &realmIconURL, const QString &realmDescription)
{
    qDebug() << "TavriSharedIdentityRealm::onRealmInfoReceived" << realmDisplayName << realmURL << realmIconURL
             << realmDescription;
    m_realmURL = realmURL;
    m_realmIconURL = realmIconURL;
    m_realmDescription = realmDescription;
}

void TavriSharedIdentityRealm::onLoginVerified(const QString &userDisplayName, const QString &userSipURI,
                                               const QString &ostrelLoginToken)
{
    qDebug() << "TavriSharedIdentityRealm::onLoginVerified" << userDisplayName << userSipURI
             << hidden(ostrelLoginToken);
    m_userDisplayName = userDisplayName;
    m_userSipURI = userSipURI;
    if (!userSipURI.isEmpty())
        m_userNames.insert(userSipURI, userDisplayName);
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice && !m_accountHandleConnection)
        m_accountHandleConnection = connect(voice, &VoiceManager::accountHandleReceived, this,
                                            &TavriSharedIdentityRealm::onAccountHandleReceived);
    emit loginStateChange(LoginVerified);
    if (voice)
        voice->requestLogin(ostrelLoginToken, m_requesterId);
    requestContactList();
    StorageManager *storage = StorageManager::getInstance();
    const int mode = storage ? storage->getSettingsValue(QStringLiteral("talkMode"), 1, settingsGroup()).toInt() : 1;
    const QString keys =
        storage ? storage->getSettingsValue(QStringLiteral("talkKeyCombo"), QString(), settingsGroup()).toString()
                : QString();
    setTalkMode(mode, keys);
}

void TavriSharedIdentityRealm::onContactAdded(const QString &userSipURI, bool success, bool wasBlocked)
{
    qDebug() << "TavriSharedIdentityRealm::onContactAdded" << userSipURI << success << wasBlocked;
    answerContactChange(0, userSipURI, success, wasBlocked ? Output::StatusRefused : Output::StatusFailed,
                        wasBlocked ? QStringLiteral("User blocked request") : QStringLiteral("User not found"));
    const QString uri = userSipURI.startsWith(QLatin1String("sip:")) ? userSipURI : uriForName(userSipURI);
    VoiceManager *voice = VoiceManager::getInstance();
    if (success && voice && !m_accountHandle.isEmpty() && uri.startsWith(QLatin1String("sip:"))) {
        if (!m_contacts.contains(uri))
            m_contacts.append(uri);
        voice->requestAddBuddy(uri, m_accountHandle);
    }
}

void TavriSharedIdentityRealm::onContactRemoved(const QString &userSipURI, bool success)
{
    qDebug() << "TavriSharedIdentityRealm::onContactRemoved" << userSipURI << success;
    answerContactChange(1, userSipURI, success, Output::StatusFailed, QStringLiteral("User not found"));
    const QString uri = userSipURI.startsWith(QLatin1String("sip:")) ? userSipURI : uriForName(userSipURI);
    VoiceManager *voice = VoiceManager::getInstance();
    if (success && voice && !m_accountHandle.isEmpty() && uri.startsWith(QLatin1String("sip:"))) {
        m_contacts.removeAll(uri);
        voice->requestRemoveBuddy(uri, m_accountHandle);
    }
}

void TavriSharedIdentityRealm::onUserBlocked(const QString &userSipURI, bool success)
{
    qDebug() << "TavriSharedIdentityRealm::onUserBlocked" << userSipURI << success;
    answerContactChange(2, userSipURI, success, Output::StatusFailed, QStringLiteral("User not found"));
}

void TavriSharedIdentityRealm::onUserUnblocked(const QString &userSipURI, bool success)
{
    qDebug() << "TavriSharedIdentityRealm::onUserUnblocked" << userSipURI << success;
    answerContactChange(3, userSipURI, success, Output::StatusFailed, QStringLiteral("User not found"));
}

void TavriSharedIdentityRealm::answerContactChange(int action, const QString &target, bool success, int failureStatus,
                                                   const QString &failureText)
{
    TavriSharedIdentityRealmRequestPtr request =
        takeRequestIf(Request::ChangeContactRequest, [&](const Request &change) {
            // Every action but 1 to 3 is an add.
            const int asked = change.number >= 1 && change.number <= 3 ? change.number : 0;
            return asked == action && change.text(0) == target;
        });
    Output output = Output::response(Output::ChangeContactResponse, success ? int(Output::StatusOk) : failureStatus,
                                     success ? QString() : failureText, std::move(request));
    output.int32(output.requestNumber()).string(output.requestString(0));
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onContactListReceived(const QStringList &contactURIs, const QStringList &contactNames)
{
    qDebug() << "TavriSharedIdentityRealm::onContactListReceived" << contactURIs << contactNames;
    recordNames(contactURIs, contactNames);
    m_contacts = contactURIs;
    TavriSharedIdentityRealmRequestPtr request = takeRequest(Request::ContactListRequest);
    Output output = request
                        ? Output::response(Output::ContactListResponse, Output::StatusOk, QString(), std::move(request))
                        : Output::event(Output::ContactListEvent);
    appendUserList(output, contactURIs, contactNames);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onBlockListReceived(const QStringList &contactURIs, const QStringList &contactNames)
{
    qDebug() << "TavriSharedIdentityRealm::onBlockListReceived" << contactURIs << contactNames;
    recordNames(contactURIs, contactNames);
    Output output = Output::event(Output::BlockListEvent);
    appendUserList(output, contactURIs, contactNames);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::recordNames(const QStringList &uris, const QStringList &names)
{
    for (int i = 0; i < uris.size() && i < names.size(); ++i) {
        if (!uris.at(i).isEmpty())
            m_userNames.insert(uris.at(i), names.at(i));
    }
}

void TavriSharedIdentityRealm::appendUserList(TavriSharedIdentityRealmOutput &output, const QStringList &uris,
                                              const QStringList &names)
{
    // Both lists have as many elements as the count says.
    const int count = uris.size();
    QStringList paired = names.mid(0, count);
    while (paired.size() < count)
        paired.append(QString());
    output.int32(count).strings(uris).strings(paired);
}

void TavriSharedIdentityRealm::onUserInfoReceived(const QString &userSipURI, const QString &username)
{
    qDebug() << "TavriSharedIdentityRealm::onUserInfoReceived" << userSipURI << username;
    m_userNames.insert(userSipURI, username);
}

void TavriSharedIdentityRealm::onUserNotFound(const QString &target)
{
    qDebug() << "TavriSharedIdentityRealm::onUserNotFound" << target;
}

void TavriSharedIdentityRealm::onChannelAccessInfoReceived(const QString &channelName, const QString &channelUri,
                                                           const QString &channelToken)
{
    qDebug() << "TavriSharedIdentityRealm::onChannelAccessInfoReceived" << channelName << channelUri
             << hidden(channelToken);
    m_channelNames.insert(channelUri, channelName);
    // The join goes on under the channel's URI.
    m_joinsInProgress.removeAll(channelName);
    requestJoin(channelUri, channelToken);
}

void TavriSharedIdentityRealm::onChannelAccessDenied(const QString &channelName)
{
    qDebug() << "TavriSharedIdentityRealm::onChannelAccessDenied" << channelName;
    // The join by name that asked for access is answered now: nothing else
    // would ever answer it.
    TavriSharedIdentityRealmRequestPtr request;
    if (!channelName.isEmpty()) {
        request = takeRequestIf(Request::JoinRequest, [&](const Request &join) {
            return join.strings[0].isEmpty() && join.text(2) == channelName;
        });
    } else {
        request = takeRequestIf(Request::JoinRequest, [](const Request &join) { return join.strings[0].isEmpty(); });
    }
    const QString name = channelName.isEmpty() && request ? request->text(2) : channelName;
    Output output = Output::response(Output::JoinResponse, Output::StatusRefused,
                                     QStringLiteral("Channel access denied"), std::move(request));
    output.string(output.requestString(0)).string(output.requestString(1)).string(output.requestString(2));
    sendOutputMessage(output);
    dropJoinInProgress(name);
}

void TavriSharedIdentityRealm::onNameUriMapped(const QString &name, const QString &uri)
{
    qDebug() << "TavriSharedIdentityRealm::onNameUriMapped" << name << uri;
    if (!name.isEmpty() && !uri.isEmpty())
        m_userNames.insert(uri, name);
}

// ---------------------------------------------------------------------------
// Voice service

void TavriSharedIdentityRealm::onAccountHandleReceived(const QString &sharedRealmID, const QString &accountHandle)
{
    if (sharedRealmID != m_requesterId)
        return;
    qDebug() << "TavriSharedIdentityRealm::onAccountHandleReceived" << sharedRealmID << accountHandle;
    disconnect(m_accountHandleConnection);
    m_accountHandleConnection = QMetaObject::Connection();
    m_accountHandle = accountHandle;
    VoiceManager *voice = VoiceManager::getInstance();
    if (voice) {
        if (!m_sessionGroupConnection)
            m_sessionGroupConnection = connect(voice, &VoiceManager::sessionGroupReceived, this,
                                               &TavriSharedIdentityRealm::onSessionGroupHandleReceived);
        voice->requestCreateSessionGroup(m_requesterId);
    }
    setPresence(VoiceManager::PresenceOnline, QString());
}

void TavriSharedIdentityRealm::onSessionGroupHandleReceived(const QString &sharedRealmID,
                                                            const QString &sessionGroupHandle)
{
    if (sharedRealmID != m_requesterId)
        return;
    qDebug() << "TavriSharedIdentityRealm::onSessionGroupHandleReceived" << sharedRealmID << sessionGroupHandle;
    disconnect(m_sessionGroupConnection);
    m_sessionGroupConnection = QMetaObject::Connection();
    m_sessionGroupHandle = sessionGroupHandle;
    emit ready();
    Output output =
        Output::response(Output::LoginResponse, Output::StatusOk, QString(), takeRequest(Request::LoginRequest));
    output.string(output.requestString(0)).string(output.requestString(1));
    sendOutputMessage(output);
    emit loginStateChange(SessionGroupReady);
    // Joins asked for before the login go out now and leave the list, so no
    // later login replays them (a name, or a channel whose session never
    // came, would otherwise be joined again each time). The session-added
    // relay stays connected for the sessions they bring.
    const QStringList waiting = m_joinsInProgress;
    for (const QString &channel : waiting) {
        requestJoin(channel, QString());
        m_joinsInProgress.removeAll(channel);
    }
}

void TavriSharedIdentityRealm::onSessionHandleReceived(const QString &sessionGroupHandle, const QString &sipURI,
                                                       const QString &sessionHandle)
{
    VoiceManager *voice = VoiceManager::getInstance();
    if (sessionGroupHandle.isEmpty() || sessionGroupHandle != m_sessionGroupHandle || !voice)
        return;
    if (m_joinsInProgress.contains(sipURI))
        dropJoinInProgress(sipURI);

    const QString previous = m_sessionHandlesByChannel.value(sipURI);
    if (!previous.isEmpty() && previous != sessionHandle) {
        qDebug() << "TavriSharedIdentityRealm::onSessionHandleReceived"
                 << "channel already has a session handle... leave previous instance";
        voice->requestTerminateSession(previous);
    }
    m_sessionHandlesByChannel.insert(sipURI, sessionHandle);
    voice->setTransmittingChannel(sipURI, m_sessionGroupHandle);
    m_transmittingSessionHandle = sessionHandle;

    // The request for this channel, else the oldest join by name.
    const QString name = conversationName(sipURI);
    TavriSharedIdentityRealmRequestPtr request =
        takeRequestIf(Request::JoinRequest, [&](const Request &join) { return join.text(0) == sipURI; });
    if (!request) {
        request = takeRequestIf(Request::JoinRequest, [&](const Request &join) {
            return join.strings[0].isEmpty() && !join.strings[2].isEmpty() && join.text(2) == name;
        });
    }
    if (!request)
        request = takeRequestIf(Request::JoinRequest, [](const Request &join) { return join.strings[0].isEmpty(); });
    if (request) {
        if (request->strings[0].isEmpty())
            request->strings[0] = sipURI.toUtf8();
        if (request->strings[2].isEmpty())
            request->strings[2] = name.toUtf8();
    }
    Output output = Output::response(Output::JoinResponse, Output::StatusOk, QString(), std::move(request));
    output.string(output.requestString(0)).string(output.requestString(1)).string(output.requestString(2));
    sendOutputMessage(output);
    emit conversationJoined(sipURI, m_userSipURI);
}

void TavriSharedIdentityRealm::onSessionTerminated(const QString &sessionURI, const QString &sessionHandle)
{
    const QString ownChannel = channelOfSession(sessionHandle);
    if (ownChannel.isEmpty())
        return;
    qDebug() << "TavriSharedIdentityRealm::onSessionTerminated" << sessionURI << sessionHandle;
    const QString channel = sessionURI.isEmpty() ? ownChannel : sessionURI;
    m_sessionHandlesByChannel.remove(channel);
    m_sessionHandlesByChannel.remove(ownChannel);
    if (!m_sessionHandlesByChannel.isEmpty()) {
        const QString next = m_sessionHandlesByChannel.firstKey();
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->setTransmittingChannel(next, m_sessionGroupHandle);
        m_transmittingSessionHandle = m_sessionHandlesByChannel.first();
    }
    TavriSharedIdentityRealmRequestPtr request =
        takeRequestIf(Request::LeaveRequest, [&](const Request &leave) { return leave.text(0) == channel; });
    if (request) {
        qDebug() << "TavriSharedIdentityRealm::onSessionTerminated"
                 << "building response to request...";
        Output output = Output::response(Output::LeaveResponse, Output::StatusOk, QString(), std::move(request));
        output.string(output.requestString(0));
        sendOutputMessage(output);
    } else {
        qDebug() << "TavriSharedIdentityRealm::onSessionTerminated"
                 << "building event for unrequested terminate...";
        Output output = Output::event(Output::ConversationEndedEvent);
        output.int32(0).string(channel);
        sendOutputMessage(output);
    }
    emit conversationDisconnected(channel, m_userSipURI, DisconnectReasonNone, QString());
}

QString TavriSharedIdentityRealm::channelOfSession(const QString &sessionHandle) const
{
    if (sessionHandle.isEmpty())
        return QString();
    for (auto it = m_sessionHandlesByChannel.constBegin(); it != m_sessionHandlesByChannel.constEnd(); ++it) {
        if (it.value() == sessionHandle)
            return it.key();
    }
    return QString();
}

void TavriSharedIdentityRealm::onParticipantAdded(const QString &participantURI, const QString &sessionHandle,
                                                  const QString &displayName, const QString &participantTag)
{
    const QString channel = channelOfSession(sessionHandle);
    if (channel.isEmpty())
        return;
    qDebug() << "TavriSharedIdentityRealm::onParticipantAdded" << participantURI << sessionHandle << displayName
             << participantTag;
    if (!displayName.isEmpty() && displayName != participantURI)
        m_userNames.insert(participantURI, displayName);
    Output output = Output::event(Output::ParticipantAddedEvent);
    output.string(channel).string(participantURI).string(displayName);
    sendOutputMessage(output);
    emit conversationParticipantAdded(channel, participantURI);
}

void TavriSharedIdentityRealm::onParticipantRemoved(const QString &participantURI, const QString &sessionHandle,
                                                    int reason, const QString &participantTag)
{
    const QString channel = channelOfSession(sessionHandle);
    if (channel.isEmpty())
        return;
    qDebug() << "TavriSharedIdentityRealm::onParticipantRemoved" << participantURI << sessionHandle << reason
             << participantTag;
    const bool forced = reason == DisconnectReasonKicked || reason == DisconnectReasonBanned;
    Output output = Output::event(Output::ParticipantRemovedEvent);
    output.string(channel).string(participantURI).string(nameForUri(participantURI)).int32(forced ? 1 : 0);
    sendOutputMessage(output);
    emit conversationParticipantRemoved(channel, participantURI, DisconnectReasonNone, QString());
}

void TavriSharedIdentityRealm::onParticipantUpdated(const QString &userUri, const QString &sessionHandle,
                                                    bool isMutedGlobally, bool isSpeaking, int, double, int,
                                                    bool isMutedLocally, bool, int, const QString &)
{
    const QString channel = channelOfSession(sessionHandle);
    if (channel.isEmpty())
        return;
    const bool muted = isMutedGlobally || isMutedLocally;
    qDebug() << "TavriSharedIdentityRealm::onParticipantUpdated" << sessionHandle << userUri << isSpeaking << false
             << muted;
    Output output = Output::event(Output::ParticipantUpdatedEvent);
    output.string(channel).string(userUri).string(nameForUri(userUri)).byte(isSpeaking).byte(false).byte(muted);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onSessionMessageReceived(const QString &senderURI, const QString &sessionHandle,
                                                        const QString &message)
{
    const QString channel = channelOfSession(sessionHandle);
    if (channel.isEmpty())
        return;
    qDebug() << "TavriSharedIdentityRealm::onSessionMessageReceived" << senderURI << sessionHandle;
    static const QRegularExpression timePrefix(QStringLiteral("^[0-9]+:[0-9]*:"));
    QString text = message;
    text.remove(timePrefix);
    qDebug() << "TavriSharedIdentityRealm::onSessionMessageReceived"
             << "(actual)" << text;
    Output output = Output::event(Output::TextMessageEvent);
    output.string(channel).string(senderURI).string(nameForUri(senderURI)).string(text);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onSessionNotificationReceived(const QString &sessionHandle,
                                                             const QString &participantURI, int notificationType)
{
    qDebug() << "TavriSharedIdentityRealm::onSessionNotificationReceived" << sessionHandle << participantURI
             << notificationType;
}

void TavriSharedIdentityRealm::onTransmittingChannelChanged(const QString &sessionGroupHandle, const QString &sipURI)
{
    if (sessionGroupHandle.isEmpty() || sessionGroupHandle != m_sessionGroupHandle
        || !m_sessionHandlesByChannel.contains(sipURI))
        return;
    m_transmittingSessionHandle = m_sessionHandlesByChannel.value(sipURI);
    Output output = Output::event(Output::TransmitChannelChangedEvent);
    output.string(sipURI).string(conversationName(sipURI));
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onCaptureDeviceChanged(const QString &)
{
    qDebug() << "TavriSharedIdentityRealm::onCaptureDeviceChanged";
    VoiceManager *voice = VoiceManager::getInstance();
    if (CaptureDeviceModel *model = voice ? voice->captureDevices() : nullptr)
        answerDeviceChange("TavriSharedIdentityRealm::onCaptureDeviceChanged", 0, model->currentDeviceId(),
                           model->getCurrentText());
}

void TavriSharedIdentityRealm::onRenderDeviceChanged(const QString &)
{
    qDebug() << "TavriSharedIdentityRealm::onRenderDeviceChanged";
    VoiceManager *voice = VoiceManager::getInstance();
    if (RenderDeviceModel *model = voice ? voice->renderDevices() : nullptr)
        answerDeviceChange("TavriSharedIdentityRealm::onRenderDeviceChanged", 1, model->currentDeviceId(),
                           model->getCurrentText());
}

void TavriSharedIdentityRealm::answerDeviceChange(const char *slotName, int kind, const QString &deviceId,
                                                  const QString &deviceName)
{
    if (pendingRequestCount(Request::SetDeviceRequest) == 0) {
        qDebug() << slotName << " no pending request to change device...";
        return;
    }
    // Every waiting request that names the new device gets its own answer;
    // the others wait for their device.
    auto names = [&](const Request &set) {
        for (int i = 0; i < 2; ++i) {
            const QString asked = set.text(i);
            if (!asked.isEmpty() && (asked == deviceId || asked == deviceName))
                return true;
        }
        return false;
    };
    while (TavriSharedIdentityRealmRequestPtr request = takeRequestIf(Request::SetDeviceRequest, names)) {
        Output output = Output::response(Output::SetDeviceResponse, Output::StatusOk, QString(), std::move(request));
        output.string(output.requestString(0)).string(output.requestString(1)).deviceBlock(kind, deviceId, deviceName);
        sendOutputMessage(output);
    }
}

void TavriSharedIdentityRealm::onNamedKeyEvent(const QString &keyEventName, bool isDown)
{
    if (keyEventName != pushToTalkBindingName())
        return;
    qDebug() << "TavriSharedIdentityRealm::onNamedKeyEvent" << isDown;
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice)
        return;
    if (m_talkMode == 2)
        voice->setLocalMicMuted(!isDown);
    else if (m_talkMode == 3 && !isDown)
        voice->setLocalMicMuted(!m_localMicMuted);
}

void TavriSharedIdentityRealm::onLocalMuteMuteChanged(bool muted)
{
    qDebug() << "TavriSharedIdentityRealm::onLocalMuteMuteChanged" << muted;
    m_localMicMuted = muted;
}

void TavriSharedIdentityRealm::onContactPresenceReceived(const QString &accountHandle, const QString &remoteUserURI,
                                                         int presenceState, const QString &customMessage)
{
    if (accountHandle.isEmpty() || accountHandle != m_accountHandle)
        return;
    qDebug() << "TavriSharedIdentityRealm::onContactPresenceReceived" << remoteUserURI << presenceState
             << customMessage;
    const int value = presenceState == VoiceManager::PresenceOnline || presenceState == VoiceManager::PresenceAway
                          ? presenceState
                          : 0;
    const auto cached = m_contactPresence.constFind(remoteUserURI);
    if ((cached == m_contactPresence.constEnd() && value == 0)
        || (cached != m_contactPresence.constEnd() && *cached == value)) {
        m_contactPresence.insert(remoteUserURI, value);
        return;
    }
    m_contactPresence.insert(remoteUserURI, value);
    Output output = Output::event(Output::ContactPresenceEvent);
    output.string(remoteUserURI).int32(value).string(customMessage);
    sendOutputMessage(output);
}

void TavriSharedIdentityRealm::onVoiceNetworkAppDataReceived(const QString &accountHandle, const QString &contentType,
                                                             const QString &content)
{
    if (accountHandle.isEmpty() || accountHandle != m_accountHandle
        || contentType != QLatin1String("x-ostrel-notification"))
        return;
    qDebug() << "TavriSharedIdentityRealm::onVoiceNetworkAppDataReceived" << contentType
             << " received, need to retrieve info..." << content;
    const QStringList fields = content.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    // A prefix and three fields at least; shorter data is ignored.
    if (fields.size() < 4)
        return;
    if (fields.first() == QLatin1String("ri")) {
        Output output = Output::event(Output::InviteReceivedEvent);
        output.string(fields.at(1)).string(fields.at(2)).string(fields.at(3));
        sendOutputMessage(output);
        m_invitations.append({fields.at(1), fields.at(3), fields.at(2)});
        // Remote users can send any number of invitations: keep the newest.
        while (m_invitations.size() > kMaxInvitations)
            m_invitations.removeFirst();
    } else if (fields.first() == QLatin1String("im")) {
        Output output = Output::event(Output::TextMessageEvent);
        output.string(QString()).string(fields.at(2)).string(fields.at(1)).string(fields.mid(3).join(QLatin1Char('|')));
        sendOutputMessage(output);
    }
}
