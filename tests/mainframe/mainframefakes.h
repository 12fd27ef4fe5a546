#pragma once

// Recording doubles of the objects behind the main frame and its menus:
// `mainApp`, `localUser` with its lists, `storageManager`, `findInstance`,
// `findChannels` and the conversations and notifications in the lists. Every
// call QML makes on them lands in one CallLog as a line such as
// `localUser.requestAddFriend(sip:u-a@x)`, so a test compares what the frame
// asked for with a plain list of texts.

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStringList>
#include <QUrl>
#include <QVariant>

// The calls made on the doubles, in order.
class CallLog : public QObject
{
    Q_OBJECT

public:
    QStringList calls;

    void record(const QString &name, const QVariantList &args = {})
    {
        QStringList texts;
        for (const QVariant &arg : args)
            texts.append(format(arg));
        calls.append(name + QLatin1Char('(') + texts.join(QStringLiteral(", ")) + QLatin1Char(')'));
        emit recorded(calls.last());
    }
    // The calls whose text starts with `prefix`.
    QStringList starting(const QString &prefix) const
    {
        QStringList found;
        for (const QString &call : calls) {
            if (call.startsWith(prefix))
                found.append(call);
        }
        return found;
    }
    void clear() { calls.clear(); }

    static QString format(const QVariant &value)
    {
        if (value.userType() == QMetaType::QStringList)
            return QLatin1Char('[') + value.toStringList().join(QLatin1Char(';')) + QLatin1Char(']');
        if (value.userType() == QMetaType::QVariantList) {
            QStringList parts;
            for (const QVariant &item : value.toList())
                parts.append(format(item));
            return QLatin1Char('[') + parts.join(QLatin1Char(';')) + QLatin1Char(']');
        }
        if (value.userType() == QMetaType::QVariantMap) {
            QStringList parts;
            const QVariantMap map = value.toMap();
            for (auto it = map.begin(); it != map.end(); ++it)
                parts.append(it.key() + QLatin1Char('=') + format(it.value()));
            return QLatin1Char('{') + parts.join(QLatin1Char(';')) + QLatin1Char('}');
        }
        if (value.canConvert<QObject *>()) {
            QObject *object = value.value<QObject *>();
            if (!object)
                return QStringLiteral("null");
            if (!object->objectName().isEmpty())
                return object->objectName();
        }
        if (!value.isValid())
            return QStringLiteral("undefined");
        return value.toString();
    }

signals:
    void recorded(const QString &call);
};

// A list model whose rows are maps of role name to value, for every list the
// frame shows. Role names are fixed at construction. Like the program's lists
// it has no count of its own (a view counts its rows); see FakeCountedList.
class FakeListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    FakeListModel(const QStringList &roles, QObject *parent = nullptr)
        : QAbstractListModel(parent)
    {
        for (int i = 0; i < roles.size(); ++i)
            m_roles.insert(Qt::UserRole + 1 + i, roles.at(i).toUtf8());
    }

    void append(const QVariantMap &row)
    {
        beginInsertRows({}, m_rows.size(), m_rows.size());
        m_rows.append(row);
        endInsertRows();
        rowsChanged();
    }
    void setRows(const QList<QVariantMap> &rows)
    {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        rowsChanged();
    }
    void clear() { setRows({}); }
    int rowCountProperty() const { return m_rows.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows.size();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        return m_rows.at(index.row()).value(QString::fromUtf8(m_roles.value(role)));
    }
    QHash<int, QByteArray> roleNames() const override { return m_roles; }

protected:
    // Called after the rows change (the program's lists have no signal of
    // their own for that beside the model's).
    virtual void rowsChanged() {}

private:
    QHash<int, QByteArray> m_roles;
    QList<QVariantMap> m_rows;
};

// A list that counts its shown rows, as a contact list and a list of realm
// identities do (`visibleCount`): every row here is shown.
class FakeCountedList : public FakeListModel
{
    Q_OBJECT
    Q_PROPERTY(int visibleCount READ rowCountProperty NOTIFY visibleCountChanged)

public:
    using FakeListModel::FakeListModel;

signals:
    void visibleCountChanged();

protected:
    void rowsChanged() override { emit visibleCountChanged(); }
};

// A conversation's participant list (`conversationRef.participants`): its
// rows and their count, as the program's participant list offers them.
class FakeParticipantList : public FakeListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCountProperty NOTIFY participantCountChanged)

public:
    using FakeListModel::FakeListModel;

signals:
    void participantCountChanged(int participantCount);

protected:
    void rowsChanged() override { emit participantCountChanged(rowCountProperty()); }
};

// A contact group list (`localUser.contactGroups`) with its counts and the
// ungrouped group.
class FakeContactGroupList : public FakeListModel
{
    Q_OBJECT
    Q_PROPERTY(QObject *emptyGroup READ emptyGroup CONSTANT)
    Q_PROPERTY(int totalCount MEMBER m_totalCount NOTIFY countsChanged)
    Q_PROPERTY(int onlineCount MEMBER m_onlineCount NOTIFY countsChanged)
    Q_PROPERTY(bool showOfflineContacts MEMBER m_showOffline NOTIFY countsChanged)

public:
    FakeContactGroupList(CallLog *log, QObject *emptyGroup, QObject *parent = nullptr)
        : FakeListModel({"displayName", "groupID", "realmName", "realmID", "onlineCount", "totalCount", "contactList"},
                        parent)
        , m_log(log)
        , m_emptyGroup(emptyGroup)
    {
    }
    QObject *emptyGroup() const { return m_emptyGroup; }
    void setCounts(int online, int total)
    {
        m_onlineCount = online;
        m_totalCount = total;
        emit countsChanged();
    }

    Q_INVOKABLE void requestMoveContact(const QString &realmID, const QString &contactUUID, const QString &groupID,
                                        const QString &fromGroupID)
    {
        m_log->record("contactGroups.requestMoveContact", {realmID, contactUUID, groupID, fromGroupID});
    }
    Q_INVOKABLE void requestRemoveContactGroup(const QString &realmID, const QString &groupID)
    {
        m_log->record("contactGroups.requestRemoveContactGroup", {realmID, groupID});
    }

signals:
    void countsChanged();

private:
    CallLog *m_log;
    QObject *m_emptyGroup;
    int m_totalCount = 0;
    int m_onlineCount = 0;
    bool m_showOffline = false;
};

// The ungrouped contact group: its id and counts.
class FakeContactGroup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString groupID MEMBER m_groupID CONSTANT)
    Q_PROPERTY(int onlineCount MEMBER m_onlineCount NOTIFY countsChanged)
    Q_PROPERTY(int totalCount MEMBER m_totalCount NOTIFY countsChanged)

public:
    explicit FakeContactGroup(const QString &groupID, QObject *parent = nullptr)
        : QObject(parent)
        , m_groupID(groupID)
    {
    }
    void setCounts(int online, int total)
    {
        m_onlineCount = online;
        m_totalCount = total;
        emit countsChanged();
    }

signals:
    void countsChanged();

private:
    QString m_groupID;
    int m_onlineCount = 0;
    int m_totalCount = 0;
};

// A conversation as the frame and the menus use it.
class FakeConversation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString sipURI MEMBER m_sipURI CONSTANT)
    Q_PROPERTY(QString displayName MEMBER m_displayName CONSTANT)
    Q_PROPERTY(int joinState MEMBER m_joinState NOTIFY changed)
    Q_PROPERTY(bool isFavorite READ isFavorite WRITE setIsFavorite NOTIFY changed)
    Q_PROPERTY(bool isOwned MEMBER m_isOwned NOTIFY changed)
    Q_PROPERTY(bool isPrivate MEMBER m_isPrivate NOTIFY changed)
    Q_PROPERTY(bool isPermanent MEMBER m_isPermanent NOTIFY isPermanentChanged)
    Q_PROPERTY(bool localUserIsModerator MEMBER m_moderates NOTIFY changed)
    Q_PROPERTY(QObject *participants MEMBER m_participants CONSTANT)

public:
    FakeConversation(CallLog *log, const QString &sipURI, const QString &displayName, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
        , m_sipURI(sipURI)
        , m_displayName(displayName)
    {
        setObjectName(displayName);
    }

    bool isFavorite() const { return m_isFavorite; }
    void setIsFavorite(bool value)
    {
        m_log->record(m_displayName + ".isFavorite", {value});
        m_isFavorite = value;
        emit changed();
    }
    void setState(int joinState, bool favorite, bool owned, bool isPrivate, bool moderates, bool permanent = true)
    {
        if (permanent != m_isPermanent) {
            m_isPermanent = permanent;
            emit isPermanentChanged(permanent);
        }
        m_joinState = joinState;
        m_isFavorite = favorite;
        m_isOwned = owned;
        m_isPrivate = isPrivate;
        m_moderates = moderates;
        emit changed();
    }
    void setParticipants(QObject *participants) { m_participants = participants; }
    QVariantList logFiles;

    Q_INVOKABLE void requestJoinConversation() { m_log->record(m_displayName + ".requestJoinConversation"); }
    Q_INVOKABLE void requestLeaveConversation(bool force)
    {
        m_log->record(m_displayName + ".requestLeaveConversation", {force});
    }
    Q_INVOKABLE void showConversationDetails() { m_log->record(m_displayName + ".showConversationDetails"); }
    Q_INVOKABLE void showEditProperties() { m_log->record(m_displayName + ".showEditProperties"); }
    Q_INVOKABLE void requestDelete() { m_log->record(m_displayName + ".requestDelete"); }
    Q_INVOKABLE void muteAll() { m_log->record(m_displayName + ".muteAll"); }
    Q_INVOKABLE void unmuteAll() { m_log->record(m_displayName + ".unmuteAll"); }
    Q_INVOKABLE void muteUser(QObject *user, bool everyone = false)
    {
        m_log->record(m_displayName + ".muteUser", {QVariant::fromValue(user), everyone});
    }
    Q_INVOKABLE void unmuteUser(QObject *user, bool everyone = false)
    {
        m_log->record(m_displayName + ".unmuteUser", {QVariant::fromValue(user), everyone});
    }
    Q_INVOKABLE void kickUser(QObject *user)
    {
        m_log->record(m_displayName + ".kickUser", {QVariant::fromValue(user)});
    }
    Q_INVOKABLE void banUser(QObject *user) { m_log->record(m_displayName + ".banUser", {QVariant::fromValue(user)}); }
    Q_INVOKABLE void addModeratorship(QObject *user)
    {
        m_log->record(m_displayName + ".addModeratorship", {QVariant::fromValue(user)});
    }
    Q_INVOKABLE void removeModeratorship(QObject *user)
    {
        m_log->record(m_displayName + ".removeModeratorship", {QVariant::fromValue(user)});
    }
    Q_INVOKABLE void removeInvitedUser(const QString &uri)
    {
        m_log->record(m_displayName + ".removeInvitedUser", {uri});
    }
    Q_INVOKABLE QVariantList getChatLogFileList() { return logFiles; }

signals:
    void changed();
    void isPermanentChanged(bool isPermanent);

private:
    CallLog *m_log;
    QString m_sipURI;
    QString m_displayName;
    int m_joinState = 0;
    bool m_isFavorite = false;
    bool m_isOwned = false;
    bool m_isPrivate = false;
    bool m_isPermanent = true;
    bool m_moderates = false;
    QObject *m_participants = nullptr;
};

// A realm user as the participant menu uses it.
class FakeIdentity : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString sipURI MEMBER m_sipURI CONSTANT)

public:
    FakeIdentity(CallLog *log, const QString &sipURI, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
        , m_sipURI(sipURI)
    {
        setObjectName(QStringLiteral("identity"));
    }
    Q_INVOKABLE void showUserDetails() { m_log->record("identity.showUserDetails"); }

private:
    CallLog *m_log;
    QString m_sipURI;
};

// `localUser`.
class FakeLocalUser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString displayName MEMBER displayName NOTIFY changed)
    Q_PROPERTY(QUrl profileImageURI MEMBER profileImageURI NOTIFY changed)
    Q_PROPERTY(QString sipURI MEMBER sipURI NOTIFY changed)
    Q_PROPERTY(int presenceState READ presenceState WRITE setPresenceState NOTIFY changed)
    Q_PROPERTY(QString presenceMessage MEMBER presenceMessage NOTIFY changed)
    Q_PROPERTY(QString onlineStatus MEMBER onlineStatus NOTIFY changed)
    Q_PROPERTY(QString awayStatus MEMBER awayStatus NOTIFY changed)
    Q_PROPERTY(QObject *contactGroups MEMBER contactGroups CONSTANT)
    Q_PROPERTY(QObject *permanentConversations MEMBER permanentConversations CONSTANT)
    Q_PROPERTY(QObject *recentConversations MEMBER recentConversations CONSTANT)

public:
    explicit FakeLocalUser(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
    {
    }

    QString displayName;
    QUrl profileImageURI;
    QString sipURI = QStringLiteral("sip:u-me@example.org");
    QString presenceMessage;
    QString onlineStatus = QStringLiteral("Online");
    QString awayStatus = QStringLiteral("Away");
    QObject *contactGroups = nullptr;
    QObject *permanentConversations = nullptr;
    QObject *recentConversations = nullptr;

    int presenceState() const { return m_presenceState; }
    void setPresenceState(int state)
    {
        m_log->record("localUser.presenceState", {state});
        m_presenceState = state;
        emit changed();
    }
    void update() { emit changed(); }

    Q_INVOKABLE void setPresenceMessage(int state, const QString &message)
    {
        m_log->record("localUser.setPresenceMessage", {state, message});
    }
    Q_INVOKABLE void requestAddFriend(const QString &uri) { m_log->record("localUser.requestAddFriend", {uri}); }
    Q_INVOKABLE void requestRemoveFriend(const QString &uri) { m_log->record("localUser.requestRemoveFriend", {uri}); }
    Q_INVOKABLE void requestMarkNotification(const QString &uid, int state)
    {
        m_log->record("localUser.requestMarkNotification", {uid, state});
    }
    Q_INVOKABLE void requestMarkNotification(const QString &uid, int state, bool clicked)
    {
        m_log->record("localUser.requestMarkNotification", {uid, state, clicked});
    }
    Q_INVOKABLE void requestMarkAllNotifications(int state)
    {
        m_log->record("localUser.requestMarkAllNotifications", {state});
    }
    Q_INVOKABLE void requestRefreshFriends() { m_log->record("localUser.requestRefreshFriends"); }
    Q_INVOKABLE void requestRefreshOwnedChannels() { m_log->record("localUser.requestRefreshOwnedChannels"); }
    Q_INVOKABLE void requestRefreshFavorites() { m_log->record("localUser.requestRefreshFavorites"); }

signals:
    void changed();

private:
    CallLog *m_log;
    int m_presenceState = 5;
};

// The recent conversations list with its removeAll.
class FakeRecentConversations : public FakeListModel
{
    Q_OBJECT

public:
    FakeRecentConversations(CallLog *log, QObject *parent = nullptr)
        : FakeListModel({"displayName", "profileImageURI", "realmID", "conversationUUID", "isPersonalChat", "canRejoin",
                         "joinedAt", "leftAt", "participants", "logfile", "conversationRef"},
                        parent)
        , m_log(log)
    {
    }
    Q_INVOKABLE void removeAll()
    {
        m_log->record("recentConversations.removeAll");
        clear();
    }

private:
    CallLog *m_log;
};

// `storageManager`: settings read from a map, writes recorded.
class FakeStorageManager : public QObject
{
    Q_OBJECT

public:
    explicit FakeStorageManager(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
    {
    }
    QHash<int, QVariant> values;

    Q_INVOKABLE QVariant getSettingsValue(int setting, const QVariant &defaultValue = QVariant())
    {
        return values.value(setting, defaultValue);
    }
    Q_INVOKABLE void setSettingsValue(int setting, const QVariant &value)
    {
        m_log->record("storageManager.setSettingsValue", {setting, value});
        values.insert(setting, value);
    }
    Q_INVOKABLE bool getShowHint(const QString &) { return false; }
    Q_INVOKABLE void setShowHint(const QString &, bool) {}

private:
    CallLog *m_log;
};

// `findInstance`: the friend search. A test sets what the next search
// yields through `pendingResults` and `pendingHasMore`, and completes it
// with finishSearch().
class FakeFindUsers : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString searchTerm MEMBER m_searchTerm NOTIFY changed)
    Q_PROPERTY(bool isSearching MEMBER m_isSearching NOTIFY changed)
    Q_PROPERTY(bool hasMoreResults MEMBER m_hasMore NOTIFY changed)
    Q_PROPERTY(QObject *searchResults READ searchResults CONSTANT)

public:
    FakeFindUsers(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
        , m_results({"displayName", "uname", "profileImageURI", "sipURI", "isContact", "tagline", "taglineText",
                     "realmID", "userUUID"},
                    this)
    {
    }
    FakeCountedList *results() { return &m_results; }
    QObject *searchResults() { return &m_results; }

    // What the search under way answers.
    QList<QVariantMap> pendingResults;
    bool pendingHasMore = false;

    void finishSearch()
    {
        for (const QVariantMap &row : pendingResults)
            m_results.append(row);
        m_hasMore = pendingHasMore;
        m_isSearching = false;
        emit changed();
    }

    Q_INVOKABLE bool searchForUsers(const QString &term, bool showInactive, int offset, int count)
    {
        m_log->record("findInstance.searchForUsers", {term, showInactive, offset, count});
        if (offset == 0)
            m_results.clear();
        m_searchTerm = term;
        m_isSearching = true;
        emit changed();
        return true;
    }
    Q_INVOKABLE void reset()
    {
        m_log->record("findInstance.reset");
        m_results.clear();
        m_hasMore = false;
        emit changed();
    }
    Q_INVOKABLE void tileClicked(const QString &channelURI, const QString &userURI, bool add)
    {
        m_log->record("findInstance.tileClicked", {channelURI, userURI, add});
    }

signals:
    void changed();

private:
    CallLog *m_log;
    FakeCountedList m_results;
    QString m_searchTerm;
    bool m_isSearching = false;
    bool m_hasMore = false;
};

// `findChannels`.
class FakeFindChannels : public QObject
{
    Q_OBJECT

public:
    FakeFindChannels(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
    {
    }
    Q_INVOKABLE void showChannelSearch() { m_log->record("findChannels.showChannelSearch"); }

private:
    CallLog *m_log;
};

// `mainApp`: the application's interface as the frame and the menus use it.
class FakeMainApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString languageUpdatedString READ languageUpdatedString NOTIFY languageChanged)
    Q_PROPERTY(QString availableUpdateVersion MEMBER availableUpdateVersion NOTIFY availableUpdateVersionChanged)
    Q_PROPERTY(QString availableUpdateMessage MEMBER availableUpdateMessage NOTIFY availableUpdateMessageChanged)
    Q_PROPERTY(QString availableUpdateLink MEMBER availableUpdateLink NOTIFY availableUpdateLinkChanged)
    Q_PROPERTY(QString echoChannel MEMBER echoChannel CONSTANT)
    Q_PROPERTY(bool trayIconShown MEMBER trayIconShown NOTIFY trayIconShownChanged)

public:
    explicit FakeMainApp(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
    {
    }

    QString availableUpdateVersion;
    QString availableUpdateMessage;
    QString availableUpdateLink;
    QString echoChannel = QStringLiteral("sip:confctl-echo@example.org");
    bool trayIconShown = true;
    QStringList styles{QStringLiteral("Default")};
    QHash<QString, QVariantList> chatLogs;
    // Bumped by a language change, so that every text bound to it re-reads.
    QString language;

    QString languageUpdatedString() const { return language; }
    void announceUpdate(const QString &version, const QString &message, const QString &link)
    {
        availableUpdateVersion = version;
        availableUpdateMessage = message;
        availableUpdateLink = link;
        emit availableUpdateVersionChanged(version);
        emit availableUpdateMessageChanged(message);
        emit availableUpdateLinkChanged(link);
    }

    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QMap<QString, QString> &params)
    {
        QVariantMap map;
        for (auto it = params.begin(); it != params.end(); ++it)
            map.insert(it.key(), it.value());
        m_log->record("trackEvent", {category, label, map});
    }
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &params)
    {
        m_log->record("trackEvent", {category, label, params});
    }
    Q_INVOKABLE void showGeneralSettings(int page) { m_log->record("mainApp.showGeneralSettings", {page}); }
    Q_INVOKABLE void showAbout() { m_log->record("mainApp.showAbout"); }
    Q_INVOKABLE void checkForUpdates() { m_log->record("mainApp.checkForUpdates"); }
    Q_INVOKABLE void showTutorial() { m_log->record("mainApp.showTutorial"); }
    Q_INVOKABLE void requestLogout(QObject *user)
    {
        m_log->record("mainApp.requestLogout", {QVariant::fromValue(user)});
    }
    Q_INVOKABLE void onAppExit() { m_log->record("mainApp.onAppExit"); }
    Q_INVOKABLE void showEditPresenceMessages() { m_log->record("mainApp.showEditPresenceMessages"); }
    Q_INVOKABLE void showReportIssue() { m_log->record("mainApp.showReportIssue"); }
    Q_INVOKABLE void showHiddenWindow() { m_log->record("mainApp.showHiddenWindow"); }
    Q_INVOKABLE void forceCrash() { m_log->record("mainApp.forceCrash"); }
    Q_INVOKABLE QStringList getAvailableStyles() { return styles; }
    Q_INVOKABLE void setStyle(const QString &name) { m_log->record("mainApp.setStyle", {name}); }
    Q_INVOKABLE void showCreateChannel(const QString &parentURI)
    {
        m_log->record("mainApp.showCreateChannel", {parentURI});
    }
    Q_INVOKABLE void showPostCallSurvey() { m_log->record("mainApp.showPostCallSurvey"); }
    Q_INVOKABLE void showFindUsers(int mode, QObject *channel, int inviteMethod, const QString &realmID,
                                   const QString &userUUID)
    {
        m_log->record("mainApp.showFindUsers", {mode, QVariant::fromValue(channel), inviteMethod, realmID, userUUID});
    }
    Q_INVOKABLE void showInviteFriendsViaEmail(QObject *channel)
    {
        m_log->record("mainApp.showInviteFriendsViaEmail", {QVariant::fromValue(channel)});
    }
    Q_INVOKABLE void copyChannelLinkToClipboard(QObject *channel)
    {
        m_log->record("mainApp.copyChannelLinkToClipboard", {QVariant::fromValue(channel)});
    }
    Q_INVOKABLE void showUserProfileByURI(const QString &uri) { m_log->record("mainApp.showUserProfileByURI", {uri}); }
    Q_INVOKABLE void requestConversation(const QString &uri) { m_log->record("mainApp.requestConversation", {uri}); }
    Q_INVOKABLE void requestConversation(const QString &realmID, const QString &userUUID)
    {
        m_log->record("mainApp.requestConversation", {realmID, userUUID});
    }
    Q_INVOKABLE void showRealmUserProfile(const QString &realmID, const QString &userUUID)
    {
        m_log->record("mainApp.showRealmUserProfile", {realmID, userUUID});
    }
    Q_INVOKABLE void showChatLog(const QString &filename, const QString &title)
    {
        m_log->record("mainApp.showChatLog", {filename, title});
    }
    Q_INVOKABLE QVariantList getChatLogFileList(const QString &realmID, const QString &userUUID)
    {
        return chatLogs.value(realmID + QLatin1Char('/') + userUUID);
    }
    // Marks each occurrence of the highlight, as the application does; the
    // pattern is the highlight as given, so the caller escapes it first.
    Q_INVOKABLE QString decorate(const QString &text, const QString &highlight)
    {
        if (highlight.isEmpty())
            return text;
        QString result = text;
        result.replace(QRegularExpression(QLatin1Char('(') + highlight + QStringLiteral(")(?![^<]*>|[^<>]*</)"),
                                          QRegularExpression::CaseInsensitiveOption),
                       QStringLiteral("<font color=\"red\">\\1</font>"));
        return result;
    }

    void changeLanguage() { emit languageChanged(); }

signals:
    void availableUpdateVersionChanged(const QString &version);
    void availableUpdateMessageChanged(const QString &message);
    void availableUpdateLinkChanged(const QString &link);
    void noUpdateAvailable();
    void languageChanged();
    void trayIconShownChanged();

private:
    CallLog *m_log;
};

// `tavriIdentityRealm`: the built-in realm's contact-group request.
class FakeRealmForGroups : public QObject
{
    Q_OBJECT

public:
    explicit FakeRealmForGroups(CallLog *log, QObject *parent = nullptr)
        : QObject(parent)
        , m_log(log)
    {
    }
    Q_INVOKABLE void requestCreateContactGroup(const QString &name)
    {
        m_log->record("realm.requestCreateContactGroup", {name});
    }

private:
    CallLog *m_log;
};

// Receives the addresses QML opens with Qt.openUrlExternally.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QStringList opened;

public slots:
    void open(const QUrl &url) { opened.append(url.toString()); }
};
