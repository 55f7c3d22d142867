// TableModel: the grid's view of one engine table. The model keeps the shape it last told
// its views (rows, columns) and compares it with the table after every signal of the table:
// a different shape resets the model, the same shape refreshes the contents. So the views
// never ask for a row or column that the table no longer has, whoever changed or closed it.
#include "TableModel.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QColor>

namespace {

const QString CurrentMark = QString(QChar(0x25B6)); // the row the table stands on
const QString InsertMark = QStringLiteral("*");     // the row being inserted
const QString EditMark = QStringLiteral("I");       // the row being edited

} // namespace

TableModel::TableModel(engine::Table &table, QObject *parent)
    : QAbstractTableModel(parent), m_table(table)
{
    connect(&m_table, &engine::Table::opened, this, &TableModel::follow);
    connect(&m_table, &engine::Table::closed, this, &TableModel::follow);
    connect(&m_table, &engine::Table::changed, this, &TableModel::follow);
    connect(&m_table, &engine::Table::currentChanged, this, &TableModel::follow);
    follow();
}

template <typename F> bool TableModel::run(F &&operation)
{
    try {
        operation();
        return true;
    } catch (const engine::EngineError &e) {
        emit errorOccurred(e.message());
        return false;
    }
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size()) + lead();
}

void TableModel::setLeadColumn(const QString &title, LeadColumn::Load load)
{
    beginResetModel();
    m_lead.set(title, std::move(load));
    endResetModel();
}

LeadColumn::Cell TableModel::leadCell(int row) const
{
    if (!m_active || !m_table.isOpen())
        return {};
    try {
        return m_lead.cell(row, m_table.recordCount(),
                           [this](int r) { return m_table.recordIdAt(r); });
    } catch (const engine::EngineError &) {
        return {}; // a journal the file cannot give any more shows no numbers
    }
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (lead() && index.column() == 0) {
        const LeadColumn::Cell cell = leadCell(index.row());
        if (role == Qt::DisplayRole)
            return cell.text;
        if (role == Qt::ForegroundRole && cell.marked)
            return QColor(Qt::gray);
        return {};
    }
    if (role == Qt::ForegroundRole && lead() && leadCell(index.row()).marked)
        return QColor(Qt::gray);
    const QModelIndex field = lead() ? this->index(index.row(), index.column() - lead()) : index;
    if (role == Qt::TextAlignmentRole && m_table.isOpen() && field.column() < m_columns.size()) {
        try {
            if (m_table.fieldType(m_columns.at(field.column())) == engine::FieldType::Money)
                return int(Qt::AlignRight | Qt::AlignVCenter); // amounts stand right-aligned
        } catch (const engine::EngineError &) {
        }
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const int row = field.row();
    const int column = field.column();
    if (!m_table.isOpen() || row >= m_rows || column >= m_columns.size())
        return {};
    try {
        if (m_table.state() == engine::Table::State::Insert) {
            if (row == m_table.recordCount())
                return m_table.fieldText(column);
            if (row == m_insertFromRow && row == m_table.recNo())
                return m_insertFromValues.value(column);
        }
        return m_table.textAt(row, column);
    } catch (const engine::EngineError &) {
        return {}; // a record the file cannot give any more is shown empty
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return lead() && section == 0 ? m_lead.title() : m_columns.value(section - lead());
    if (section != m_currentRow)
        return QString();
    switch (m_table.state()) {
    case engine::Table::State::Insert:
        return InsertMark;
    case engine::Table::State::Edit:
        return EditMark;
    default:
        return CurrentMark;
    }
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (!m_readOnly && index.column() >= lead())
        f |= Qt::ItemIsEditable;
    return f;
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || m_readOnly || !index.isValid() || !m_table.isOpen())
        return false;
    const int row = index.row();
    const int column = index.column() - lead();
    if (row >= m_rows || column < 0 || column >= m_columns.size())
        return false;
    if (row != m_currentRow && !moveToRow(row))
        return false;
    const QString text = value.toString();
    // Opening a cell and leaving it unchanged does not start editing the record.
    if (!isEditing() && text == data(index, Qt::EditRole).toString())
        return true;
    const QString field = m_columns.at(column);
    const bool ok = run([&] {
        if (!isEditing())
            m_table.edit();
        m_table.setFieldText(field, text);
    });
    if (!ok) {
        ++m_refusedChanges;
        return false;
    }
    m_modified = true;
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
    return true;
}

bool TableModel::isEditing() const
{
    const engine::Table::State state = m_table.state();
    return state == engine::Table::State::Insert || state == engine::Table::State::Edit;
}

bool TableModel::isInserting() const
{
    return m_table.state() == engine::Table::State::Insert;
}

void TableModel::follow()
{
    if (!m_following && !m_active)
        return; // out of sight and already shown closed: nothing to read
    // Runs from the table's signals, also from a queued one straight in the event loop: an
    // engine error is reported, never thrown out of a Qt callback.
    run([this] { followTable(); });
}

void TableModel::setFollowing(bool following)
{
    if (following == m_following)
        return;
    m_following = following;
    follow();
}

void TableModel::followTable()
{
    const bool active = m_following && m_table.isOpen();
    const engine::Table::State state = m_table.state();
    const bool inserting = state == engine::Table::State::Insert;
    if (state != engine::Table::State::Insert && state != engine::Table::State::Edit)
        m_modified = false; // stored, dropped or closed
    if (!inserting)
        m_insertFromRow = -1;

    const int rows = active ? m_table.recordCount() + (inserting ? 1 : 0) : 0;
    const QStringList columns = active ? m_table.fieldNames() : QStringList();
    const bool activeChanged = active != m_active;
    const bool reshaped = activeChanged || rows != m_rows || columns != m_columns;
    if (reshaped) {
        beginResetModel();
        m_active = active;
        m_rows = rows;
        m_columns = columns;
        m_lead.forget();
        endResetModel();
    } else if (rows > 0 && !columns.isEmpty()) {
        // The record under the cursor may have been stored or re-read: views repaint. (One
        // range, so that a walk over a long table costs the views nothing per step.)
        emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
    }

    const int current = !active ? -1 : inserting ? m_table.recordCount() : m_table.recNo();
    const int previous = m_currentRow;
    m_currentRow = current;
    if (!reshaped) {
        // Only the rows that gain or lose the current-record mark.
        if (previous >= 0 && previous < rows && previous != current)
            emit headerDataChanged(Qt::Vertical, previous, previous);
        if (current >= 0)
            emit headerDataChanged(Qt::Vertical, current, current);
    }
    if (reshaped || current != previous)
        emit currentRowChanged(current);
    if (activeChanged)
        emit this->activeChanged(active);
}

bool TableModel::leaveRecord()
{
    if (!m_table.isOpen())
        return true;
    emit commitRequested();
    if (!isEditing())
        return true;
    return m_modified ? post() : cancel();
}

bool TableModel::moveToRow(int row)
{
    if (!m_table.isOpen())
        return false;
    if (row == m_currentRow)
        return true;
    if (!leaveRecord())
        return false;
    // Storing or dropping a record leaves the positions of all other records as they were
    // (a new record is appended), so `row` still names the record the caller meant.
    if (row < 0 || row >= m_table.recordCount())
        return row == m_currentRow;
    return run([&] { m_table.moveTo(row); });
}

bool TableModel::first()
{
    return m_table.isOpen() && leaveRecord() && run([&] { m_table.first(); });
}

bool TableModel::prior()
{
    return m_table.isOpen() && leaveRecord() && run([&] { m_table.prior(); });
}

bool TableModel::next()
{
    return m_table.isOpen() && leaveRecord() && run([&] { m_table.next(); });
}

bool TableModel::last()
{
    return m_table.isOpen() && leaveRecord() && run([&] { m_table.last(); });
}

bool TableModel::insertRecord()
{
    if (m_readOnly || !m_table.isOpen() || !leaveRecord())
        return false;
    const int from = m_table.recNo();
    QStringList values;
    if (from >= 0) {
        for (int c = 0; c < m_columns.size(); ++c)
            values.append(data(index(from, c + lead()), Qt::EditRole).toString());
    }
    m_insertFromRow = from;
    m_insertFromValues = values;
    if (!run([&] { m_table.insert(); })) {
        m_insertFromRow = -1;
        return false;
    }
    return true;
}

bool TableModel::keepsRule(bool deleting)
{
    if (!m_rule)
        return true;
    QString refusal;
    if (!run([&] { refusal = m_rule(m_table, deleting); }))
        return false;
    if (refusal.isEmpty())
        return true;
    emit errorOccurred(refusal);
    return false;
}

bool TableModel::mayDelete()
{
    return isInserting() || !m_table.isOpen() || keepsRule(true);
}

bool TableModel::deleteRecord()
{
    if (m_readOnly || !m_table.isOpen())
        return false;
    if (!isEditing() && m_table.recordCount() == 0)
        return true; // nothing to delete
    if (!isInserting() && !keepsRule(true))
        return false;
    emit revertRequested();
    return run([&] { m_table.deleteRecord(); });
}

bool TableModel::editRecord()
{
    if (m_readOnly || !m_table.isOpen())
        return false;
    emit commitRequested();
    if (isEditing())
        return true;
    // Editing an empty table starts a new record, as there is none to change.
    if (m_table.recordCount() == 0)
        return insertRecord();
    if (!run([&] { m_table.edit(); }))
        return false;
    if (m_currentRow >= 0)
        emit headerDataChanged(Qt::Vertical, m_currentRow, m_currentRow);
    return true;
}

bool TableModel::post()
{
    if (!m_table.isOpen())
        return false;
    emit commitRequested();
    if (!isEditing())
        return true;
    if (!keepsRule(false))
        return false;
    return run([&] { m_table.post(); });
}

bool TableModel::cancel()
{
    if (!m_table.isOpen())
        return false;
    if (!isEditing())
        return true;
    emit revertRequested();
    return run([&] { m_table.cancel(); });
}

bool TableModel::refresh()
{
    return m_table.isOpen() && leaveRecord() && run([&] { m_table.refresh(); });
}
