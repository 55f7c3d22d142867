#pragma once

// The one error type of the table engine. Every failure of the engine (a missing table, a wrong
// password, an unknown field, a text that is not a valid amount or date, a statement outside the
// SQL dialect) throws an EngineError whose message is the engine's own English text, naming the
// table or field concerned, ready to be shown to the user as it is. Its kind says what went
// wrong for code that acts on it; callers match on the kind, never on the text.

#include <QByteArray>
#include <QString>

#include <exception>

namespace engine {

class EngineError : public std::exception
{
public:
    enum class Kind {
        Failed,        // any other failure of the store (a write, a read, a transaction)
        NotFound,      // "Table does not exist: <path>"
        AlreadyExists, // "Table already exists: <path>"
        Busy,          // another desk holds the table's write lock
        Unavailable,   // the database server cannot be reached or the connection broke
        OutcomeUnknown, // a commit whose answer was lost and could not be asked after: the
                        // change may or may not be stored
        Syntax,        // a statement outside the SQL dialect
        Damaged,       // a table file that is not one, or fails the integrity check
        WrongPassword, // "Invalid password for table <path>"
        Layout,        // a table of another layout than the one asked for
        Value,         // an unknown field, a text that is not an amount or a date, a sum too large
        Usage,         // a table or query used in a state that does not allow it
        // Kinds of the layers above the engine (desk/), which throw the same type:
        Refused,       // a rule of the cash book refuses the change (a closed day, a reversed
                       // document, a wrong administrator code): shown as a refusal, never retried
        Crypto,        // the cryptographic library failed (a key, a seal, a signature)
        File,          // a file beside the tables could not be read, written or renamed
    };

    explicit EngineError(QString message) : EngineError(Kind::Failed, std::move(message)) {}
    EngineError(Kind kind, QString message);

    Kind kind() const noexcept { return m_kind; }
    // The engine's text, e.g. "Table does not exist: podaci/promet.db".
    const QString &message() const noexcept { return m_message; }
    // The same text in UTF-8.
    const char *what() const noexcept override;

private:
    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};

} // namespace engine
