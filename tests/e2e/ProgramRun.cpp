#include "tests/e2e/ProgramRun.h"

#include "app/MainSequence.h"
#include "app/U_login.h"
#include "customers/U_Custom.h"
#include "data/Query.h"
#include "grid/DataGrid.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <sqlite3.h>

namespace {
constexpr int kRunLimitMs = 60000;
}

int ProgramRun::run(const std::function<void(TFrm_Main&)>& walk) {
    logInAsAdmin();
    walkOnceShown(walk);
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { endIfHung(); });
    watchdog_.start(kRunLimitMs);
    const int code = RunMainSequence(program_.dir(), messages_);
    watchdog_.stop();
    shownPoll_.stop();
    return code;
}

void ProgramRun::logInAsAdmin() {
    onNextModal<TFrm_Login>(
        [this](TFrm_Login* login) {
            loginShown_ = true;
            const int admin = login->Combo_User->findText(QStringLiteral("Admin"));
            EXPECT_GE(admin, 0) << "Admin is in the login list";
            login->Combo_User->setCurrentIndex(admin);
            EXPECT_TRUE(login->Edit_Pass->text().isEmpty());
            login->Btn_ok->click();
        },
        "the login dialog", 20000);
}

void ProgramRun::walkOnceShown(const std::function<void(TFrm_Main&)>& walk) {
    shownPoll_.setInterval(5);
    QObject::connect(&shownPoll_, &QTimer::timeout, [this, walk] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* main = qobject_cast<TFrm_Main*>(w);
            // Over a network the list's rows arrive after it shows.
            if (!main || !main->isVisible() || !main->customerList() ||
                main->customerList()->searching())
                continue;
            shownPoll_.stop();
            walked_ = true;
            walk(*main);
            main->close();
            return;
        }
    });
    shownPoll_.start();
}

void ProgramRun::endIfHung() {
    ADD_FAILURE() << "the program did not end within " << kRunLimitMs << " ms";
    while (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    QCoreApplication::exit(1);
}

QWidget* titlesOf(DataGrid& grid) {
    return grid.view()->horizontalHeader()->viewport();
}

QPoint titleCenter(DataGrid& grid, int column) {
    const QHeaderView* header = grid.view()->horizontalHeader();
    return {header->sectionViewportPosition(header->logicalIndex(column)) +
                header->sectionSize(header->logicalIndex(column)) / 2,
            header->height() / 2};
}

void clickTitle(DataGrid& grid, int column) {
    QTest::mouseClick(titlesOf(grid), Qt::LeftButton, {}, titleCenter(grid, column));
}

void dragTitle(DataGrid& grid, int column, int toColumn) {
    const QPoint from = titleCenter(grid, column);
    const QPoint to = titleCenter(grid, toColumn) - QPoint(10, 0);
    QTest::mousePress(titlesOf(grid), Qt::LeftButton, {}, from);
    QTest::mouseMove(titlesOf(grid), (from + to) / 2);
    QTest::mouseMove(titlesOf(grid), to);
    QTest::mouseRelease(titlesOf(grid), Qt::LeftButton, {}, to);
}

static QPoint cellCenter(DataGrid& grid, int row) {
    QTableView* view = grid.view();
    return view->visualRect(view->model()->index(row, 0)).center();
}

void clickRow(DataGrid& grid, int row) {
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cellCenter(grid, row));
}

void doubleClickRow(DataGrid& grid, int row) {
    // A double click arrives after the press and release of its first click.
    clickRow(grid, row);
    QTest::mouseDClick(grid.view()->viewport(), Qt::LeftButton, {}, cellCenter(grid, row));
}

QStringList gridColumnFields(DataGrid& grid) {
    QStringList fields;
    for (int i = 0; i < grid.columnCount(); ++i)
        fields << grid.column(i).fieldName;
    return fields;
}

QStringList gridTexts(DataGrid& grid, int column) {
    QStringList texts;
    const QAbstractItemModel* model = grid.view()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

int gridRowOf(DataGrid& grid, const QString& company) {
    const int column = gridColumnFields(grid).indexOf(QStringLiteral("Company"));
    return column < 0 ? -1 : int(gridTexts(grid, column).indexOf(company));
}

void commitText(QWidget* box, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

QList<QStringList> dbRows(const QString& databasePath, const QString& sql) {
    QList<QStringList> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot read the database: " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
            row << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
        }
        rows << row;
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

EndToEnd::EndToEnd() {
    if (GetParam() != TestEngine::Postgres)
        return;
    serverUri = createServerDatabase();
    QFile ini(program.configPath());
    if (ini.open(QIODevice::WriteOnly))
        ini.write(configStart());
}

EndToEnd::~EndToEnd() {
    if (!serverUri.isEmpty())
        dropServerDatabase(serverUri);
}

QByteArray EndToEnd::configStart() const {
    return serverUri.isEmpty() ? QByteArray() : configForDatabase(serverUri);
}

QByteArray EndToEnd::config() const {
    const QByteArray bytes = fileBytes(program.configPath());
    const QByteArray start = configStart();
    return !start.isEmpty() && bytes.startsWith(start) ? bytes.mid(start.size()) : bytes;
}

void EndToEnd::exec(const QString& sql) const {
    if (serverUri.isEmpty())
        return program.exec(sql);
    openDatabase(serverUri)->execute({sql, {}});
}

QList<QStringList> EndToEnd::db(const QString& sql) const {
    if (serverUri.isEmpty())
        return dbRows(program.databasePath(), sql);
    QList<QStringList> rows;
    auto result = openDatabase(serverUri)->query({sql, {}});
    while (result->next()) {
        QStringList row;
        for (int i = 0; i < result->columnCount(); ++i) {
            const std::string_view text = result->text(i);
            row << (result->type(i) == CellType::Null
                        ? QStringLiteral("<null>")
                        : QString::fromUtf8(text.data(), qsizetype(text.size())));
        }
        rows << row;
    }
    return rows;
}
