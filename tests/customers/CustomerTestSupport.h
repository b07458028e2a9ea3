#pragma once

#include "customers/U_Custom.h"
#include "data/U_Data.h"
#include "grid/PrintPreviewService.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/SearchWait.h"
#include "tests/support/TempProgram.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/WriteWait.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// Three customers: one with Null tel and memo, one with a quote in OtherInfo, one with a time
// of day in its AddDate.
inline const char* seedCustomers() {
    return "INSERT INTO Custom (Company, tel, Mobile, OtherInfo, memo2, AddDate) VALUES "
           "('Acme 公司', '010-1', '139', 'HT-1', 'a' || char(13) || char(10) || 'b', "
           "'2024-03-05 14:07:09'),"
           "('北京 100%', NULL, '138', 'HT_2', NULL, NULL),"
           "('[x] trade', '021-3', NULL, 'O''Brien', 'memo', '2023-01-02 00:00:00');";
}

// A program folder with its data module and the main window's side of the customer list:
// the actions (counting their runs), the chooser hook and status panel 1.
class CustomerFixture : public ::testing::Test {
  protected:
    explicit CustomerFixture(TestEngine engine = TestEngine::Sqlite) : engine(engine) {}
    void SetUp() override {
        if (engine == TestEngine::Postgres)
            pointTheProgramAtAServerDatabase();
        else
            program.exec(seedCustomers());
        data = program.connect(messages);
        ASSERT_TRUE(data->DBConnected) << messages.texts().join('\n').toStdString();
        if (engine == TestEngine::Postgres)
            seedThroughTheConnection();
        for (QAction* action : {&addCust, &editCust, &delCust, &exportCsv})
            QObject::connect(action, &QAction::triggered, [this, action] { ++runs[action]; });
        addCust.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    }
    void TearDown() override {
        delete list.data();
        data.reset();
        if (!serverUri.isEmpty())
            dropServerDatabase(serverUri);
    }

    void pointTheProgramAtAServerDatabase() {
        serverUri = createServerDatabase();
        QFile config(program.configPath());
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(configForDatabase(serverUri));
    }
    // The same customers, their line break passed as a value: the server has no char().
    void seedThroughTheConnection() {
        QString sql = seedCustomers();
        sql.replace("'a' || char(13) || char(10) || 'b'", "?");
        data->ADOConnection1->execute({sql, {QStringLiteral("a\r\nb")}});
    }

    CustomerListHooks hooks() {
        return {&addCust,
                &editCust,
                &delCust,
                &exportCsv,
                [this] { ++chooserRuns; },
                [this](const QString& text) {
                    counts << text;
                    if (duringCount)
                        duringCount();
                }};
    }

    TFrm_Custom& openList() {
        list = new TFrm_Custom(*data, messages, previews, hooks());
        list->addAction(&addCust); // the main window's shortcut, in the list's window
        list->show();
        waitForSearch(*list); // over a network the rows arrive after the window shows
        return *list;
    }

    int customerRows(const QString& where = "1=1") {
        Query q("count", data->ADOConnection1.get());
        data->OpenQuery(q, {"select * from Custom where " + where, {}});
        return q.recordCount();
    }

    TestEngine engine;
    QString serverUri; // the server database in use, if any
    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    PrintPreviewService previews{messages};
    QAction addCust{"新增&A"}, editCust{"编辑&E"}, delCust{"删除&D"},
        exportCsv{"导出客户为Excel文件"};
    QHash<QAction*, int> runs;
    int chooserRuns = 0;
    QStringList counts;
    std::function<void()> duringCount; // runs while the list writes its count text
    QPointer<TFrm_Custom> list;
};

// Runs act on the modal dialog once its loop runs, then closes it if act left it open.
template <typename Dialog, typename Act> void whenModal(Act act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
        if (dialog->isVisible())
            dialog->close();
    });
}
