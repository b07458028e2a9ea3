#pragma once

#include "app/U_Main.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

class DataGrid;
class QTableView;

// One start of the whole program over a program folder, as its operator meets it: the real
// main sequence with splash, connection and login. The login is answered as Admin with an
// empty password box; once the main window shows the customer list, walk runs inside the
// message loop, and the main window is closed after it. A run that hangs is failed and ended.
class ProgramRun {
  public:
    ProgramRun(const TempProgram& program, RecordingMessageService& messages)
        : program_(program), messages_(messages) {}

    int run(const std::function<void(TFrm_Main&)>& walk);

    bool loginShown() const { return loginShown_; }
    bool walked() const { return walked_; }

  private:
    void logInAsAdmin();
    void walkOnceShown(const std::function<void(TFrm_Main&)>& walk);
    void endIfHung();

    const TempProgram& program_;
    RecordingMessageService& messages_;
    bool loginShown_ = false;
    bool walked_ = false;
    QTimer watchdog_;
    QTimer shownPoll_;
};

// Acts on the next modal dialog of class T as soon as it is the active modal window, so that
// the walk never blocks on its exec(). Gives up with a failure when none comes in time.
template <class T>
void onNextModal(std::function<void(T*)> act, const char* what = "dialog", int timeoutMs = 5000) {
    auto* poll = new QTimer;
    auto* left = new int(timeoutMs / 5);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, left, act, what] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && --*left > 0)
            return;
        poll->stop();
        poll->deleteLater();
        delete left;
        if (dialog)
            act(dialog);
        else
            ADD_FAILURE() << what << " never opened";
    });
    poll->start();
}

// Real input on a grid: a title, a cell, a key.
QWidget* titlesOf(DataGrid& grid);
QPoint titleCenter(DataGrid& grid, int column);
void clickTitle(DataGrid& grid, int column);
void dragTitle(DataGrid& grid, int column, int toColumn);
void clickRow(DataGrid& grid, int row);
void doubleClickRow(DataGrid& grid, int row);
QStringList gridColumnFields(DataGrid& grid);
QStringList gridTexts(DataGrid& grid, int column); // the cells of one column, top to bottom
int gridRowOf(DataGrid& grid, const QString& company);

// Text as an input method commits it: how Chinese reaches a text box.
void commitText(QWidget* box, const QString& text);

// What is on disk, read apart from the program.
QList<QStringList> dbRows(const QString& databasePath, const QString& sql);
QByteArray fileBytes(const QString& path); // "<absent>" when missing

// A program folder of its own for each test, started as often as the test needs; once on the
// delivered file and once with DBConn naming a database of its own on the test server.
class EndToEnd : public ::testing::TestWithParam<TestEngine> {
  protected:
    EndToEnd();
    ~EndToEnd() override;

    TempProgram program;
    RecordingMessageService messages;
    QString serverUri; // empty on the file

    // One start of the program; fails the test unless the walk ran and the program ended well.
    void start(const std::function<void(TFrm_Main&)>& walk) {
        ProgramRun run(program, messages);
        EXPECT_EQ(run.run(walk), 0);
        EXPECT_TRUE(run.loginShown());
        EXPECT_TRUE(run.walked());
    }
    QList<QStringList> db(const QString& sql) const;
    void exec(const QString& sql) const; // on the test's database, apart from the program
    // Config.ini as the program left it, without the DBConn lines the test put there.
    QByteArray config() const;
    QByteArray configStart() const; // what Config.ini must begin with
};

inline std::string e2eEngineName(const ::testing::TestParamInfo<TestEngine>& info) {
    return testEngineName(info.param);
}
#define END_TO_END_ON_EVERY_ENGINE(fixture)                                                       \
    INSTANTIATE_TEST_SUITE_P(Engines, fixture, ::testing::ValuesIn(testEngines()), e2eEngineName)
