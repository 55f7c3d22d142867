#pragma once

// MasterDataPage: one page of a table edited (or, for the journal, shown) in a grid with a
// navigator bar: the users (page 1), frequent activities (page 2), groups (page 8), and the
// grid part of the journal view (page 6, read-only, see JournalViewPage).
//
// The page's table is opened only by its "OTVORI TABELU" and stays open until its
// "ZATVORI TABELU" or anything else that closes the engine session; the grid and navigator
// follow the table through its data link, so a table closed elsewhere leaves an empty grid
// and a disabled navigator. A record being edited when its table closes is discarded, as
// there is no open table left to store it in; leaving the page stores it (see DBGrid).

#include <QObject>

#include <functional>

struct PageContext;
class QPushButton;
class QWidget;
class TableModel;
class DBGrid;
class DBNavigator;

namespace engine {
class Table;
}

class MasterDataPage : public QObject
{
public:
    // The page's names as the program names them (also the controls' objectNames).
    struct Names
    {
        int index;
        const char *menuButton;
        const char *grid;
        const char *navigator;
        const char *openButton;
        const char *closeButton;
        bool readOnly;
    };
    // Builds the page's controls on `page` (made by TForm1 with its heading and menu button);
    // `beforeGrid` adds a page's own controls before the grid is made.
    MasterDataPage(PageContext &context, QWidget *page, engine::Table &table, const Names &names,
                   const std::function<void(QWidget *)> &beforeGrid = {});

    // "OTVORI TABELU": opens the table after handing the password; an open table stays as it
    // is, on its current record.
    void openTable();
    // "ZATVORI TABELU": closes the table, then the session.
    void closeTable();

    // The users' page only: the users' rule on every stored record, the audit log of every
    // change to the list, and a refused user dropped when the page is left.
    void guardUsers();

    TableModel *source() const { return m_source; }
    DBGrid *grid() const { return m_grid; }

private:
    PageContext &ctx;
    engine::Table &m_table;
    int m_index;
    TableModel *m_source = nullptr;
    DBGrid *m_grid = nullptr;
    DBNavigator *m_navigator = nullptr;
};
