// DBGrid: the grid of a master data page, kept on the same record as its table. The view's
// current row and the table's current record are synchronised in both directions; a guard
// keeps the grid's own following of the table from moving the table again.
#include "DBGrid.h"

#include "TableModel.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QStyledItemDelegate>

#include <algorithm>

// The item delegate of the grid, remembering the cell editor it opened last so that the
// grid can write or drop what is typed there when the record is stored or dropped.
class DBGrid::EditorTracker : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        openEditor = editor;
        return editor;
    }

    // A cell of the masked field shows a star for each character, as the login box does;
    // its editor shows the value itself.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!maskedField.isEmpty()
            && index.model()->headerData(index.column(), Qt::Horizontal).toString().compare(
                   maskedField, Qt::CaseInsensitive) == 0)
            option->text = QString(option->text.size(), QLatin1Char('*'));
    }
    QString shownText(const QModelIndex &index) const
    {
        QStyleOptionViewItem option;
        initStyleOption(&option, index);
        return option.text;
    }

    mutable QPointer<QWidget> openEditor;
    QString maskedField;
};

void DBGrid::setMaskedField(const QString &field)
{
    m_tracker->maskedField = field;
    viewport()->update();
}

QString DBGrid::shownText(const QModelIndex &index) const
{
    return m_tracker->shownText(index);
}

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_tracker(new EditorTracker(this))
{
    setItemDelegate(m_tracker);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    horizontalHeader()->setDefaultSectionSize(150);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setMinimumWidth(18);
}

void DBGrid::setDataSource(TableModel *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    setModel(source);
    if (!source)
        return;
    connect(source, &TableModel::currentRowChanged, this, &DBGrid::followTable);
    connect(source, &TableModel::commitRequested, this, [this] { finishEditor(true); });
    connect(source, &TableModel::revertRequested, this, [this] { finishEditor(false); });
    followTable();
}

void DBGrid::setReadOnly(bool readOnly)
{
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked |
                                   QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed |
                                   QAbstractItemView::SelectedClicked);
}

void DBGrid::followTable()
{
    if (!m_source || !isVisible())
        return; // a hidden grid catches up when it is shown
    const int row = m_source->currentRow();
    m_following = true;
    if (row < 0 || m_source->columnCount() == 0) {
        selectionModel()->clearCurrentIndex();
    } else {
        const QModelIndex current = currentIndex();
        const int column = current.isValid() ? current.column() : 0;
        const QModelIndex target = m_source->index(row, std::min(column, m_source->columnCount() - 1));
        if (target != current)
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        // A new record is typed into the grid at once.
        if (m_source->isInserting() && row != m_lastFollowedRow)
            setFocus(Qt::OtherFocusReason);
    }
    m_lastFollowedRow = row;
    m_following = false;
}

void DBGrid::finishEditor(bool commit)
{
    QWidget *editor = m_tracker->openEditor;
    if (!editor || !editor->isVisible())
        return;
    m_tracker->openEditor = nullptr;
    if (commit)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    const int refusedBefore = m_source ? m_source->refusedChanges() : 0;
    QTableView::currentChanged(current, previous); // writes an open editor into the record
    if (m_following || !m_source || !current.isValid() || current.row() == m_source->currentRow())
        return;
    // A value the engine refused keeps the grid on the row being edited; otherwise the table
    // moves along, and when it cannot (a record that cannot be stored) the grid goes back.
    if (m_source->refusedChanges() == refusedBefore)
        m_source->moveToRow(current.row());
    followTable();
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    // Escape outside a cell editor drops the record being inserted or edited.
    if (event->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState && m_source &&
        m_source->isEditing()) {
        m_source->cancel();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    followTable();
}

void DBGrid::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous() && m_source) {
        finishEditor(true);
        m_source->leaveRecord();
    }
    QTableView::hideEvent(event);
}
