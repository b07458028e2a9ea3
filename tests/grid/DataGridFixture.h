#pragma once

#include "data/Query.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QTableView>
#include <gtest/gtest.h>
#include <memory>

// A program folder with customers, the customer query and a shown grid over it, set up as
// the customer list sets up its grid.
class GridTest : public ::testing::Test {
  protected:
    GridTest();
    ~GridTest() override;

    Query& query() { return data->Qry_Cust; }
    void addCustomers(int count); // 客户1 .. 客户n, CustCode 1 .. n
    void openCustomers();         // in CustCode order
    void addColumn(const QString& field, bool titleButton = true);
    QList<QString> columnFields() const;
    QStringList companies() const; // the rows' Company values in the present order

    // Real input on the title of column i and on the cells of row r.
    QPoint titleCenter(int i) const;
    void clickTitle(int i, Qt::KeyboardModifiers modifiers = {});
    void dragTitle(int i, QPoint to);
    QPoint cellCenter(int row, int column = 0) const;
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {});
    QWidget* titles() const;
    QWidget* cells() const;

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    QWidget window;
    DataGrid* grid;
};
