#include "socialmanager.h"

#include "eventlogger.h"
#include "localuser.h"
#include "logcategories.h"
#include "osinfo.h"
#include "reportassertionfailure.h"
#include "socialquery.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageLogger>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QUuid>

namespace {

QSocialManager *s_instance = nullptr;

// The fixed user-agent text of analytics events.
const QString kEventUserAgent = QStringLiteral("Tavri/Win/0.6.18.8668");
const QString kLogEventMethod = QStringLiteral("LogEvent");
// Analytics events are sent this long after the first is queued, and a failed
// send is retried after the same pause.
constexpr int kEventDelayMs = 200;
// A failing event is given up after this many consecutive retries (about four
// hours at five tries a second); the retry log line appears once every
// kRetryLogIntervalMs.
constexpr int kMaxEventRetries = 72000;
constexpr qint64 kRetryLogIntervalMs = 60 * 1000;
// Side of the square pictures sent for users and channels, in pixels.
constexpr int kPictureSize = 128;
// Pictures with more pixels than this are not decoded (64 megapixels take
// 256 MiB as 32-bit pixels).
constexpr qint64 kMaxPicturePixels = 64LL * 1024 * 1024;
// Picture files larger than this are not read (no picture is that large
// before it is squared).
constexpr qint64 kMaxPictureFileBytes = 16 * 1024 * 1024;
// Only the start of a picture's Base64 text goes to the log.
constexpr int kLoggedPictureCharacters = 200;
// Channel descriptions are cut to this many characters.
constexpr int kMaxChannelDescription = 2000;

QString flagText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

int flagNumber(bool value)
{
    return value ? 1 : 0;
}

// The first `length` characters of text, one fewer where the cut would split
// a surrogate pair (which would reach the wire as a replacement character).
QString leftCharacters(const QString &text, int length)
{
    if (text.size() > length && length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

namespace {

// How long a web call may go without any data moving before it fails.
constexpr int kTransferTimeoutMs = 20000;

} // namespace

QSocialManager::QSocialManager(QObject *parent, const QString &apiUrl, const QString &shortLinkHost)
    : JsonReplyHandler(parent)
    , m_apiUrl(apiUrl)
    , m_shortLinkHost(shortLinkHost)
    , m_networkManager(new QNetworkAccessManager(this))
    , m_clientGuid(QUuid::createUuid().toString().mid(1, 36))
    , m_eventTimer(new QTimer(this))
    , m_eventLogger(new EventLogger(this))
    , m_osVersion(host::OsInfo::windowsVersionValue())
{
    TAVRI_CHECK(!s_instance);
    // A service that accepts a call and never answers fails it in time: a
    // sign-in then ends well before the login watchdog and is tried again.
    m_networkManager->setTransferTimeout(kTransferTimeoutMs);
    m_eventTimer->setSingleShot(true);
    connect(this, &QSocialManager::logEventQueued, this, &QSocialManager::onEventQueued);
    connect(m_eventTimer, &QTimer::timeout, this, &QSocialManager::onEventQueuedNext);
    connect(m_eventLogger, &EventLogger::eventSendComplete, this, &QSocialManager::onEventSendComplete);
    connect(m_eventLogger, &EventLogger::eventSendErrored, this, &QSocialManager::onEventSendErrored);
    s_instance = this;
}

QSocialManager::~QSocialManager()
{
    qCDebug(ssint) << "~SocialManager() - begin";
    // Nothing is recorded while the services are torn down.
    m_doNotLog = true;
    if (s_instance == this)
        s_instance = nullptr;
    m_networkManager->deleteLater();
    disconnect(this, &QSocialManager::logEventQueued, this, &QSocialManager::onEventQueued);
    disconnect(m_eventLogger, nullptr, this, nullptr);
    m_eventTimer->stop();
    disconnect(m_eventTimer, nullptr, nullptr, nullptr);
    delete m_eventTimer;
    m_eventTimer = nullptr;
    m_eventQueue.clear();
    qCDebug(ssint) << "~SocialManager() - end";
}

QSocialManager *QSocialManager::getInstance()
{
    return s_instance;
}

// --- Transport --------------------------------------------------------------

void QSocialManager::performQuery(const QUrl &url, const QJsonObject &params, JsonReplyHandler *handler,
                                  QObject *errorReceiver, const char *errorSlot)
{
    postQuery(url, params, handler, errorReceiver, errorSlot, true);
}

QNetworkReply *QSocialManager::postQuery(const QUrl &url, const QJsonObject &params, JsonReplyHandler *handler,
                                         QObject *errorReceiver, const char *errorSlot, bool withCredentials,
                                         bool quiet, int transferTimeoutMs)
{
    QNetworkRequest request(url);
    if (transferTimeoutMs > 0)
        request.setTransferTimeout(transferTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));

    QJsonObject fields = params;
    if (withCredentials) {
        if (!m_sessionId.isEmpty()) {
            fields.insert(QStringLiteral("sid"), m_sessionId);
        } else {
            fields.insert(QStringLiteral("email"), m_email);
            fields.insert(QStringLiteral("password"), m_password);
        }
    }
    const QString version = QCoreApplication::applicationVersion();
    fields.insert(QStringLiteral("client_version"), version);
    fields.insert(QStringLiteral("os"), QStringLiteral("WIN"));
    fields.insert(QStringLiteral("osver"), m_osVersion);

    // A JSON object lists its keys in ascending order, which is the order of
    // the fields on the wire. Keys are sent as they are, except that the few
    // characters that would break the form are encoded.
    QString body;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        body += QLatin1Char('&');
        body += QString::fromLatin1(QUrl::toPercentEncoding(it.key(), "[]"));
        body += QLatin1Char('=');
        if (it.value().isDouble())
            body += QString::number(it.value().toDouble(), 'g', 6);
        else
            body += QString::fromLatin1(QUrl::toPercentEncoding(it.value().toString()));
    }

    const QString logged = QSocialQuery::maskForLog(body);
    if (!quiet)
        qCDebug(ssint).noquote() << "performQuery" << url.toString() << logged;

    request.setRawHeader("User-Agent", QStringLiteral("WIN/Tavri/%1").arg(version).toUtf8());
    QNetworkReply *reply = m_networkManager->post(request, body.toUtf8());

    auto *query = new QSocialQuery(params.value(QStringLiteral("method")).toString(), logged, handler ? handler : this,
                                   reply, errorReceiver, errorSlot, this);
    connect(reply, &QNetworkReply::finished, query, &QSocialQuery::networkRequestFinished);
    connect(reply, &QNetworkReply::sslErrors, query, &QSocialQuery::onSslErrors);
    connect(reply, &QNetworkReply::errorOccurred, query, &QSocialQuery::onError);
    query->setQuiet(quiet);
    connect(query, &QSocialQuery::sslErrors, this, &QSocialManager::onSslErrors);
    if (errorReceiver && errorSlot)
        connect(reply, SIGNAL(errorOccurred(QNetworkReply::NetworkError)), errorReceiver, errorSlot);
    return reply;
}

void QSocialManager::setTransferTimeout(int ms)
{
    m_networkManager->setTransferTimeout(ms);
}

void QSocialManager::clearCredentials()
{
    m_sessionId.clear();
    m_password.clear();
    m_email.clear();
}

QString QSocialManager::getServerBaseUrl() const
{
    return m_apiUrl.left(m_apiUrl.indexOf(QLatin1Char('/'), 10));
}

void QSocialManager::onSslErrors(const QStringList &errorMessages)
{
    logSslErrorEvent(errorMessages);
    emit sslErrors(errorMessages);
}

void QSocialManager::onError(const QNetworkReply::NetworkError &errorCode)
{
    Q_UNUSED(errorCode)
}

// --- Reply dispatch -----------------------------------------------------------

namespace {

// The maximum number of automatic re-logins after session expiries between
// two accepted logins.
constexpr int kMaxRelogins = 15;

const QString kServerImagePrefix = QStringLiteral("/var/www/html/img/");

// A text field: the value's string, empty for any other JSON type.
QString textField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

// Present and not JSON null.
bool hasValue(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return !value.isUndefined() && !value.isNull();
}

bool isNonEmptyObject(const QJsonDocument &reply)
{
    return reply.isObject() && !reply.object().isEmpty();
}

LocalUser::LoginState localLoginState()
{
    return LocalUser::getLocalUser()->getLoginState();
}

} // namespace

bool QSocialManager::handleReply(const QString &method, const QJsonDocument &reply)
{
    qCDebug(ssint).noquote() << "QSocialManager::handleReply(" << method << ")";

    if (localLoginState() == LocalUser::LoggingOut) {
        qCDebug(ssint) << "handleReply executed when exit requested";
        return false;
    }

    QString errorText;
    QString reasonText;
    if (handleErrorAnswer(method, reply, errorText, reasonText))
        return false;
    handleSessionId(reply);
    handleLoggingAndUpdateOffer(reply);

    if (method == QLatin1String("LoginUser"))
        return handleLoginReply(reply, errorText, reasonText);
    if (method == QLatin1String("SetUserCustomInfo")) {
        if (handleSetUserCustomInfoReply(reply))
            return true;
        // An unconfirmed profile update ends at the login gate below, where no
        // branch takes it.
    } else if (method == QLatin1String("GetDialinNumbers")) {
        return handleDialinNumbersReply(reply);
    } else if (method == QLatin1String("CreateAccount")) {
        if (errorText.isEmpty())
            emit createAccountSucceeded();
        else
            emit createAccountFailed(errorText);
        return true;
    } else if (method == QLatin1String("userUuidExists")) {
        return handleUserUuidExistsReply(reply);
    }

    const LocalUser::LoginState state = localLoginState();
    if (state != LocalUser::LoggingInVoice && state != LocalUser::LoggedIn) {
        qCDebug(ssint) << "handleReply executed when not logged in";
        return false;
    }

    if (method == QLatin1String("LogEvent"))
        return true;
    if (method == QLatin1String("CheckForUpdate"))
        return handleCheckForUpdateReply(reply);
    if (const ReplyBranch branch = gatedBranch(method))
        return (this->*branch)(method, reply);

    qCDebug(ssint).noquote().nospace() << "No action taken in SocialManager::handleReply for " << method;
    return false;
}

bool QSocialManager::handleErrorAnswer(const QString &method, const QJsonDocument &reply, QString &errorText,
                                       QString &reasonText)
{
    if (!isNonEmptyObject(reply))
        return false;
    const QJsonObject object = reply.object();
    errorText = textField(object, QStringLiteral("msg"));
    reasonText = textField(object, QStringLiteral("reason"));
    if (textField(object, QStringLiteral("status")) != QLatin1String("ERR"))
        return false;

    emit errorResponse(errorText);
    const QStringList details{QStringLiteral("m:") + errorText, QStringLiteral("r:") + reasonText};
    qCCritical(ssint) << "Error: SocialResponse" << details;
    logEvent(QStringLiteral("Error"), QStringLiteral("SocialResponse"), details);

    if (reasonText
        == QLatin1String("Cannot add root channel with same name as another root channel of the same user")) {
        if (method == QLatin1String("EditChannel"))
            emit editChannelFailed();
        else if (method == QLatin1String("AddChannel"))
            emit addChannelFailed();
    } else if (reasonText == QLatin1String("Channel is already part of the favorites")) {
        emit channelFavoriteChanged(QString(), true);
    }
    return true;
}

void QSocialManager::handleSessionId(const QJsonDocument &reply)
{
    const bool hadSession = !m_sessionId.isEmpty();
    if (isNonEmptyObject(reply)) {
        const QJsonValue sid = reply.object().value(QStringLiteral("sid"));
        if (sid.isString())
            m_sessionId = sid.toString();
    }
    if (!hadSession || !m_sessionId.isEmpty())
        return;

    emit sessionExpired();
    const bool autoLogin = StorageManager::getLogMeIn();
    logEvent(QStringLiteral("SocialResponse"), QStringLiteral("SessionExpired"), QStringList());
    if (autoLogin && m_reloginCount < kMaxRelogins) {
        ++m_reloginCount;
        qCDebug(ssint) << "Login response failed or timed out, attempting to log back in...";
        requestRelogin(QStringLiteral("sessionExpired"), this);
    } else {
        emit errorResponse(QStringLiteral("Your session has expired, please log back in to continue."));
    }
}

void QSocialManager::handleLoggingAndUpdateOffer(const QJsonDocument &reply)
{
    if (!reply.isObject())
        return;
    const QJsonObject object = reply.object();

    const QJsonValue logging = object.value(QStringLiteral("logging"));
    m_doNotLog = !(logging.isUndefined() || logging.isNull() || (logging.isBool() && logging.toBool()));

    const QString updateMessage = textField(object, QStringLiteral("update_msg"));
    if (!updateMessage.isEmpty()) {
        const QString version = textField(object, QStringLiteral("updateVersion"));
        emit updateAvailable(version, textField(object, QStringLiteral("updateLink")), updateMessage);
        logEvent(QStringLiteral("SocialResponse"), QStringLiteral("UpdateAvailable"), {QStringLiteral("v:") + version});
    }
}

bool QSocialManager::handleLoginReply(const QJsonDocument &reply, const QString &errorText, const QString &reasonText)
{
    if (localLoginState() != LocalUser::LoggingIn) {
        qCDebug(ssint) << "Response received after aborting logging in";
        logEvent(QStringLiteral("login"), QStringLiteral("RecvPostAbort"), QStringList());
        return false;
    }
    if (!isNonEmptyObject(reply)) {
        emit socialLoginFailed(
            QStringLiteral("Could not connect to server.  Check your network connection and try again."));
        logEvent(QStringLiteral("login"), QStringLiteral("RecvEmpty"), QStringList());
        return false;
    }

    QJsonObject object = reply.object();
    const QString token = textField(object, QStringLiteral("auth_token"));
    if (token.isEmpty()) {
        QString reason = !errorText.isEmpty() ? errorText : reasonText;
        if (reason.isEmpty())
            reason = QStringLiteral("No voice authentication token found in response.");
        emit socialLoginFailed(reason);
        logEvent(QStringLiteral("login"), QStringLiteral("NoAuthToken"), QStringList());
        return false;
    }

    const QString displayName = textField(object, QStringLiteral("UserDisplayName"));
    const QString userUname =
        hasValue(object, QStringLiteral("user_uname")) ? textField(object, QStringLiteral("user_uname")) : displayName;
    const QString profileImageURI = serverImageUrl(textField(object, QStringLiteral("UserPictureUrl")));

    m_reloginCount = 0;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestLogin(token, QString());
    else
        qCWarning(ssint) << "LoginUser: no voice service to sign in to";

    applySettingsOverrides(object.value(QStringLiteral("settings_overrides")));

    // The login's own record: a missing user name stands for the display
    // name here as well, as it does in the login signal.
    for (const QString &key :
         {QStringLiteral("UserDisplayName"), QStringLiteral("user_uname"), QStringLiteral("UserPictureUrl")}) {
        if (!object.contains(key))
            object.insert(key, QJsonValue::Null);
    }
    processUserInfo(object);

    emit loginSuccess(textField(object, QStringLiteral("UserLiveURI")), textField(object, QStringLiteral("UserEmail")),
                      textField(object, QStringLiteral("UserSocialUID")), userUname, displayName, profileImageURI,
                      textField(object, QStringLiteral("UserLocation")),
                      textField(object, QStringLiteral("UserStatusText")),
                      textField(object, QStringLiteral("UserDescription")));

    // An update offer in the login answer was announced by the generic step
    // already; announcing it again would show the user the same notice twice.
    logEvent(QStringLiteral("login"), QStringLiteral("OK"), QStringList());
    return true;
}

void QSocialManager::applySettingsOverrides(const QJsonValue &overrides)
{
    if (!overrides.isArray())
        return;
    StorageManager *storage = StorageManager::getInstance();
    const QJsonArray elements = overrides.toArray();
    for (const QJsonValue &element : elements) {
        const QJsonObject entry = element.toObject();
        if (!hasValue(entry, QStringLiteral("settings_key")) || !hasValue(entry, QStringLiteral("value"))) {
            qCDebug(ssint) << "settings_overrides: entry without key or value skipped";
            continue;
        }
        const QString key = textField(entry, QStringLiteral("settings_key"));
        const QJsonValue jsonValue = entry.value(QStringLiteral("value"));
        QVariant value;
        if (jsonValue.isBool())
            value = jsonValue.toBool();
        else if (jsonValue.isString())
            value = jsonValue.toString();
        else if (jsonValue.isDouble())
            value = jsonValue.toInt(); // a number with a fraction gives 0
        const bool reset =
            hasValue(entry, QStringLiteral("reset")) && entry.value(QStringLiteral("reset")).toBool(false);
        storage->setDefaultSettings(key, value, reset);
    }
}

bool QSocialManager::handleSetUserCustomInfoReply(const QJsonDocument &reply)
{
    if (textField(reply.object(), QStringLiteral("ostrel_update_status")) != QLatin1String("OK"))
        return false;
    // The stored profile comes back as the own user record.
    getUserInfoByUri(LocalUser::getLocalUser()->getSipURI());
    return true;
}

bool QSocialManager::handleDialinNumbersReply(const QJsonDocument &reply)
{
    if (!reply.isArray()) {
        qCDebug(ssint).noquote().nospace()
            << "GetDialinNumbers errors: " << QString::fromUtf8(reply.toJson(QJsonDocument::Compact));
        return false;
    }
    QStringList numbers;
    const QJsonArray elements = reply.array();
    for (const QJsonValue &element : elements) {
        const QJsonObject entry = element.toObject();
        numbers.append(textField(entry, QStringLiteral("location")) + QStringLiteral(": ")
                       + textField(entry, QStringLiteral("pstn")));
    }
    emit availableDialinNumbersChanged(numbers);
    return true;
}

bool QSocialManager::handleUserUuidExistsReply(const QJsonDocument &reply)
{
    // The service answers with a bare truth value or number, which arrives
    // wrapped as "result".
    const QJsonValue result = reply.object().value(QStringLiteral("result"));
    const bool exists = (result.isBool() && result.toBool()) || (result.isDouble() && result.toDouble() != 0);
    emit checkUsernameResponse(exists ? QStringLiteral("t") : QStringLiteral("f"));
    return true;
}

bool QSocialManager::handleCheckForUpdateReply(const QJsonDocument &reply)
{
    if (!reply.isObject()) {
        emit noUpdateAvailable();
        return true;
    }
    const QJsonObject object = reply.object();
    const QString message = tr("Update available!");
    const QString version = textField(object, QStringLiteral("version_string"));
    const QString link = textField(object.value(QStringLiteral("0")).toObject().value(QStringLiteral("Win")).toObject(),
                                   QStringLiteral("download_url"));
    if (link.isEmpty())
        emit noUpdateAvailable();
    else
        emit updateAvailable(version, link, message);
    return true;
}

// --- Reply records --------------------------------------------------------------

QString QSocialManager::serverImageUrl(const QString &picture) const
{
    if (!picture.startsWith(kServerImagePrefix))
        return picture;
    QString path = picture;
    path.replace(kServerImagePrefix, QStringLiteral("/img/"));
    return getServerBaseUrl() + path;
}

namespace {

// The fields of a channel record.
struct ChannelRecord {
    QString uri, uid, displayName, imageURI, message, description, dialinCode, ownerUID, parentUID, lastOn, rootUID;
    bool isPublic = false;
    bool hasPassword = false;
    bool hasChildren = false;
};

ChannelRecord readChannelRecord(const QJsonObject &record, const QSocialManager *manager,
                                QString (QSocialManager::*imageUrl)(const QString &) const)
{
    ChannelRecord channel;
    channel.uri = textField(record, QStringLiteral("ChannelLiveURI"));
    channel.uid = textField(record, QStringLiteral("ChannelSocialUID"));
    channel.displayName = textField(record, QStringLiteral("ChannelDisplayName"));
    channel.imageURI = (manager->*imageUrl)(textField(record, QStringLiteral("ChannelPictureUrl")));
    channel.message = textField(record, QStringLiteral("ChannelMessageOfTheDay"));
    channel.description = textField(record, QStringLiteral("ChannelDescription"));
    const QString passwordFlag = textField(record, QStringLiteral("ChannelIsPasswordProtected"));
    channel.isPublic = passwordFlag == QLatin1String("0");
    channel.hasPassword = passwordFlag == QLatin1String("1");
    channel.dialinCode = textField(record, QStringLiteral("ChannelCallInNumber"));
    channel.ownerUID = textField(record, QStringLiteral("ChannelOwnerSocialUID"));
    // Channel UIDs from the root down, joined by dots.
    const QStringList hierarchy =
        textField(record, QStringLiteral("ChannelHierarchy")).split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (hierarchy.size() >= 2)
        channel.parentUID = hierarchy.at(hierarchy.size() - 2);
    if (!hierarchy.isEmpty())
        channel.rootUID = hierarchy.first();
    channel.hasChildren = textField(record, QStringLiteral("ChannelHasHierarchy")) == QLatin1String("1");
    channel.lastOn = textField(record, QStringLiteral("LastOn"));
    return channel;
}

} // namespace

QString QSocialManager::processChannelInfo(const QJsonObject &record)
{
    if (record.value(QStringLiteral("ChannelLiveURI")).isNull())
        return QString();
    const ChannelRecord c = readChannelRecord(record, this, &QSocialManager::serverImageUrl);
    emit receivedChannelInfo(c.uri, c.uid, c.displayName, c.imageURI, c.message, c.description, c.isPublic,
                             c.hasPassword, c.dialinCode, c.ownerUID, c.parentUID, c.hasChildren, c.lastOn, c.rootUID);
    return c.uri;
}

void QSocialManager::processChannelSearchResult(const QJsonObject &record)
{
    if (!record.value(QStringLiteral("ChannelLiveURI")).isNull()) {
        const ChannelRecord c = readChannelRecord(record, this, &QSocialManager::serverImageUrl);
        emit receivedChannelSearchResult(c.uri, c.uid, c.displayName, c.imageURI, c.message, c.description, c.isPublic,
                                         c.hasPassword, c.dialinCode, c.ownerUID, c.parentUID, c.hasChildren, c.lastOn);
    }
    processChannelInfo(record);
}

void QSocialManager::processNotification(const QJsonObject &record)
{
    // Milliseconds since 1970 as decimal text; anything else gives the epoch.
    const QDateTime sentAt =
        QDateTime::fromMSecsSinceEpoch(textField(record, QStringLiteral("SentAtMSecsFromEpoch")).toLongLong());
    emit notificationReceived(
        textField(record, QStringLiteral("NotificationUID")), textField(record, QStringLiteral("FromUserSocialUID")),
        textField(record, QStringLiteral("UserDisplayName")), textField(record, QStringLiteral("ChannelSocialUID")),
        textField(record, QStringLiteral("ChannelDisplayName")), textField(record, QStringLiteral("Type")),
        textField(record, QStringLiteral("State")), sentAt, textField(record, QStringLiteral("CustomMessage")),
        textField(record, QStringLiteral("CustomAction")), textField(record, QStringLiteral("UserEmail")));
}

void QSocialManager::extractNotifications(const QJsonObject &reply)
{
    const QJsonValue list = reply.value(QStringLiteral("v"));
    if (!list.isArray())
        return;
    const QJsonArray elements = list.toArray();
    for (int i = 0; i < elements.size(); ++i) {
        qCDebug(ssint) << "Extracting notification" << i + 1 << "of" << elements.size();
        processNotification(elements.at(i).toObject());
    }
}

void QSocialManager::processUserInfo(const QJsonObject &record)
{
    if (record.value(QStringLiteral("UserLiveURI")).isNull())
        return;
    const QString displayName = textField(record, QStringLiteral("UserDisplayName"));
    const QString userUUID = record.value(QStringLiteral("user_uname")).isNull()
                                 ? displayName
                                 : textField(record, QStringLiteral("user_uname"));
    QString picture = textField(record, QStringLiteral("UserPictureUrl"));
    if (picture.startsWith(kServerImagePrefix))
        picture.replace(kServerImagePrefix, getServerBaseUrl() + QStringLiteral("/img/"));
    const QString lastOn = textField(record, QStringLiteral("LastOn"));
    qCDebug(ssint) << "received last on as" << lastOn;
    const QDateTime lastOnline = QDateTime::fromString(lastOn.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    qCDebug(ssint) << "translated to" << lastOnline.toString(Qt::TextDate);
    emit userInfoReceived(
        textField(record, QStringLiteral("UserLiveURI")).toLower(), textField(record, QStringLiteral("UserEmail")),
        textField(record, QStringLiteral("UserSocialUID")), displayName, userUUID, picture,
        textField(record, QStringLiteral("UserLocation")), textField(record, QStringLiteral("UserStatusText")),
        textField(record, QStringLiteral("UserDescription")), lastOnline,
        textField(record, QStringLiteral("home_channel_uri")));
}

QString QSocialManager::handleUserInfoEntry(const QJsonObject &record)
{
    if (record.value(QStringLiteral("UserLiveURI")).isNull()) {
        qCCritical(ssint) << "data[UserLiveURI] returns null";
        return QString();
    }
    const QString uri = textField(record, QStringLiteral("UserLiveURI"));
    if (uri == LocalUser::getLocalUser()->getSipURI())
        return QString();
    processUserInfo(record);
    return uri;
}

// --- Channel, contact, user and notification replies ------------------------

namespace {

// A list held under key: its elements, or none when the key is missing or is
// not an array.
QJsonArray listField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isArray() ? value.toArray() : QJsonArray();
}

// "result" of a friendship or invitation answer: the text "1" or the number 1.
bool resultIsSuccess(const QJsonObject &object)
{
    const QJsonValue result = object.value(QStringLiteral("result"));
    return (result.isString() && result.toString() == QLatin1String("1"))
           || (result.isDouble() && result.toDouble() == 1.0);
}

} // namespace

QSocialManager::ReplyBranch QSocialManager::gatedBranch(const QString &method)
{
    static const QHash<QString, ReplyBranch> branches{
        {QStringLiteral("GetChannelsMatching"), &QSocialManager::handleChannelsMatchingReply},
        {QStringLiteral("GetDefaultChannelsForUser"), &QSocialManager::handleDefaultChannelsReply},
        {QStringLiteral("GetChannelsInHierarchy"), &QSocialManager::handleChannelsInHierarchyReply},
        {QStringLiteral("GetChannelsOwned"), &QSocialManager::handleChannelsOwnedReply},
        {QStringLiteral("getFriendsList"), &QSocialManager::handleFriendsListReply},
        {QStringLiteral("GetChannelsOwnedBy"), &QSocialManager::handleChannelsOwnedByReply},
        {QStringLiteral("AddChannel"), &QSocialManager::handleAddChannelReply},
        {QStringLiteral("GetThirdPartyChannelForUser"), &QSocialManager::handleThirdPartyChannelReply},
        {QStringLiteral("requestShareLink"), &QSocialManager::handleUnclaimedReply},
        {QStringLiteral("requestParticipantCount"), &QSocialManager::handleParticipantCountReply},
        {QStringLiteral("SendEmail"), &QSocialManager::handleSendEmailReply},
        {QStringLiteral("SetUserImage"), &QSocialManager::handleSetUserImageReply},
        {QStringLiteral("EditChannel"), &QSocialManager::handleEditChannelReply},
        {QStringLiteral("getUserByUserLiveURI"), &QSocialManager::handleUserRecordReply},
        {QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID"), &QSocialManager::handleChannelInfoReply},
        {QStringLiteral("SetChannelImage"), &QSocialManager::handleUnclaimedReply},
        {QStringLiteral("GetChannelInfo"), &QSocialManager::handleChannelInfoReply},
        {QStringLiteral("getUserBySocialUID"), &QSocialManager::handleUserRecordReply},
        {QStringLiteral("DeleteChannel"), &QSocialManager::handleDeleteChannelReply},
        {QStringLiteral("GetNotifications"), &QSocialManager::handleNotificationsReply},
        {QStringLiteral("GetNotificationsSince"), &QSocialManager::handleNotificationsReply},
        {QStringLiteral("UpdateNotifications"), &QSocialManager::handleUpdateNotificationsReply},
        {QStringLiteral("changeFriend"), &QSocialManager::handleChangeFriendReply},
        {QStringLiteral("inviteUserToChannel"), &QSocialManager::handleInviteUserToChannelReply},
        {QStringLiteral("getChannelFavoritesList"), &QSocialManager::handleChannelFavoritesReply},
        {QStringLiteral("getContactGroups"), &QSocialManager::handleContactGroupsReply},
        {QStringLiteral("addContactGroup"), &QSocialManager::handleContactGroupInfoReply},
        {QStringLiteral("renameContactGroup"), &QSocialManager::handleContactGroupInfoReply},
        {QStringLiteral("deleteContactGroup"), &QSocialManager::handleContactGroupDeletedReply},
        {QStringLiteral("addContactGroupMember"), &QSocialManager::handleContactGroupMemberReply},
        {QStringLiteral("removeContactGroupMember"), &QSocialManager::handleContactGroupMemberReply},
        {QStringLiteral("InviteUsersViaEmail"), &QSocialManager::handleInviteUsersViaEmailReply},
        {QStringLiteral("changeChannelFavorite"), &QSocialManager::handleChangeChannelFavoriteReply},
    };
    return branches.value(method, nullptr);
}

QString QSocialManager::permanentChannelAddress(const QString &channelNumber) const
{
    // The voice service passes its domain on to the settings service as it
    // starts, so either gives the same text.
    const VoiceManager *voice = VoiceManager::getInstance();
    const QString domain = voice ? voice->domain() : StorageManager::getInstance()->voiceDomain();
    return QStringLiteral("sip:confctl-") + channelNumber + QLatin1Char('@') + domain;
}

bool QSocialManager::handleChannelsMatchingReply(const QString &, const QJsonDocument &reply)
{
    emit beginChannelSearchResponse();
    bool hasMoreResults = false;
    if (reply.isObject()) {
        const QJsonObject object = reply.object();
        for (const QJsonValue &element : listField(object, QStringLiteral("results")))
            processChannelSearchResult(element.toObject());
        const QJsonValue more = object.value(QStringLiteral("more"));
        hasMoreResults =
            (more.isBool() && more.toBool())
            || (more.isString() && (more.toString() == QLatin1String("true") || more.toString() == QLatin1String("t")));
    } else if (reply.isArray()) {
        const QJsonArray elements = reply.array();
        for (const QJsonValue &element : elements)
            processChannelSearchResult(element.toObject());
    }
    emit endChannelSearchResponse(hasMoreResults);
    return true;
}

bool QSocialManager::handleDefaultChannelsReply(const QString &, const QJsonDocument &reply)
{
    if (!reply.isArray()) {
        qCWarning(ssint) << "GetDefaultChannelsForUser response not an array";
        return true;
    }
    const QJsonArray elements = reply.array();
    for (const QJsonValue &element : elements) {
        const QJsonObject channel = element.toObject();
        if (!hasValue(channel, QStringLiteral("ChannelLiveURI"))
            || !hasValue(channel, QStringLiteral("ChannelDisplayName"))
            || !hasValue(channel, QStringLiteral("ChannelSocialUID"))) {
            qCWarning(ssint) << "GetDefaultChannelsForUser: channel without URI, name or UID skipped";
            continue;
        }
        emit defaultChannelReceived(textField(channel, QStringLiteral("ChannelLiveURI")),
                                    textField(channel, QStringLiteral("ChannelSocialUID")),
                                    textField(channel, QStringLiteral("ChannelDisplayName")));
    }
    return true;
}

bool QSocialManager::handleChannelsInHierarchyReply(const QString &, const QJsonDocument &reply)
{
    if (!reply.isArray()) {
        qCWarning(ssint) << "GetChannelsInHierarchy response not an array";
        return true;
    }
    const QJsonArray elements = reply.array();
    for (const QJsonValue &element : elements)
        processChannelInfo(element.toObject());
    return true;
}

bool QSocialManager::handleChannelsOwnedReply(const QString &, const QJsonDocument &reply)
{
    if (!reply.isArray()) {
        qCWarning(ssint) << "GetChannelsOwned response not an array";
        return true;
    }
    QStringList channelURIs;
    QStringList channelDisplayNames;
    const QJsonArray elements = reply.array();
    for (const QJsonValue &element : elements) {
        const QJsonObject channel = element.toObject();
        processChannelInfo(channel);
        channelURIs.append(textField(channel, QStringLiteral("ChannelLiveURI")));
        channelDisplayNames.append(textField(channel, QStringLiteral("ChannelDisplayName")));
    }
    emit ownedChannelsReceived(channelURIs, channelDisplayNames);
    return true;
}

bool QSocialManager::handleChannelsOwnedByReply(const QString &, const QJsonDocument &reply)
{
    for (const QJsonValue &element : listField(reply.object(), QStringLiteral("channels")))
        processChannelInfo(element.toObject());
    return true;
}

bool QSocialManager::handleAddChannelReply(const QString &, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    if (!hasValue(object, QStringLiteral("ChannelLiveURI"))) {
        qCWarning(ssint) << "AddChannel response without ChannelLiveURI";
        emit addChannelFailed();
        return true;
    }
    const ChannelRecord c = readChannelRecord(object, this, &QSocialManager::serverImageUrl);
    emit channelAdded(c.uri.toLower(), c.uid, c.ownerUID, c.parentUID, c.displayName, c.isPublic, c.hasPassword,
                      c.imageURI, c.dialinCode, c.message, c.description, c.lastOn);
    return true;
}

bool QSocialManager::handleEditChannelReply(const QString &, const QJsonDocument &reply)
{
    const ChannelRecord c = readChannelRecord(reply.object(), this, &QSocialManager::serverImageUrl);
    emit channelUpdated(c.uri.toLower(), c.uid, c.ownerUID, c.parentUID, c.displayName, c.isPublic, c.hasPassword,
                        c.imageURI, c.dialinCode, c.message, c.description, c.hasChildren, c.lastOn);
    return true;
}

bool QSocialManager::handleDeleteChannelReply(const QString &, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    if (textField(object, QStringLiteral("ostrel")) != QLatin1String("Deleted")) {
        qCWarning(ssint) << "Channel delete failed...";
        return true;
    }
    const QString removed = textField(object, QStringLiteral("removed"));
    const QStringList parts = removed.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    // The id becomes part of an address: an at sign in it would move the
    // address to another domain.
    if (parts.size() != 1 || parts.first().contains(QLatin1Char('@'))) {
        qCWarning(ssint).noquote() << "Channel delete failed... bad UID response!" << removed;
        return true;
    }
    emit ownedChannelDeleted(permanentChannelAddress(parts.first()));
    return true;
}

bool QSocialManager::handleChannelInfoReply(const QString &, const QJsonDocument &reply)
{
    processChannelInfo(reply.object());
    return true;
}

bool QSocialManager::handleChannelFavoritesReply(const QString &, const QJsonDocument &reply)
{
    emit channelFavoritesBegin();
    for (const QJsonValue &element : listField(reply.object(), QStringLiteral("data"))) {
        const QString channelURI = processChannelInfo(element.toObject());
        if (!channelURI.isEmpty())
            emit channelFavoriteReceived(channelURI);
    }
    emit channelFavoritesEnd();
    return true;
}

bool QSocialManager::handleChangeChannelFavoriteReply(const QString &, const QJsonDocument &)
{
    // The answer names no channel: receivers re-read the favourites.
    emit channelFavoriteChanged(QString(), true);
    return true;
}

bool QSocialManager::handleParticipantCountReply(const QString &, const QJsonDocument &reply)
{
    if (!reply.isArray()) {
        qCWarning(ssint) << "requestParticipantCount response not an array";
        return true;
    }
    const QJsonArray elements = reply.array();
    qCDebug(ssint).nospace() << elements.size() << " participant counts retrieved";
    for (const QJsonValue &element : elements) {
        const QJsonObject entry = element.toObject();
        if (!hasValue(entry, QStringLiteral("id")))
            continue;
        // The id is decimal text; anything else stands for channel 0.
        const qlonglong channelNumber = textField(entry, QStringLiteral("id")).toLongLong();
        const int count = entry.value(QStringLiteral("c")).toInt(0);
        emit participantCountReceived(permanentChannelAddress(QString::number(channelNumber)), count);
    }
    return true;
}

bool QSocialManager::handleThirdPartyChannelReply(const QString &, const QJsonDocument &reply)
{
    qCDebug(ssint) << "SocialManager::handleReply() GetThirdPartyChannelForUser - not yet (re)implemented";
    const QJsonObject object = reply.object();
    const QString channelURI = textField(object, QStringLiteral("ChannelLiveURI")).toLower();
    const QJsonValue result = object.value(QStringLiteral("result"));
    if (!object.isEmpty() && result.isDouble() && result.toDouble() == 0.0) {
        qCWarning(ssint).noquote() << "SocialManager::handleReply() GetThirdPartyChannelForUser - error from response"
                                   << textField(object, QStringLiteral("msg"));
    }
    if (channelURI.isEmpty())
        qCWarning(ssint).noquote().nospace() << "Error in GetThirdPartyChannelForUser. URI: " << channelURI;
    return true;
}

bool QSocialManager::handleUnclaimedReply(const QString &method, const QJsonDocument &)
{
    // These answers belong to the handler of the request that asked for them.
    if (method == QLatin1String("requestShareLink"))
        qCDebug(ssint) << "requestShareLink response default handler - requester should implement its own "
                          "handleReply to catch this response for output_url...";
    else
        qCDebug(ssint) << "QSocialManager::handleReply"
                       << "SetChannelImage response not handled in SMgr - request requires instance specific "
                          "replyHandler";
    return true;
}

bool QSocialManager::handleFriendsListReply(const QString &, const QJsonDocument &reply)
{
    QJsonArray elements;
    if (reply.isArray()) {
        elements = reply.array();
    } else if (reply.isObject()) {
        elements = listField(reply.object(), QStringLiteral("data"));
    } else {
        qCWarning(ssint) << "getFriendsList response is neither a list nor an object";
        return true;
    }
    QStringList friendUIDs;
    for (const QJsonValue &element : qAsConst(elements))
        friendUIDs.append(textField(element.toObject(), QStringLiteral("friend_uid")));
    emit friendsListReceived(friendUIDs);
    return true;
}

bool QSocialManager::handleChangeFriendReply(const QString &, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    if (resultIsSuccess(object))
        qCDebug(ssint).noquote() << "Friend status changed, notification generated"
                                 << textField(object, QStringLiteral("NotificationUID"));
    else
        qCWarning(ssint) << "Friend status change failed!";
    emit friendListRequiresUpdate();
    return true;
}

bool QSocialManager::handleInviteUserToChannelReply(const QString &, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    if (resultIsSuccess(object))
        qCDebug(ssint).noquote() << "Invite succeeded, notification generated"
                                 << textField(object, QStringLiteral("NotificationUID"));
    else
        qCWarning(ssint) << "Invite failed!";
    return true;
}

bool QSocialManager::handleInviteUsersViaEmailReply(const QString &, const QJsonDocument &reply)
{
    QMap<QString, QStringList> responsesByStatus;
    for (const QJsonValue &element : listField(reply.object(), QStringLiteral("results"))) {
        const QJsonObject result = element.toObject();
        responsesByStatus[textField(result, QStringLiteral("s"))].append(textField(result, QStringLiteral("t")));
    }
    emit inviteUsersResponses(responsesByStatus);
    return true;
}

bool QSocialManager::handleSendEmailReply(const QString &, const QJsonDocument &reply)
{
    emit sendEmailResponse(textField(reply.object(), QStringLiteral("msg")));
    return true;
}

bool QSocialManager::handleContactGroupsReply(const QString &, const QJsonDocument &reply)
{
    emit contactGroupsBegin();
    for (const QJsonValue &element : listField(reply.object(), QStringLiteral("data"))) {
        const QJsonObject group = element.toObject();
        const QString groupID = textField(group, QStringLiteral("id"));
        emit contactGroupInfoReceived(groupID, textField(group, QStringLiteral("name")));
        for (const QJsonValue &memberValue : listField(group, QStringLiteral("members"))) {
            const QJsonObject member = memberValue.toObject();
            emit contactGroupMemberChanged(groupID, textField(member, QStringLiteral("user_uid")),
                                           textField(member, QStringLiteral("user_uri")), true);
        }
    }
    emit contactGroupsEnd();
    return true;
}

bool QSocialManager::handleContactGroupInfoReply(const QString &, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    emit contactGroupInfoReceived(textField(object, QStringLiteral("groupID")),
                                  textField(object, QStringLiteral("groupName")));
    return true;
}

bool QSocialManager::handleContactGroupDeletedReply(const QString &, const QJsonDocument &reply)
{
    const QString groupID = textField(reply.object(), QStringLiteral("groupID"));
    if (groupID.isEmpty()) {
        qCWarning(ssint) << "deleteContactGroup response without groupID";
        return true;
    }
    emit contactGroupRemoved(groupID);
    return true;
}

bool QSocialManager::handleContactGroupMemberReply(const QString &method, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    emit contactGroupMemberChanged(textField(object, QStringLiteral("groupID")),
                                   textField(object, QStringLiteral("memberID")), QString(),
                                   method == QLatin1String("addContactGroupMember"));
    return true;
}

bool QSocialManager::handleUserRecordReply(const QString &, const QJsonDocument &reply)
{
    processUserInfo(reply.object());
    return true;
}

bool QSocialManager::handleSetUserImageReply(const QString &, const QJsonDocument &reply)
{
    QString picture = textField(reply.object(), QStringLiteral("result"));
    if (picture.startsWith(kServerImagePrefix)) {
        picture = serverImageUrl(picture);
    } else if (!picture.startsWith(QLatin1String("http://")) && !picture.startsWith(QLatin1String("https://"))) {
        if (!picture.isEmpty())
            qCWarning(ssint).noquote() << "SetUserImage: picture location in an unknown scheme dropped:" << picture;
        picture.clear();
    }
    emit userPictureUpdated(LocalUser::getLocalUser()->getSipURI(), picture);
    return true;
}

bool QSocialManager::handleNotificationsReply(const QString &, const QJsonDocument &reply)
{
    qCDebug(ssint) << "Extracting new notifications...";
    extractNotifications(reply.object());
    return true;
}

bool QSocialManager::handleUpdateNotificationsReply(const QString &, const QJsonDocument &reply)
{
    qCDebug(ssint).noquote() << textField(reply.object(), QStringLiteral("count"))
                                    + QStringLiteral(" notifications updated");
    return true;
}

// --- Analytics ----------------------------------------------------------------

QString QSocialManager::eventTimestamp(qint64 msecsSinceEpoch)
{
    return QString::number(msecsSinceEpoch / 1000.0, 'f', 3);
}

QJsonObject QSocialManager::newEvent(const QString &category, const QString &label)
{
    QJsonObject event;
    event.insert(QStringLiteral("ua"), kEventUserAgent);
    event.insert(QStringLiteral("method"), kLogEventMethod);
    event.insert(QStringLiteral("ts"), eventTimestamp(QDateTime::currentMSecsSinceEpoch()));
    event.insert(QStringLiteral("cat"), category);
    event.insert(QStringLiteral("lbl"), label);
    event.insert(QStringLiteral("lid"), m_clientGuid);
    event.insert(QStringLiteral("idx"), ++m_eventIndex);
    return event;
}

void QSocialManager::addDetailFields(QJsonObject &fields, const QStringList &details)
{
    for (const QString &detail : details) {
        const int colon = detail.indexOf(QLatin1Char(':'));
        if (colon > 0)
            fields.insert(QStringLiteral("ext[") + detail.left(colon) + QLatin1Char(']'), detail.mid(colon + 1));
    }
}

void QSocialManager::logEvent(const QString &category, const QString &label, const QStringList &details)
{
    if (userint().isDebugEnabled()) {
        // The event's name stands in the source position of the log line.
        const QByteArray file = (category + QLatin1Char('.') + label).toUtf8();
        const QByteArray function = label.toUtf8();
        QMessageLogger(file.constData(), 0, function.constData(), userint().categoryName()).debug() << details;
    }
    if (m_doNotLog)
        return;
    QJsonObject event = newEvent(category, label);
    addDetailFields(event, details);
    m_eventQueue.append(event);
    emit logEventQueued();
}

void QSocialManager::onDoNotLogChanged(bool doNotLog)
{
    m_doNotLog = doNotLog;
}

void QSocialManager::onEventQueued()
{
    if (m_eventQueue.size() == 1 && !m_eventTimer->isActive())
        m_eventTimer->start(kEventDelayMs);
}

void QSocialManager::onEventQueuedNext()
{
    // One send at a time: the outcome of the send on the wire starts the next.
    if (m_eventSendInFlight)
        return;
    static QMutex mutex;
    QMutexLocker locker(&mutex);

    if (m_eventQueue.isEmpty())
        return;
    QJsonObject event = m_eventQueue.takeFirst();
    if (m_retryCount > kMaxEventRetries) {
        logRetriedEventOutcome("given up");
        if (m_eventQueue.isEmpty()) {
            m_eventLogger->setSendFailed(false);
            m_retryCount = 0;
            return;
        }
        event = m_eventQueue.takeFirst();
    }

    QJsonObject toSend = event;
    if (event != m_lastEvent) {
        m_lastEvent = event;
        m_retryCount = 0;
    } else {
        ++m_retryCount;
        // The first failure was logged whole; its retries go out quietly and
        // are summed up at most once a minute while the service is away.
        const qint64 nowMs = monotonicMs();
        if (m_retryCount == 1 || nowMs - m_retryLoggedAtMs >= kRetryLogIntervalMs) {
            qCDebug(ssint) << "Error sending last event, retrying... retryCount:" << m_retryCount;
            m_retryLoggedAtMs = nowMs;
        }
        toSend.insert(QStringLiteral("ext[retries]"), QString::number(m_retryCount));
    }

    m_eventLogger->setSendFailed(false);
    m_eventSendInFlight = true;
    // Retries are sent quietly; a send that times out fails like any other and is retried.
    postQuery(QUrl(m_apiUrl), toSend, m_eventLogger, nullptr, nullptr, true, m_retryCount > 0,
              m_eventTransferTimeoutMs);
}

void QSocialManager::onEventSendComplete()
{
    m_eventSendInFlight = false;
    logRetriedEventOutcome("sent");
    // A later event equal to this one is a new event, not a retry.
    m_lastEvent = QJsonObject();
    m_retryCount = 0;
    onEventQueuedNext();
}

void QSocialManager::logRetriedEventOutcome(const char *outcome)
{
    if (m_retryCount == 0)
        return;
    qCDebug(ssint).noquote() << "Event" << m_lastEvent.value(QStringLiteral("cat")).toString()
                             << m_lastEvent.value(QStringLiteral("lbl")).toString() << outcome << "after"
                             << m_retryCount << "retries";
}

qint64 QSocialManager::monotonicMs() const
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

void QSocialManager::onEventSendErrored(int errorCode)
{
    m_eventSendInFlight = false;
    // Protocol errors will not go away by trying again.
    const bool retry =
        errorCode != QNetworkReply::ProtocolUnknownError && errorCode != QNetworkReply::ProtocolInvalidOperationError;
    if (retry && !m_lastEvent.isEmpty())
        m_eventQueue.prepend(m_lastEvent);
    else
        logRetriedEventOutcome("given up");
    m_eventTimer->start(kEventDelayMs);
}

void QSocialManager::logSslErrorEvent(const QStringList &errorMessages)
{
    if (m_doNotLog || m_sslErrorReported)
        return;
    m_sslErrorReported = true;
    QJsonObject event = newEvent(QStringLiteral("Error"), QStringLiteral("SslError"));
    for (int i = 0; i < errorMessages.size(); ++i)
        event.insert(QStringLiteral("ext[%1]").arg(i), errorMessages.at(i));
    // TLS to the server just failed, so the report goes over plain HTTP; it
    // therefore never carries the account's credentials or session id.
    QString url = m_apiUrl;
    if (url.startsWith(QLatin1String("https:")))
        url.replace(0, 5, QStringLiteral("http"));
    postQuery(QUrl(url), event, nullptr, nullptr, nullptr, false);
}

// --- Web methods --------------------------------------------------------------

void QSocialManager::post(const QJsonObject &fields, JsonReplyHandler *handler)
{
    performQuery(QUrl(m_apiUrl), fields, handler);
}

void QSocialManager::requestLogin(const QString &email, const QString &password, JsonReplyHandler *handler)
{
    m_email = email;
    m_password = password;
    m_sessionId.clear();
    QJsonObject fields{{QStringLiteral("email"), email},
                       {QStringLiteral("password"), password},
                       {QStringLiteral("method"), QStringLiteral("LoginUser")},
                       {QStringLiteral("guid"), StorageManager::getInstallGuid()}};
    QNetworkReply *reply = postQuery(QUrl(m_apiUrl), fields, handler, nullptr, nullptr, true);
    if (!handler) {
        const int attempt = ++m_loginAttempt;
        connect(reply, &QNetworkReply::errorOccurred, this, [this, attempt](QNetworkReply::NetworkError code) {
            if (attempt != m_loginAttempt)
                return;
            qCWarning(ssint) << "The web login could not be completed:" << code;
            emit socialLoginUnreachable();
        });
    }
    logEvent(QStringLiteral("login"), QStringLiteral("requested"), {QStringLiteral("email:") + email});
}

void QSocialManager::requestRelogin(const QString &reason, JsonReplyHandler *handler)
{
    post({{QStringLiteral("email"), m_email},
          {QStringLiteral("password"), m_password},
          {QStringLiteral("method"), QStringLiteral("LoginUser")},
          {QStringLiteral("client_version"), QCoreApplication::applicationVersion()}},
         handler);
    logEvent(QStringLiteral("relogin"), QStringLiteral("requested"),
             {QStringLiteral("email:") + m_email, QStringLiteral("reason:") + reason});
}

void QSocialManager::requestCreateAccount(const QString &userName, const QString &email, const QString &password,
                                          JsonReplyHandler *handler, QObject *errorReceiver, const char *errorSlot)
{
    m_email = email;
    m_password = password;
    performQuery(QUrl(m_apiUrl),
                 {{QStringLiteral("password"), password},
                  {QStringLiteral("email"), email},
                  {QStringLiteral("displayname"), userName},
                  {QStringLiteral("uuid"), userName},
                  {QStringLiteral("account_creation_id"), QStringLiteral("Ostrel")},
                  {QStringLiteral("method"), QStringLiteral("CreateAccount")}},
                 handler, errorReceiver, errorSlot);
    // The new account signs in on its own later; its password is not kept.
    m_password.clear();
}

void QSocialManager::requestUserUuidExists(const QString &uuid, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("userUuidExists")}, {QStringLiteral("uuid"), uuid}}, handler);
}

void QSocialManager::requestCheckForUpdate(JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("CheckForUpdate")}}, handler);
}

void QSocialManager::requestAddUserStats(const QString &channelSocialUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("AddUserStats")},
          {QStringLiteral("ChannelSocialUID"), channelSocialUID}},
         handler);
}

void QSocialManager::requestUserInfoPublicByName(const QString &name, bool showInactive, int offset, int limit,
                                                 JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetUserInfoPublicByName")},
          {QStringLiteral("offset"), QString::number(offset)},
          {QStringLiteral("limit"), QString::number(limit)},
          {QStringLiteral("name"), name},
          {QStringLiteral("showInactive"), flagNumber(showInactive)},
          {QStringLiteral("v"), 2}},
         handler);
}

void QSocialManager::requestAcceptInvitation(const QString &notificationUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("AcceptInvitation")},
          {QStringLiteral("NotificationUID"), notificationUID}},
         handler);
}

void QSocialManager::requestAddChannel(const QString &displayName, const QString &description,
                                       const QString &messageOfTheDay, const QStringList &tags,
                                       const QString &linkEmail, const QString &linkWeb, const QString &twitterTag,
                                       bool supportsCallIn, int protectionType, const QString &password,
                                       const QString &parentSocialUID, bool childrenLocked, JsonReplyHandler *handler)
{
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("AddChannel")},
                       {QStringLiteral("ChannelDisplayName"), displayName},
                       {QStringLiteral("ChannelMessageOfTheDay"), messageOfTheDay},
                       {QStringLiteral("ChannelDescription"), leftCharacters(description, kMaxChannelDescription)},
                       {QStringLiteral("ChannelLinkEmail"), linkEmail},
                       {QStringLiteral("ChannelLinkWeb"), linkWeb},
                       {QStringLiteral("ChannelTwitterTag"), twitterTag}};
    if (supportsCallIn)
        fields.insert(QStringLiteral("ChannelSupportsCallIn"), QStringLiteral("True"));
    fields.insert(QStringLiteral("ChannelProtectionType"), protectionType);
    fields.insert(QStringLiteral("ChannelChildrenLocked"), flagNumber(childrenLocked));
    fields.insert(QStringLiteral("ChannelPassword"), protectionType == 1 ? password : QString());
    fields.insert(QStringLiteral("ChannelTags"), tags.join(QLatin1Char(',')));
    fields.insert(QStringLiteral("ParentSocialUID"), parentSocialUID);
    post(fields, handler);
}

void QSocialManager::requestEditChannel(const QString &channelSocialUID, const QString &displayName,
                                        const QString &description, const QString &messageOfTheDay,
                                        const QStringList &tags, const QString &linkEmail, const QString &linkWeb,
                                        const QString &twitterTag, bool supportsCallIn, int protectionType,
                                        bool childrenLocked, bool updatePassword, const QString &password,
                                        bool renameImage, JsonReplyHandler *handler)
{
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("EditChannel")},
                       {QStringLiteral("ChannelSocialUID"), channelSocialUID},
                       {QStringLiteral("ChannelDisplayName"), displayName},
                       {QStringLiteral("ChannelMessageOfTheDay"), messageOfTheDay},
                       {QStringLiteral("ChannelDescription"), leftCharacters(description, kMaxChannelDescription)},
                       {QStringLiteral("ChannelLinkEmail"), linkEmail},
                       {QStringLiteral("ChannelLinkWeb"), linkWeb},
                       {QStringLiteral("ChannelTwitterTag"), twitterTag}};
    fields.insert(QStringLiteral("ChannelSupportsCallIn"), supportsCallIn ? QStringLiteral("True") : QString());
    fields.insert(QStringLiteral("ChannelProtectionType"), protectionType);
    fields.insert(QStringLiteral("ChannelChildrenLocked"), flagNumber(childrenLocked));
    fields.insert(QStringLiteral("UpdatePassword"), flagNumber(updatePassword));
    fields.insert(QStringLiteral("ChannelPassword"), protectionType == 1 ? password : QString());
    fields.insert(QStringLiteral("RenameImage"), flagNumber(renameImage));
    fields.insert(QStringLiteral("ChannelTags"), tags.join(QLatin1Char(',')));
    post(fields, handler);
}

void QSocialManager::requestDeleteChannel(const QString &channelSocialUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("DeleteChannel")},
          {QStringLiteral("ChannelSocialUID"), channelSocialUID}},
         handler);
}

void QSocialManager::requestChannelInfoWithOwnerInfo(const QString &channelSocialUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelInfoWithOwnerInfo")},
          {QStringLiteral("ChannelSocialUID"), channelSocialUID}},
         handler);
}

void QSocialManager::requestChannelInfoWithOwnerInfoFromLiveUID(const QString &channelLiveUID,
                                                                JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID")},
          {QStringLiteral("ChannelLiveUID"), channelLiveUID}},
         handler);
}

void QSocialManager::requestChannelInfo(const QString &channelSocialUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelInfo")},
          {QStringLiteral("ChannelSocialUID"), channelSocialUID}},
         handler);
}

void QSocialManager::requestChannelsInHierarchy(const QString &root, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelsInHierarchy")}, {QStringLiteral("root"), root}},
         handler);
}

void QSocialManager::requestChannelsMatching(const QString &name, bool showInactive, int offset, int limit,
                                             const QStringList &tags, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelsMatching")},
          {QStringLiteral("showInactive"), flagNumber(showInactive)},
          {QStringLiteral("name"), name},
          {QStringLiteral("offset"), QString::number(offset)},
          {QStringLiteral("limit"), QString::number(limit)},
          {QStringLiteral("tags"), tags.join(QLatin1Char(','))},
          {QStringLiteral("v"), QStringLiteral("2")}},
         handler);
}

void QSocialManager::requestChannelsOwned(JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetChannelsOwned")}}, handler);
}

void QSocialManager::requestNotifications(const QStringList &notificationUIDs, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetNotifications")},
          {QStringLiteral("NotificationUIDs"), notificationUIDs.join(QLatin1Char(','))}},
         handler);
}

void QSocialManager::requestNotificationsSince(const QString &sinceNotificationUID, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetNotificationsSince")},
          {QStringLiteral("SinceNotificationUID"), sinceNotificationUID}},
         handler);
}

void QSocialManager::requestThirdPartyChannelForUser(const QString &app, const QString &channel, const QString &user,
                                                     JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("GetThirdPartyChannelForUser")},
          {QStringLiteral("app"), app},
          {QStringLiteral("channel"), channel},
          {QStringLiteral("user"), user}},
         handler);
}

void QSocialManager::getUserInfoByUID(const QString &userUID, JsonReplyHandler *handler)
{
    if (userUID.isEmpty() || userUID.startsWith(QLatin1String("sip:"))) {
        // Not a web UID: look the user up by address, and let the manager's
        // own dispatch file the answer whoever asked.
        qCDebug(ssint).noquote() << "QSocialManager::getUserInfoByUID" << userUID;
        getUserInfoByUri(userUID);
        return;
    }
    post({{QStringLiteral("method"), QStringLiteral("getUserBySocialUID")}, {QStringLiteral("uid"), userUID}}, handler);
}

void QSocialManager::getUserInfoByUri(const QString &uri, JsonReplyHandler *handler)
{
    if (!uri.startsWith(QLatin1String("sip:"))) {
        reportAssertionFailure("uri.startsWith(\"sip:\")", __FILE__, __LINE__, "QSocialManager::getUserInfoByUri",
                               true);
        return;
    }
    post({{QStringLiteral("method"), QStringLiteral("getUserByUserLiveURI")}, {QStringLiteral("UserLiveURI"), uri}},
         handler);
}

void QSocialManager::requestAddContactGroup(const QString &name, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("addContactGroup")}, {QStringLiteral("name"), name}}, handler);
}

void QSocialManager::requestAddContactGroupMember(const QString &gid, const QString &mid, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("addContactGroupMember")},
          {QStringLiteral("gid"), gid},
          {QStringLiteral("mid"), mid}},
         handler);
}

void QSocialManager::requestRemoveContactGroupMember(const QString &gid, const QString &mid, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("removeContactGroupMember")},
          {QStringLiteral("gid"), gid},
          {QStringLiteral("mid"), mid}},
         handler);
}

void QSocialManager::requestDeleteContactGroup(const QString &gid, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("deleteContactGroup")}, {QStringLiteral("gid"), gid}}, handler);
}

void QSocialManager::requestContactGroups(JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("getContactGroups")}}, handler);
}

void QSocialManager::requestChannelFavoritesList(JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("getChannelFavoritesList")}}, handler);
}

void QSocialManager::requestChangeChannelFavorite(const QString &channelUID, bool isFav, const QString &inviteUID,
                                                  JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("changeChannelFavorite")},
          {QStringLiteral("channelUID"), channelUID},
          {QStringLiteral("isFav"), flagText(isFav)},
          {QStringLiteral("inviteUID"), inviteUID}},
         handler);
}

void QSocialManager::requestChangeChannelModerator(const QString &channelUID, const QString &memberUID,
                                                   bool isModerator, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("changeChannelModerator")},
          {QStringLiteral("memberUID"), memberUID},
          {QStringLiteral("channelUID"), channelUID},
          {QStringLiteral("isModerator"), flagText(isModerator)}},
         handler);
}

void QSocialManager::requestInviteUserToChannel(const QString &userURI, const QString &channelURI,
                                                const QString &customMessage, JsonReplyHandler *handler)
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *conversation = realm->getConversation(channelURI);
    if (!conversation) {
        qCDebug(ssint) << "SocialManager::requestInviteUserToChannel - no channel found!";
        return;
    }
    Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(userURI);
    if (!user || user->getUid().isEmpty()) {
        qCDebug(ssint) << "SocialManager::requestInviteUserToChannel - no such user found!" << userURI;
        return;
    }
    post({{QStringLiteral("method"), QStringLiteral("inviteUserToChannel")},
          {QStringLiteral("userUID"), user->getUid()},
          {QStringLiteral("channelUID"), conversation->getChannelUID()},
          {QStringLiteral("customMessage"), customMessage}},
         handler);
}

void QSocialManager::requestChangeFriend(const QString &friendUID, bool setIsFriend, const QString &inviteUID,
                                         JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("changeFriend")},
          {QStringLiteral("friendUID"), friendUID},
          {QStringLiteral("setIsFriend"), flagText(setIsFriend)},
          {QStringLiteral("inviteUID"), inviteUID}},
         handler);
}

void QSocialManager::requestInviteUsersViaEmail(const QStringList &to, const QString &customMessage,
                                                const QString &channelURI, const QString &channelUID,
                                                JsonReplyHandler *handler)
{
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("InviteUsersViaEmail")},
                       {QStringLiteral("to"), to.join(QLatin1Char(','))},
                       {QStringLiteral("customMessage"), customMessage}};
    if (!channelURI.isEmpty())
        fields.insert(QStringLiteral("channelURI"), channelURI);
    if (!channelUID.isEmpty())
        fields.insert(QStringLiteral("channelUID"), channelUID);
    post(fields, handler);
}

void QSocialManager::requestIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                  const QString &cs, JsonReplyHandler *handler)
{
    requestIssueWithDetails(comments, so, rc, c, cs, QStringList(), handler);
}

void QSocialManager::requestIssueWithDetails(const QString &comments, const QString &so, const QString &rc,
                                             const QString &c, const QString &cs, const QStringList &details,
                                             JsonReplyHandler *handler)
{
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("RequestIssue")},
                       {QStringLiteral("comments"), comments},
                       {QStringLiteral("so"), so},
                       {QStringLiteral("rc"), rc},
                       {QStringLiteral("c"), c},
                       {QStringLiteral("cs"), cs}};
    addDetailFields(fields, details);
    post(fields, handler);
}

void QSocialManager::addPictureFields(QJsonObject &fields, const QString &fileUrl, const QString &fileNameKey,
                                      const QString &dataKey)
{
    const QString path = QUrl(fileUrl).toLocalFile();
    const QFileInfo info(path);
    fields.insert(fileNameKey, info.fileName());
    qCDebug(ssint).noquote() << "pictureFileName: " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(ssint).noquote() << "Failed to open " << path;
        return;
    }
    if (file.size() > kMaxPictureFileBytes) {
        qCWarning(ssint).noquote() << "Picture file too large:" << path << file.size() << "bytes, at most"
                                   << kMaxPictureFileBytes;
        return;
    }
    QByteArray data = file.readAll();
    scaleImageData(data, kPictureSize, info.suffix().toUpper());
    const QString base64 = QString::fromLatin1(data.toBase64());
    qCDebug(ssint).noquote() << dataKey + QStringLiteral(": ") << base64.left(kLoggedPictureCharacters)
                             << QStringLiteral("(%1 characters)").arg(base64.size());
    fields.insert(dataKey, base64);
}

void QSocialManager::setChannelPicture(const QString &channelSocialUID, const QString &fileUrl,
                                       JsonReplyHandler *handler)
{
    if (!handler) {
        qCDebug(ssint).noquote() << "QSocialManager::setChannelPicture"
                                 << "deprecated mode, an instance specific replyHandler should be submitted"
                                 << channelSocialUID << fileUrl;
    }
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("SetChannelImage")},
                       {QStringLiteral("ChannelSocialUID"), channelSocialUID}};
    addPictureFields(fields, fileUrl, QStringLiteral("ChannelPictureFileName"),
                     QStringLiteral("ChannelPictureRawDataBase64"));
    post(fields, handler);
}

void QSocialManager::requestSetUserCustomInfo(const QString &displayName, const QString &description,
                                              const QString &statusText, const QString &location,
                                              const QString &linkWeb, const QString &twitterName,
                                              const QString &phoneNumber, bool renameImage, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("SetUserCustomInfo")},
          {QStringLiteral("UserDisplayName"), displayName},
          {QStringLiteral("UserStatusText"), statusText},
          {QStringLiteral("UserDescription"), description},
          {QStringLiteral("UserLocation"), location},
          {QStringLiteral("UserLinkWeb"), linkWeb},
          {QStringLiteral("UserTwitterName"), twitterName},
          {QStringLiteral("UserPhoneNumber"), phoneNumber},
          {QStringLiteral("RenameImage"), flagNumber(renameImage)}},
         handler);
}

void QSocialManager::requestSetUserImage(const QString &fileUrl, JsonReplyHandler *handler)
{
    QJsonObject fields{{QStringLiteral("method"), QStringLiteral("SetUserImage")}};
    addPictureFields(fields, fileUrl, QStringLiteral("UserPictureFileName"),
                     QStringLiteral("UserPictureRawDataBase64"));
    post(fields, handler);
    // The picture is public: the same fields go out again as a privacy update.
    fields.insert(QStringLiteral("method"), QStringLiteral("SetUserPrivacy"));
    fields.insert(QStringLiteral("UserPublicFields"),
                  QStringLiteral("UserDisplayName,UserPictureUrl,UserDescription,UserStatusText,UserLocation,"
                                 "UserLevelName"));
    post(fields, handler);
}

void QSocialManager::requestUpdateNotifications(const QStringList &notificationUIDs, int state,
                                                JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("UpdateNotifications")},
          {QStringLiteral("NotificationUIDs"), notificationUIDs.join(QLatin1Char(','))},
          {QStringLiteral("State"), state}},
         handler);
}

void QSocialManager::requestRealmVerify(const QString &clientlibVersion, const QString &rid, const QString &token,
                                        JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmVerify")},
          {QStringLiteral("rid"), rid},
          {QStringLiteral("token"), token},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmLogin(const QString &clientlibVersion, const QString &rsid, const QString &uname,
                                       const QString &utok, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmLogin")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("uname"), uname},
          {QStringLiteral("utok"), utok},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmContactList(const QString &clientlibVersion, const QString &rsid,
                                             JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmContactList")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmChangeContact(const QString &clientlibVersion, const QString &rsid, const QString &t,
                                               bool isAdd, bool isBlock, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmChangeContact")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("t"), t},
          {QStringLiteral("l"), isBlock ? QStringLiteral("block") : QStringLiteral("contact")},
          {QStringLiteral("a"), isAdd ? QStringLiteral("add") : QStringLiteral("del")},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmGetChannelAuth(const QString &clientlibVersion, const QString &rsid, const QString &n,
                                                JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmGetChannelAuth")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("n"), n},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmSendInvite(const QString &clientlibVersion, const QString &rsid, const QString &t,
                                            const QString &c, const QString &cn, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmSendInvite")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("t"), t},
          {QStringLiteral("c"), c},
          {QStringLiteral("cn"), cn},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestRealmSendMessage(const QString &clientlibVersion, const QString &rsid, const QString &t,
                                             const QString &m, JsonReplyHandler *handler)
{
    post({{QStringLiteral("method"), QStringLiteral("RealmSendMessage")},
          {QStringLiteral("rsid"), rsid},
          {QStringLiteral("t"), t},
          {QStringLiteral("m"), m},
          {QStringLiteral("clientlib_version"), clientlibVersion}},
         handler);
}

void QSocialManager::requestShortLink(const QUrl &longUrl, JsonReplyHandler *handler, const QString &method,
                                      const QString &host)
{
    const QUrl url(QStringLiteral("http://%1/shorturl_ajax.php").arg(host.isEmpty() ? m_shortLinkHost : host));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));

    const QString longUrlText = longUrl.toString();
    const QString body = QStringLiteral("u=") + QString::fromLatin1(QUrl::toPercentEncoding(longUrlText));
    qCDebug(ssint).noquote() << "QSocialManager::requestShortLink" << body;
    QNetworkReply *reply = m_networkManager->post(request, body.toUtf8());

    auto *query = new QSocialQuery(method, longUrlText, handler, reply, nullptr, nullptr, this);
    connect(reply, &QNetworkReply::finished, query, &QSocialQuery::networkRequestFinished);
    connect(reply, &QNetworkReply::sslErrors, query, &QSocialQuery::onSslErrors);
    connect(reply, &QNetworkReply::errorOccurred, query, &QSocialQuery::onError);
    connect(query, &QSocialQuery::sslErrors, this, &QSocialManager::onSslErrors);
}

// --- Pictures -----------------------------------------------------------------

void QSocialManager::scaleImageData(QByteArray &data, int size, const QString &format)
{
    QImage image;
    {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize imageSize = reader.size();
        if (imageSize.isValid() && qint64(imageSize.width()) * imageSize.height() > kMaxPicturePixels) {
            qCWarning(ssint) << "Image too large to scale:" << imageSize;
            return;
        }
        image = reader.read();
    }
    if (image.isNull()) {
        qCDebug(ssint) << "Failed to load image from data";
        return;
    }
    data.clear();
    QImage scaled = image.scaled(size, size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    if (scaled.width() > scaled.height())
        scaled = scaled.copy((scaled.width() - size) / 2, 0, size, size);
    else if (scaled.height() > scaled.width())
        scaled = scaled.copy(0, (scaled.height() - size) / 2, size, size);
    QBuffer out(&data);
    out.open(QIODevice::WriteOnly);
    const bool saved = scaled.save(&out, format.toLatin1().constData());
    qCDebug(ssint) << "Image data saved: " << saved;
}
