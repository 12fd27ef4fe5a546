#include "devgatewaystore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

// The low-level digest calls: PBKDF2 needs nothing of the EVP layer but its cost.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <cstring>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int SchemaVersion = 4;
// Hashes written before the round count was stored with them: 32 bytes, 10,000 rounds.
constexpr int LegacyPasswordRounds = 10000;
constexpr int PasswordHashBytes = 32;
// Stored hashes are "p2$<rounds>$" and the 32 bytes.
const QByteArray HashPrefix = QByteArrayLiteral("p2$");
std::atomic<int> passwordRounds{DevGatewayStore::DefaultPasswordRounds};

// PBKDF2-HMAC-SHA256 for one 32-byte block. The HMAC's inner and outer
// states after the padded key are computed once and copied for each round,
// which makes a round two SHA-256 compressions and nothing more.
QByteArray pbkdf2(const QByteArray &password, const QByteArray &salt, int rounds)
{
    unsigned char key[SHA256_CBLOCK] = {};
    if (password.size() > SHA256_CBLOCK)
        SHA256(reinterpret_cast<const unsigned char *>(password.constData()), size_t(password.size()), key);
    else
        memcpy(key, password.constData(), size_t(password.size()));
    unsigned char pad[SHA256_CBLOCK];
    SHA256_CTX inner, outer;
    for (int i = 0; i < SHA256_CBLOCK; ++i)
        pad[i] = key[i] ^ 0x36;
    SHA256_Init(&inner);
    SHA256_Update(&inner, pad, sizeof pad);
    for (int i = 0; i < SHA256_CBLOCK; ++i)
        pad[i] = key[i] ^ 0x5c;
    SHA256_Init(&outer);
    SHA256_Update(&outer, pad, sizeof pad);

    const auto hmac = [&](const unsigned char *data, size_t size, const unsigned char *more, size_t moreSize,
                          unsigned char *out) {
        SHA256_CTX ctx = inner;
        SHA256_Update(&ctx, data, size);
        if (moreSize)
            SHA256_Update(&ctx, more, moreSize);
        unsigned char innerHash[SHA256_DIGEST_LENGTH];
        SHA256_Final(innerHash, &ctx);
        ctx = outer;
        SHA256_Update(&ctx, innerHash, sizeof innerHash);
        SHA256_Final(out, &ctx);
    };
    const unsigned char blockIndex[4] = {0, 0, 0, 1};
    unsigned char u[SHA256_DIGEST_LENGTH];
    hmac(reinterpret_cast<const unsigned char *>(salt.constData()), size_t(salt.size()), blockIndex, 4, u);
    unsigned char result[SHA256_DIGEST_LENGTH];
    memcpy(result, u, sizeof result);
    for (int round = 1; round < rounds; ++round) {
        hmac(u, sizeof u, nullptr, 0, u);
        for (size_t i = 0; i < sizeof result; ++i)
            result[i] ^= u[i];
    }
    return QByteArray(reinterpret_cast<const char *>(result), PasswordHashBytes);
}

// The rounds and key of a stored hash; 0 rounds when it is neither form.
int storedRounds(const QByteArray &stored, QByteArray *key)
{
    if (stored.size() == PasswordHashBytes) {
        *key = stored;
        return LegacyPasswordRounds;
    }
    const int dollar = stored.indexOf('$', HashPrefix.size());
    if (!stored.startsWith(HashPrefix) || dollar < 0 || stored.size() - dollar - 1 != PasswordHashBytes)
        return 0;
    bool ok = false;
    const int rounds = stored.mid(HashPrefix.size(), dollar - HashPrefix.size()).toInt(&ok);
    *key = stored.mid(dollar + 1);
    return ok && rounds > 0 ? rounds : 0;
}

const char *const SchemaStatements[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE IF NOT EXISTS accounts (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " email TEXT NOT NULL UNIQUE COLLATE NOCASE, uname TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " display_name TEXT NOT NULL, pw_salt BLOB NOT NULL, pw_hash BLOB NOT NULL,"
    " status_text TEXT NOT NULL DEFAULT '', description TEXT NOT NULL DEFAULT '',"
    " location TEXT NOT NULL DEFAULT '', link_web TEXT NOT NULL DEFAULT '', twitter TEXT NOT NULL DEFAULT '',"
    " phone TEXT NOT NULL DEFAULT '', picture_url TEXT NOT NULL DEFAULT '', public_fields TEXT NOT NULL DEFAULT '',"
    " last_guid TEXT NOT NULL DEFAULT '', last_on INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS sessions (sid TEXT PRIMARY KEY,"
    " account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE, last_seen INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tokens (token TEXT PRIMARY KEY, kind TEXT NOT NULL,"
    " subject_uri TEXT NOT NULL, display_name TEXT NOT NULL, sid TEXT)",
    "CREATE TABLE IF NOT EXISTS friends (owner_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    " friend_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE, PRIMARY KEY (owner_id, friend_id))",
    "CREATE TABLE IF NOT EXISTS contact_groups (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " owner_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE, name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS contact_group_members ("
    " group_id INTEGER NOT NULL REFERENCES contact_groups(id) ON DELETE CASCADE,"
    " member_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE, PRIMARY KEY (group_id, member_id))",
    "CREATE TABLE IF NOT EXISTS channels (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " owner_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    " parent_id INTEGER REFERENCES channels(id) ON DELETE CASCADE, name TEXT NOT NULL,"
    " description TEXT NOT NULL DEFAULT '', motd TEXT NOT NULL DEFAULT '', tags TEXT NOT NULL DEFAULT '',"
    " link_email TEXT NOT NULL DEFAULT '', link_web TEXT NOT NULL DEFAULT '', twitter_tag TEXT NOT NULL DEFAULT '',"
    " protection INTEGER NOT NULL DEFAULT 0, pw_salt BLOB, pw_hash BLOB, children_locked INTEGER NOT NULL DEFAULT 0,"
    " call_in_code TEXT NOT NULL DEFAULT '', picture_url TEXT NOT NULL DEFAULT '', last_on INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS favorites (account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    " channel_id INTEGER NOT NULL REFERENCES channels(id) ON DELETE CASCADE, PRIMARY KEY (account_id, channel_id))",
    "CREATE TABLE IF NOT EXISTS channel_moderators (account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE "
    "CASCADE,"
    " channel_id INTEGER NOT NULL REFERENCES channels(id) ON DELETE CASCADE, PRIMARY KEY (account_id, channel_id))",
    "CREATE TABLE IF NOT EXISTS channel_members (account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    " channel_id INTEGER NOT NULL REFERENCES channels(id) ON DELETE CASCADE, PRIMARY KEY (account_id, channel_id))",
    "CREATE TABLE IF NOT EXISTS notifications (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " recipient_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE, type INTEGER NOT NULL,"
    " state INTEGER NOT NULL DEFAULT 1, other_id INTEGER, other_name TEXT NOT NULL DEFAULT '',"
    " other_email TEXT NOT NULL DEFAULT '', channel_id INTEGER, channel_name TEXT NOT NULL DEFAULT '',"
    " custom_message TEXT NOT NULL DEFAULT '', custom_action TEXT NOT NULL DEFAULT '', sent_at_ms INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS email_invites (id INTEGER PRIMARY KEY AUTOINCREMENT, sender_id INTEGER NOT NULL,"
    " email TEXT NOT NULL, channel_id INTEGER, custom_message TEXT NOT NULL DEFAULT '', sent_at_ms INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS images (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL,"
    " file_name TEXT NOT NULL DEFAULT '', mime TEXT NOT NULL, data BLOB NOT NULL, owner_id INTEGER)",
    "CREATE TABLE IF NOT EXISTS short_links (code TEXT PRIMARY KEY, url TEXT NOT NULL,"
    " creator TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS events (id INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER,"
    " received_ms INTEGER NOT NULL, fields TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS issues (id INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER,"
    " received_ms INTEGER NOT NULL, fields TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS realms (rid TEXT PRIMARY KEY, token TEXT NOT NULL, display_name TEXT NOT NULL,"
    " url TEXT NOT NULL DEFAULT '', icon_uri TEXT NOT NULL DEFAULT '', description TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS realm_users (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " rid TEXT NOT NULL REFERENCES realms(rid) ON DELETE CASCADE, uname TEXT NOT NULL COLLATE NOCASE,"
    " sip_uri TEXT NOT NULL DEFAULT '', UNIQUE (rid, uname))",
    "CREATE TABLE IF NOT EXISTS realm_sessions (rsid TEXT PRIMARY KEY,"
    " rid TEXT NOT NULL REFERENCES realms(rid) ON DELETE CASCADE,"
    " realm_user_id INTEGER REFERENCES realm_users(id) ON DELETE CASCADE)",
    "CREATE TABLE IF NOT EXISTS realm_contacts (owner INTEGER NOT NULL REFERENCES realm_users(id) ON DELETE CASCADE,"
    " target INTEGER NOT NULL REFERENCES realm_users(id) ON DELETE CASCADE, list TEXT NOT NULL,"
    " PRIMARY KEY (owner, target, list))",
    "CREATE TABLE IF NOT EXISTS realm_channels (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " rid TEXT NOT NULL REFERENCES realms(rid) ON DELETE CASCADE, name TEXT NOT NULL,"
    " sip_uri TEXT NOT NULL DEFAULT '', vat TEXT NOT NULL DEFAULT '', UNIQUE (rid, name))",
};

// First ids of each kind, so that an account, a channel and a realm user never share a number.
const char *const FirstIds[][2] = {{"accounts", "1000"}, {"channels", "5000"}, {"realm_users", "9000"}};

} // namespace

DevGatewayStore::DevGatewayStore()
    : m_connectionName(QStringLiteral("devgateway-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

DevGatewayStore::~DevGatewayStore()
{
    close();
}

void DevGatewayStore::close()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool DevGatewayStore::open(const QString &path, QString *error)
{
    // The file holds password hashes and sessions: only its owner may read it
    // (SQLite gives its journal files the same mode), and a folder made
    // for it is the owner's alone.
    if (path != QLatin1String(":memory:")) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo::exists(folder)) {
            if (!QDir().mkpath(folder)) {
                *error = QStringLiteral("cannot make the folder %1").arg(folder);
                return false;
            }
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::fchmod(fd, 0600) != 0) {
            if (fd >= 0)
                ::close(fd);
            *error = QStringLiteral("cannot open %1 for its owner only").arg(path);
            return false;
        }
        ::close(fd);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, db.lastError().text());
        return false;
    }
    if (path != QLatin1String(":memory:")
        && value(QStringLiteral("PRAGMA journal_mode=WAL")).toString() != QLatin1String("wal"))
        qWarning() << "devgateway: WAL journal not available for" << path;
    exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    return createSchema(error);
}

bool DevGatewayStore::createSchema(QString *error)
{
    if (!transaction()) {
        *error = QStringLiteral("cannot start the schema transaction");
        return false;
    }
    for (const char *statement : SchemaStatements) {
        if (exec(QString::fromLatin1(statement)) < 0) {
            rollback();
            *error = QStringLiteral("cannot create the schema");
            return false;
        }
    }
    const QVariant stored = value(QStringLiteral("SELECT value FROM meta WHERE key = 'schema_version'"));
    if (stored.isValid() && stored.toInt() > SchemaVersion) {
        rollback();
        *error = QStringLiteral("the database has schema version %1, newer than this gateway's %2")
                     .arg(stored.toInt())
                     .arg(SchemaVersion);
        return false;
    }
    // Version 2 ties each user token to its session; version 3 keeps who
    // stored each picture and short link, for their caps.
    const auto addColumn = [this](const QString &table, const QString &column, const QString &definition) {
        for (const QVariantMap &existing : rows(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            if (existing.value(QStringLiteral("name")).toString() == column)
                return true;
        return exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, column, definition)) >= 0;
    };
    if (!addColumn(QStringLiteral("tokens"), QStringLiteral("sid"), QStringLiteral("TEXT"))
        || !addColumn(QStringLiteral("images"), QStringLiteral("owner_id"), QStringLiteral("INTEGER"))
        || !addColumn(QStringLiteral("short_links"), QStringLiteral("creator"),
                      QStringLiteral("TEXT NOT NULL DEFAULT ''"))) {
        rollback();
        *error = QStringLiteral("cannot upgrade the schema");
        return false;
    }
    // Version 4 keeps session ids and tokens hashed: those kept in clear before go.
    if (stored.isValid() && stored.toInt() < 4
        && (exec(QStringLiteral("DELETE FROM tokens")) < 0 || exec(QStringLiteral("DELETE FROM sessions")) < 0)) {
        rollback();
        *error = QStringLiteral("cannot upgrade the schema");
        return false;
    }
    exec(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES ('schema_version', ?)"), {SchemaVersion});
    for (const auto &first : FirstIds) {
        exec(
            QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?, ? WHERE NOT EXISTS"
                           " (SELECT 1 FROM sqlite_sequence WHERE name = ?)"),
            {QString::fromLatin1(first[0]), QString::fromLatin1(first[1]).toLongLong(), QString::fromLatin1(first[0])});
    }
    return commit();
}

bool DevGatewayStore::seed()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!transaction())
        return false;
    struct SeedAccount {
        const char *email;
        const char *uname;
        const char *name;
    };
    for (const SeedAccount &account :
         {SeedAccount{"alice@example.test", "alice", "Alice"}, SeedAccount{"bob@example.test", "bob", "Bob"}}) {
        if (value(QStringLiteral("SELECT id FROM accounts WHERE email = ?"), {QString::fromLatin1(account.email)})
                .isValid())
            continue;
        const QByteArray salt = newSalt();
        exec(QStringLiteral("INSERT INTO accounts (email, uname, display_name, pw_salt, pw_hash, last_on)"
                            " VALUES (?, ?, ?, ?, ?, ?)"),
             {QString::fromLatin1(account.email), QString::fromLatin1(account.uname), QString::fromLatin1(account.name),
              salt, hashAccountPassword(QByteArrayLiteral("tavri-dev"), salt), now});
    }
    const QVariant alice = value(QStringLiteral("SELECT id FROM accounts WHERE email = 'alice@example.test'"));
    QVariant lobby = value(
        QStringLiteral("SELECT id FROM channels WHERE owner_id = ? AND parent_id IS NULL AND name = 'Lobby'"), {alice});
    if (!lobby.isValid()) {
        qint64 id = 0;
        exec(QStringLiteral("INSERT INTO channels (owner_id, name, motd, last_on) VALUES (?, 'Lobby', 'Welcome', ?)"),
             {alice, now}, &id);
        lobby = id;
    }
    if (!value(QStringLiteral("SELECT id FROM channels WHERE parent_id = ? AND name = 'Games'"), {lobby}).isValid()) {
        exec(QStringLiteral("INSERT INTO channels (owner_id, parent_id, name, last_on) VALUES (?, ?, 'Games', ?)"),
             {alice, lobby, now});
    }
    exec(QStringLiteral("INSERT OR IGNORE INTO realms (rid, token, display_name, url, description)"
                        " VALUES ('devapp', 'devapp-secret', 'Dev App', 'http://127.0.0.1/', 'Development realm')"));
    return commit();
}

namespace {

bool prepareAndRun(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (!query.prepare(sql)) {
        qWarning().noquote() << "devgateway: cannot prepare" << sql << ":" << query.lastError().text();
        return false;
    }
    for (const QVariant &value : values) {
        // A missing text is stored as '' (the text columns are NOT NULL);
        // deliberate NULLs are passed as null values of another type.
        if (value.type() == QVariant::String && value.toString().isNull())
            query.addBindValue(QString(QLatin1String("")));
        else
            query.addBindValue(value);
    }
    if (!query.exec()) {
        qWarning().noquote() << "devgateway: statement failed" << sql << ":" << query.lastError().text();
        return false;
    }
    return true;
}

} // namespace

QList<QVariantMap> DevGatewayStore::rows(const QString &sql, const QVariantList &values) const
{
    QList<QVariantMap> result;
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.setForwardOnly(true);
    if (!prepareAndRun(query, sql, values))
        return result;
    while (query.next()) {
        const QSqlRecord record = query.record();
        QVariantMap map;
        for (int i = 0; i < record.count(); ++i)
            map.insert(record.fieldName(i), record.value(i));
        result.append(map);
    }
    return result;
}

QVariantMap DevGatewayStore::row(const QString &sql, const QVariantList &values) const
{
    const QList<QVariantMap> all = rows(sql, values);
    return all.isEmpty() ? QVariantMap() : all.first();
}

QVariant DevGatewayStore::value(const QString &sql, const QVariantList &values) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.setForwardOnly(true);
    if (!prepareAndRun(query, sql, values) || !query.next())
        return QVariant();
    return query.value(0);
}

int DevGatewayStore::exec(const QString &sql, const QVariantList &values, qint64 *insertedId) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!prepareAndRun(query, sql, values))
        return -1;
    if (insertedId)
        *insertedId = query.lastInsertId().toLongLong();
    return query.numRowsAffected();
}

bool DevGatewayStore::transaction() const
{
    return QSqlDatabase::database(m_connectionName).transaction();
}

bool DevGatewayStore::commit() const
{
    return QSqlDatabase::database(m_connectionName).commit();
}

void DevGatewayStore::rollback() const
{
    QSqlDatabase::database(m_connectionName).rollback();
}

QByteArray DevGatewayStore::newSalt()
{
    QByteArray salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), salt.size() / 4);
    return salt;
}

void DevGatewayStore::setPasswordRounds(int rounds)
{
    passwordRounds = rounds > 0 ? rounds : DefaultPasswordRounds;
}

int DevGatewayStore::currentPasswordRounds()
{
    return passwordRounds;
}

QByteArray DevGatewayStore::hashPassword(const QByteArray &password, const QByteArray &salt)
{
    const int rounds = passwordRounds;
    return HashPrefix + QByteArray::number(rounds) + '$' + pbkdf2(password, salt, rounds);
}

bool DevGatewayStore::needsRehash(const QByteArray &stored)
{
    QByteArray key;
    return storedRounds(stored, &key) < passwordRounds;
}

bool DevGatewayStore::checkPassword(const QByteArray &password, const QByteArray &salt, const QByteArray &hash)
{
    QByteArray key;
    const int rounds = storedRounds(hash, &key);
    if (salt.isEmpty() || rounds <= 0) {
        // As long as a real check, so that the time taken does not tell
        // whether there was anything to check.
        pbkdf2(password, QByteArrayLiteral("no account here"), passwordRounds);
        return false;
    }
    const QByteArray candidate = pbkdf2(password, salt, rounds);
    if (candidate.size() != key.size())
        return false;
    // Compares every byte, so the time taken does not tell how much matched.
    unsigned char difference = 0;
    for (int i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(candidate.at(i) ^ key.at(i));
    return difference == 0;
}

QByteArray DevGatewayStore::clientDigest(const QByteArray &password)
{
    return QCryptographicHash::hash(password, QCryptographicHash::Md5).toHex();
}

QByteArray DevGatewayStore::hashAccountPassword(const QByteArray &password, const QByteArray &salt)
{
    return hashPassword(clientDigest(password), salt);
}

bool DevGatewayStore::checkAccountPassword(const QByteArray &sent, const QByteArray &salt, const QByteArray &hash,
                                           QByteArray *matched)
{
    if (checkPassword(sent, salt, hash)) {
        if (matched)
            *matched = sent;
        return true;
    }
    const QByteArray digest = clientDigest(sent);
    if (!checkPassword(digest, salt, hash))
        return false;
    if (matched)
        *matched = digest;
    return true;
}

QString DevGatewayStore::keyOf(const QString &secret)
{
    return QString::fromLatin1(QCryptographicHash::hash(secret.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString DevGatewayStore::randomHex(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(data.toHex());
}
