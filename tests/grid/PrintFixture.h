#pragma once

// A customer grid over a real database, laid out as the customer list lays out its own,
// with the grid printer and preview service the windows use.

#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "grid/GridPrinter.h"
#include "grid/PrintPainter.h"
#include "grid/PrintPreviewService.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <gtest/gtest.h>
#include <memory>

class PrintFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Inserts customers "客户1".."客户n" with codes 1..n, then opens the grid's query.
    void openWithCustomers(int count);
    PrintDocument document(const GridPrinter& printer) const;
    static QStringList titlesOn(const PrintDocument& document, int page);
    static QStringList printedCompanies(const PrintDocument& document);

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    std::unique_ptr<DataGrid> grid;
    std::unique_ptr<PrintPreviewService> previews;
    std::unique_ptr<GridPrinter> printer;
};
