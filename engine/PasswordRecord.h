#pragma once

// The password record of a table file: a random salt and a salted, iterated SHA-256 hash of
// the table password. The password itself is never stored. Checking costs some tens of
// microseconds. Internal to the engine.

#include <QByteArray>
#include <QString>

namespace engine {

class PasswordRecord
{
public:
    PasswordRecord() = default;
    PasswordRecord(QByteArray salt, QByteArray hash);

    static PasswordRecord create(const QString &password);

    const QByteArray &salt() const { return m_salt; }
    const QByteArray &hash() const { return m_hash; }
    bool matches(const QString &password) const;

private:
    static QByteArray hashOf(const QByteArray &salt, const QString &password);
    QByteArray m_salt;
    QByteArray m_hash;
};

} // namespace engine
