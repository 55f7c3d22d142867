// Transaction: the scope of one transaction of a table or store.

#include "engine/Transaction.h"

#include "engine/Table.h"

namespace engine {

Transaction::Transaction(Table &table) : m_table(&table)
{
    table.startTransaction();
    m_open = true;
}

Transaction::Transaction(Table &table, const QUuid &key) : m_table(&table)
{
    m_open = table.startPosting(key);
}

Transaction::Transaction(Transactional &store) : m_store(&store)
{
    store.begin();
    m_open = true;
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    if (m_store) {
        m_store->rollbackQuietly();
        return;
    }
    try {
        // A commit that failed has ended the table's transaction: the record it would have
        // posted is dropped here all the same.
        m_table->cancel();
        m_table->rollback();
    } catch (...) {
    }
}

void Transaction::commit()
{
    if (!m_open)
        return;
    if (m_store)
        m_store->commit();
    else
        m_table->commit();
    m_open = false;
}

} // namespace engine
