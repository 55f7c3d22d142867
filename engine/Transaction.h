#pragma once

// Transaction: one transaction of a table (or of a store inside the engine) for the length of
// a scope. The constructor begins it, commit() ends it, and leaving the scope any other way (an
// exception, an early return) rolls it back, discarding a record still being inserted or
// edited. The destructor never throws: a roll-back that fails is dropped, since the
// transaction ends with the connection or the file's lock either way and nothing of it is kept.
//
//     engine::Transaction transaction(journal); // the write lock from here on
//     journal.insert();
//     ...
//     journal.post();
//     transaction.commit();                     // throws EngineError when it cannot commit
//
// A commit that throws has ended the transaction already (the stores end it whatever the
// outcome); the roll-back that follows it changes nothing. One guard per transaction: a table
// takes one transaction at a time, and begins none while another is open ("Table <path> is
// already in a transaction").

#include <QUuid>

namespace engine {

class Table;

// What runs one transaction at a time: the stores under the tables, the server connection.
class Transactional
{
public:
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollbackQuietly() noexcept = 0;

protected:
    ~Transactional() = default;
};

class Transaction
{
public:
    // Begins a transaction of `table` (Table::startTransaction): it holds the write lock.
    explicit Transaction(Table &table);
    // Begins the posting that carries `key` (Table::startPosting). When the posting with this
    // key is stored already, no transaction is open and begun() is false.
    Transaction(Table &table, const QUuid &key);
    // The same on a store or connection of the engine.
    explicit Transaction(Transactional &store);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // False only for a posting whose key is stored already.
    bool begun() const { return m_open; }
    // Commits (a record being inserted or edited is posted first); the guard then has nothing
    // left to roll back.
    void commit();

private:
    Table *m_table = nullptr;
    Transactional *m_store = nullptr;
    bool m_open = false;
};

} // namespace engine
