// MasterDataPage: the grid, navigator and table buttons of a master-data page, and the rule
// the users' list keeps.
#include "MasterDataPage.h"

#include "DBGrid.h"
#include "DBNavigator.h"
#include "PageContext.h"
#include "PageHost.h"
#include "TableModel.h"
#include "UiHelpers.h"

#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Dialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>
#include <limits>

namespace {

const QString AdminName = QStringLiteral("Admin");

// The users' rule: the login finds a user by his code alone and opens the administrator menu
// to the name "Admin", so every code is set and belongs to one user, and there is exactly one
// "Admin". The answer names what a change would break; empty when it breaks nothing. Only
// what the change makes is refused: a code or an "Admin" that the record held already (a
// data directory with duplicates from before) may stay, and the login keeps its rule for it.
QString usersRule(engine::Table &users, bool deleting)
{
    const int codeField = users.fieldIndex(desk::columns::UserCode);
    const int nameField = users.fieldIndex(desk::columns::UserName);
    if (codeField < 0 || nameField < 0)
        return {};
    const bool inserting = users.state() == engine::Table::State::Insert;
    // The record changed or deleted: the one the table stands on, unless a new one is made.
    const qint64 own = inserting ? -1 : users.recordId();
    struct Stored
    {
        QString code, name;
    };
    Stored before;
    QList<Stored> others;
    users.scanAfter(std::numeric_limits<qint64>::min(),
                    [&](qint64 id, const engine::RecordView &r) {
                        const auto text = [&r](int i) {
                            return r.isNull(i) ? QString() : QString::fromUtf8(r.utf8(i));
                        };
                        const Stored s{text(codeField), text(nameField)};
                        (id == own ? before : others.emplaceBack()) = s;
                    });
    const auto isAdmin = [](const Stored &s) { return s.name == AdminName; };
    const bool anotherAdmin = std::any_of(others.cbegin(), others.cend(), isAdmin);
    if (deleting) {
        if (isAdmin(before) && !anotherAdmin)
            return QStringLiteral("Korisnik Admin se ne moze obrisati: on je jedini koji ulazi "
                                  "u meni administratora.");
        return {};
    }

    const QString code = users.fieldText(codeField);
    const QString name = users.fieldText(nameField);
    if (code.trimmed().isEmpty())
        return QStringLiteral("Korisnik nije sacuvan: sifra je prazna, a sa praznom sifrom bi "
                              "se svako prijavio.");
    if (inserting || code != before.code) {
        for (const Stored &other : others) {
            if (other.code == code)
                return QStringLiteral("Korisnik nije sacuvan: sifru %1 vec ima korisnik %2.")
                    .arg(code, other.name);
        }
    }
    if (name == AdminName && (inserting || !isAdmin(before)) && anotherAdmin)
        return QStringLiteral("Korisnik nije sacuvan: korisnik Admin vec postoji, a meni "
                              "administratora ima samo jedan.");
    if (!inserting && isAdmin(before) && name != AdminName && !anotherAdmin)
        return QStringLiteral("Korisnik nije sacuvan: Admin se ne moze preimenovati, on je "
                              "jedini koji ulazi u meni administratora.");
    return {};
}

} // namespace

MasterDataPage::MasterDataPage(PageContext &context, QWidget *page, engine::Table &table,
                               const Names &names,
                               const std::function<void(QWidget *)> &beforeGrid)
    : QObject(page), ctx(context), m_table(table), m_index(names.index)
{
    // Heading at the top left, "MENI ADMINISTRATORA" at the top right, the table's two
    // buttons side by side below it, the navigator at the left of their row, the grid
    // beneath filling the rest.
    if (auto *heading = page->findChild<QLabel *>(QStringLiteral("Heading%1").arg(names.index)))
        heading->setGeometry(16, 8, 436, 32);
    if (auto *menu = page->findChild<QPushButton *>(QString::fromLatin1(names.menuButton)))
        menu->setGeometry(456, 8, 240, 36);

    auto *openButton =
        named(new QPushButton(QStringLiteral("OTVORI TABELU"), page), names.openButton);
    openButton->setFont(uiFont(9, true));
    openButton->setGeometry(456, 50, 118, 36);
    connect(openButton, &QPushButton::clicked, this, &MasterDataPage::openTable);

    auto *closeButton =
        named(new QPushButton(QStringLiteral("ZATVORI TABELU"), page), names.closeButton);
    closeButton->setFont(uiFont(9, true));
    closeButton->setGeometry(578, 50, 118, 36);
    connect(closeButton, &QPushButton::clicked, this, &MasterDataPage::closeTable);

    // The data link lives exactly as long as its table.
    m_source = new TableModel(table, &table);
    m_source->setReadOnly(names.readOnly);
    connect(m_source, &TableModel::errorOccurred, this,
            [this](const QString &text) { ctx.dialogs.message(text); });

    m_navigator = named(new DBNavigator(ctx.dialogs, page), names.navigator);
    m_navigator->setGeometry(16, 52, 300, 32);
    m_navigator->setDataSource(m_source);
    m_navigator->setVisible(!names.readOnly);

    if (beforeGrid)
        beforeGrid(page);

    m_grid = named(new DBGrid(page), names.grid);
    m_grid->setGeometry(16, 96, 680, 388);
    m_grid->setReadOnly(names.readOnly);
    m_grid->setDataSource(m_source);
}

void MasterDataPage::openTable()
{
    try {
        ctx.session.setPassword(desk::tablePassword());
        m_table.open(); // an open table stays as it is, on its current record
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(e.message());
    }
}

void MasterDataPage::closeTable()
{
    // Closing drops a record that was being edited and not posted; then the session closes
    // every other open table and query of the program.
    m_table.close();
    ctx.session.close();
}

void MasterDataPage::guardUsers()
{
    m_grid->setMaskedField(desk::columns::UserCode); // login codes, as the login box shows them
    m_source->setRecordRule(usersRule);
    connect(&ctx.window.notebook(), &QStackedWidget::currentChanged, this, [this](int index) {
        // A user the rule refused when the page was left (the grid said why) is dropped: the
        // table must not store it later, when some other handler moves it.
        if (index != m_index && m_source->isEditing())
            m_source->cancel();
    });
    connect(&m_table, &engine::Table::changed, this, [this] {
        QStringList names;
        try {
            const int index = m_table.fieldIndex(desk::columns::UserName);
            const int at = m_table.recNo();
            for (int i = 0; i < m_table.recordCount(); ++i)
                names << m_table.textAt(i, index);
            m_table.moveTo(at);
        } catch (const engine::EngineError &) {
        }
        ctx.window.logAct(QStringLiteral("KORISNICI"),
                          QStringLiteral("Promenjen spisak korisnika: ") +
                              names.join(QStringLiteral(", ")));
    });
}
