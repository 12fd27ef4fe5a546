#pragma once

// DevGatewayStore: the dev gateway's SQLite store.
//
// Session ids and voice tokens are kept hashed (keyOf). Owns one database connection (WAL journal, foreign keys on,
// schema version in `meta`) and gives the dispatcher small helpers that bind every value. Used only from the thread
// that opened it. Ids start at 1001 for accounts, 5001 for channels and 9001 for realm users, so that they never look
// alike in logs.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class DevGatewayStore
{
public:
    DevGatewayStore();
    ~DevGatewayStore();
    DevGatewayStore(const DevGatewayStore &) = delete;
    DevGatewayStore &operator=(const DevGatewayStore &) = delete;

    // Opens (and creates or upgrades) the database at path; ":memory:" keeps it in memory.
    // A file is created for its owner only (0600), and a folder made for it 0700.
    bool open(const QString &path, QString *error);
    void close();
    // Adds the development accounts, channels and realm; does nothing for rows already there.
    bool seed();

    // Every statement binds its values; failures are logged with the driver's error.
    QList<QVariantMap> rows(const QString &sql, const QVariantList &values = {}) const;
    QVariantMap row(const QString &sql, const QVariantList &values = {}) const; // empty when none
    QVariant value(const QString &sql, const QVariantList &values = {}) const;  // first column of the first row
    // Runs an INSERT, UPDATE or DELETE; returns the rows affected, or -1 on failure.
    int exec(const QString &sql, const QVariantList &values = {}, qint64 *insertedId = nullptr) const;
    bool transaction() const;
    bool commit() const;
    void rollback() const;

    static QByteArray newSalt();
    // Passwords are hashed with salted PBKDF2-SHA256; the round count is
    // stored with each hash, so that older hashes still check and can be
    // made again at the current count (needsRehash) when the password is
    // next given. The count is the process's, set once at start.
    static constexpr int DefaultPasswordRounds = 600000;
    static void setPasswordRounds(int rounds);
    static int currentPasswordRounds();
    // Over the password's bytes as sent (UTF-8 for text passwords).
    static QByteArray hashPassword(const QByteArray &password, const QByteArray &salt);
    // Takes as long with no stored hash (empty salt or hash) as with one.
    static bool checkPassword(const QByteArray &password, const QByteArray &salt, const QByteArray &hash);
    static bool needsRehash(const QByteArray &hash);
    // Account passwords: the client signs in with the MD5 of the password in
    // lower-case hex, but creates the account with the password itself. The
    // store keeps the hash of that digest, and a sign-in matches with either
    // the digest or the password (so direct calls and older stores work).
    static QByteArray clientDigest(const QByteArray &password);
    static QByteArray hashAccountPassword(const QByteArray &password, const QByteArray &salt);
    // matched, when given, receives what the stored hash is over, for hashing it again.
    static bool checkAccountPassword(const QByteArray &sent, const QByteArray &salt, const QByteArray &hash,
                                     QByteArray *matched = nullptr);
    static QString randomHex(int bytes);
    // What the store keeps of a session id or token: its SHA-256 in hex, so
    // that the file gives no live credential away.
    static QString keyOf(const QString &secret);

private:
    bool createSchema(QString *error);

    QString m_connectionName;
};
