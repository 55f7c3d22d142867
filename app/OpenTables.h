#pragma once

// OpenTables: the hand-password / open / close pattern of the windows' handlers as one scope.
// The constructor hands the table password (the desk's, desk/DeskTables.h, its one home) to
// the session and opens the tables in order; when
// the scope ends, normally or because an engine error leaves the handler, the session is
// closed, which closes every table and query it opened (also those of the other window, as
// closing the session always does). A table opened before a later one fails is closed too.

#include "desk/DeskTables.h"

#include "engine/Session.h"
#include "engine/Table.h"

#include <initializer_list>

class OpenTables
{
public:
    explicit OpenTables(engine::Session &session,
                        std::initializer_list<engine::Table *> tables = {})
        : m_session(session)
    {
        m_session.setPassword(desk::tablePassword());
        try {
            for (engine::Table *table : tables)
                table->open();
        } catch (...) {
            m_session.close(); // the destructor does not run when the constructor throws
            throw;
        }
    }
    ~OpenTables() { m_session.close(); }
    OpenTables(const OpenTables &) = delete;
    OpenTables &operator=(const OpenTables &) = delete;

private:
    engine::Session &m_session;
};
