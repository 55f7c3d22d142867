#pragma once

// TableModel: the data link between one engine table and its grid and navigator bar.
//
// While the table is open the model shows every field of the table as a column titled with
// the field's name, in table order, and every record as a row in the table's own order; a
// record being inserted is shown as an extra last row (the engine appends it when posted).
// While the table is closed the model is empty. The model follows the table wherever it is
// opened, moved, changed or closed from (also by closing the engine session anywhere in the
// program), so the grid never shows a stale record.
//
// Rows are record positions; a change always goes to the record the table stands on, which
// the engine stores by its record id, so two records with identical fields stay two and
// changing one never touches the other.
//
// Changes: setData() on a row starts editing that record (moving the table there first) and
// sets the field through the engine, which refuses values that are not valid for the field.
// A changed or inserted record is stored by post() or when the table moves to another row
// (leaveRecord()); a record that was started but not changed is dropped instead. A record
// that is still unposted when its table closes is discarded: the engine drops it on close,
// and nothing of it is stored.
//
// Every engine error is reported through errorOccurred() with the engine's own text, and the
// operation that failed returns false leaving the table where it was.

#include "LeadColumn.h"
#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <functional>

namespace engine {
class Table;
}

class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableModel(engine::Table &table, QObject *parent = nullptr);

    engine::Table &table() const { return m_table; }
    // A read-only model offers no editable cells and refuses every change.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }
    // The rule a record must keep: called with the table on the record about to be stored
    // (deleting false; in its insert or edit state) or deleted (true). A non-empty answer
    // refuses the change, is reported through errorOccurred(), and leaves the record as it
    // was, still being edited.
    using RecordRule = std::function<QString(engine::Table &table, bool deleting)>;
    void setRecordRule(RecordRule rule) { m_rule = std::move(rule); }
    // The rule's answer for deleting the current record (reported when not empty); the
    // navigator asks it before its question.
    bool mayDelete();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // A read-only column before the table's own, titled `title`, whose cells are read beside
    // the table by the records' ids, only for the rows a view shows (LeadColumn.h); read
    // again when the table is opened or its number of records changes. A marked cell's whole
    // row is shown grey.
    void setLeadColumn(const QString &title, LeadColumn::Load load);

    // Whether the model follows its table (the default). A model whose views are out of sight
    // stops following: it shows no table and reads nothing, so the handlers that open, post to
    // and close a long table in a hidden page pay nothing for the model; following again
    // brings it in line with the table.
    void setFollowing(bool following);
    bool isFollowing() const { return m_following; }

    // Whether the table is open (and followed).
    bool isActive() const { return m_active; }
    // The row of the table's current record (the extra last row while inserting); -1 when the
    // table is closed or empty.
    int currentRow() const { return m_currentRow; }
    // Whether a record is being inserted or edited, and whether any of its fields was set.
    bool isEditing() const;
    bool isInserting() const;
    bool isModified() const { return m_modified; }
    // Counts the changes the engine refused; a grid compares it before and after committing
    // a cell to know that it must stay on the row.
    int refusedChanges() const { return m_refusedChanges; }

    // Moves the table to the record in `row`, storing (or dropping, when unchanged) the
    // record being edited first.
    bool moveToRow(int row);
    bool first();
    bool prior();
    bool next();
    bool last();
    // Starts a new record, shown as the extra last row.
    bool insertRecord();
    // Deletes the current record (a record being inserted is only dropped). The caller asks
    // the user first.
    bool deleteRecord();
    // Starts editing the current record.
    bool editRecord();
    // Stores the record being inserted or edited.
    bool post();
    // Drops the record being inserted or edited.
    bool cancel();
    // Stores or drops the record being edited, then re-reads the table.
    bool refresh();
    // Stores the record being edited when it was changed, drops it when it was not. Succeeds
    // at once when nothing is being edited or the table is closed.
    bool leaveRecord();

signals:
    // The table's current record moved to `row` (-1: none).
    void currentRowChanged(int row);
    // The table was opened (true) or closed (false).
    void activeChanged(bool active);
    // An engine error, with the engine's own text.
    void errorOccurred(const QString &message);
    // Emitted before the record is moved from, stored, re-read or started anew: views write
    // what is typed into an open cell editor into the record first.
    void commitRequested();
    // Emitted before the record being edited is dropped or deleted: views close an open cell
    // editor without writing it.
    void revertRequested();

private:
    // Brings the model's shape, contents and current row in line with the table.
    void follow();
    void followTable();
    LeadColumn::Cell leadCell(int row) const;
    // 1 while the lead column is shown, else 0: the table's field f is column f + lead().
    int lead() const { return m_lead.isSet() && !m_columns.isEmpty() ? 1 : 0; }
    // Runs an engine operation; an engine error is reported and gives false.
    template <typename F> bool run(F &&operation);
    bool keepsRule(bool deleting);

    engine::Table &m_table;
    bool m_readOnly = false;
    RecordRule m_rule;
    bool m_following = true;
    bool m_active = false;
    int m_rows = 0;
    QStringList m_columns;
    int m_currentRow = -1;
    bool m_modified = false;
    int m_refusedChanges = 0;
    // The fields of the record the table stood on when an insert began. While inserting, the
    // engine reads its current position from the new record's buffer, so the stored record
    // there is shown from this copy.
    int m_insertFromRow = -1;
    QStringList m_insertFromValues;
    LeadColumn m_lead;
};
