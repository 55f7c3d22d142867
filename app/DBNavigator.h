#pragma once

// DBNavigator: the navigator bar of a master data page, bound to a TableModel. Ten buttons,
// left to right: first, previous, next, last record, insert, delete, edit, post, cancel,
// refresh. All are disabled while the table is closed. Delete asks "Da li ste sigurni?" and
// removes the record only on Yes. An engine error is shown by whoever listens to the model's
// errorOccurred(); the bar itself only asks the question.

#include <QPointer>
#include <QWidget>

#include <array>

class QToolButton;
class TableModel;

namespace platform {
class Dialogs;
}

class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;

    explicit DBNavigator(platform::Dialogs &dialogs, QWidget *parent = nullptr);

    void setDataSource(TableModel *source);
    TableModel *dataSource() const { return m_source; }
    // The button's widget; its objectName is "nbFirst", "nbPrior", ... "nbRefresh".
    QToolButton *button(Button which) const { return m_buttons[which]; }

    // What pressing the button does.
    void buttonClick(Button which);

private:
    void updateButtons();

    platform::Dialogs &m_dialogs;
    QPointer<TableModel> m_source;
    std::array<QToolButton *, ButtonCount> m_buttons{};
};
