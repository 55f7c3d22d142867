#pragma once

// DBGrid: a table view bound to a TableModel, the grid of a master data page.
//
// The grid and the table move together: the grid follows the table's current record
// wherever the table is moved from, and choosing another row in the grid moves the table
// there, which stores (or drops, when unchanged) the record being edited. When the engine
// refuses a value or a record, the grid stays on the row being edited. Leaving the page
// (the grid being hidden, also when the window closes) stores a changed record like moving
// to another row, so that no other page's work stores or loses it behind the user's back; a
// record still unposted when its table is closed is discarded (see TableModel).

#include <QPointer>
#include <QTableView>

class TableModel;
class QStyledItemDelegate;

class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    void setDataSource(TableModel *source);
    TableModel *dataSource() const { return m_source; }
    // A read-only grid opens no cell editors.
    void setReadOnly(bool readOnly);
    // The cells of the column headed `field` (a login code) are shown masked, a star for each
    // character, except in the cell being edited; empty: none.
    void setMaskedField(const QString &field);
    // The text a cell shows (masked or not).
    QString shownText(const QModelIndex &index) const;

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Puts the grid's current cell on the table's current record.
    void followTable();
    // Writes an open cell editor into the record (commit) or closes it unwritten.
    void finishEditor(bool commit);

    QPointer<TableModel> m_source;
    class EditorTracker;
    EditorTracker *m_tracker;
    bool m_following = false;
    int m_lastFollowedRow = -1;
};
