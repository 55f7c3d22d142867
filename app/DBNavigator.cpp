// DBNavigator: ten buttons acting on the record of a TableModel. The bar follows the model's
// open/closed state, so it is disabled whenever the table is closed, whoever closed it.
#include "DBNavigator.h"

#include "TableModel.h"

#include "platform/Dialogs.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {

struct ButtonInfo
{
    const char *name;
    const char16_t *glyph;
    const char *hint;
};

const ButtonInfo Buttons[DBNavigator::ButtonCount] = {
    {"nbFirst", u"|\u25C0", "Prvi zapis"},
    {"nbPrior", u"\u25C0", "Prethodni zapis"},
    {"nbNext", u"\u25B6", "Sledeci zapis"},
    {"nbLast", u"\u25B6|", "Poslednji zapis"},
    {"nbInsert", u"+", "Novi zapis"},
    {"nbDelete", u"\u2212", "Brisanje zapisa"},
    {"nbEdit", u"\u25B2", "Izmena zapisa"},
    {"nbPost", u"\u2714", "Upis zapisa"},
    {"nbCancel", u"\u2716", "Odustajanje od izmena"},
    {"nbRefresh", u"\u21BB", "Osvezavanje podataka"},
};

} // namespace

DBNavigator::DBNavigator(platform::Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(Buttons[i].name));
        b->setText(QString::fromUtf16(Buttons[i].glyph));
        b->setToolTip(QString::fromLatin1(Buttons[i].hint));
        // The buttons take no focus, so a cell being typed in stays where it is; the model
        // asks the grid to write it into the record before acting.
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        const auto which = Button(i);
        connect(b, &QToolButton::clicked, this, [this, which] { buttonClick(which); });
        layout->addWidget(b);
        m_buttons[size_t(i)] = b;
    }
    updateButtons();
}

void DBNavigator::setDataSource(TableModel *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source)
        connect(source, &TableModel::activeChanged, this, &DBNavigator::updateButtons);
    updateButtons();
}

void DBNavigator::updateButtons()
{
    const bool active = m_source && m_source->isActive();
    for (QToolButton *b : m_buttons)
        b->setEnabled(active);
}

void DBNavigator::buttonClick(Button which)
{
    if (!m_source || !m_source->isActive())
        return;
    TableModel &source = *m_source;
    switch (which) {
    case First:
        source.first();
        break;
    case Prior:
        source.prior();
        break;
    case Next:
        source.next();
        break;
    case Last:
        source.last();
        break;
    case Insert:
        source.insertRecord();
        break;
    case Delete:
        // A record being inserted is only dropped: nothing stored is lost, so nothing is asked.
        if (source.isInserting()) {
            source.cancel();
        } else if (source.rowCount() > 0 && source.mayDelete() &&
                   m_dialogs.confirm(QStringLiteral("Da li ste sigurni?"))) {
            source.deleteRecord();
        }
        break;
    case Edit:
        source.editRecord();
        break;
    case Post:
        source.post();
        break;
    case Cancel:
        source.cancel();
        break;
    case Refresh:
        source.refresh();
        break;
    }
}
