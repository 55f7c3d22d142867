#pragma once

// The one error type of the table engine. Every failure of the engine (a missing table, a wrong
// password, an unknown field, a text that is not a valid amount or date, a statement outside the
// SQL dialect) throws an EngineError whose message is the engine's own English text, naming the
// table or field concerned, ready to be shown to the user as it is.

#include <QByteArray>
#include <QString>

#include <exception>

namespace engine {

class EngineError : public std::exception
{
public:
    // What kind of failure it is, where a caller acts on it rather than only showing it.
    enum class Kind {
        General,
        // A commit whose answer was lost and whose outcome could not be found out: the change
        // may or may not be stored.
        OutcomeUnknown,
    };

    explicit EngineError(QString message);
    EngineError(Kind kind, QString message);

    Kind kind() const noexcept { return m_kind; }

    // The engine's text, e.g. "Table does not exist: podaci/promet.db".
    const QString &message() const noexcept { return m_message; }
    // The same text in UTF-8.
    const char *what() const noexcept override;

private:
    Kind m_kind = Kind::General;
    QString m_message;
    QByteArray m_utf8;
};

} // namespace engine
