#pragma once

#include "BiffRecords.h"
#include "data/Query.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

// A program folder with the customer query and a grid over it, and fake desktop dialogs that
// answer with a queued file name and remember what they were asked.
class ExcelExportTest : public ::testing::Test {
  protected:
    ExcelExportTest();
    ~ExcelExportTest() override;

    // Opens Qry_Cust on the statement and shows it in the grid with the given columns
    // (field name, footer kind); the grid shows titles and one footer row.
    void openList(const QString& sql, const QList<QPair<QString, TFooterValueType>>& columns);
    // Three customers, columns Company ("总计"), tel (count), CustCode (sum), Mobile.
    void openThreeCustomers();

    // Runs the command as the action does, inside the handler guard.
    bool exportAs(const QString& typedName);
    QString pathIn(const QString& name) const { return program.dir() + "/" + name; }
    static QByteArray readFile(const QString& path);
    static QStringList filesIn(const QString& dir);
    static void writeText(const QString& path, const QByteArray& bytes);
    QList<BiffRecord> exported(const QString& path) const { return splitBiff(readFile(path)); }

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    Query& query();
    DataGrid grid;
    ExportDialogs dialogs;
    QString nextFileName;
    QStringList askedFilters;
    QStringList openedFiles;
    bool openFails = false; // the desktop has no program for the file
};
