#pragma once

// What the benchmarks that drive the customer list window share: a program folder and the
// window over it, as the operator has them before a keystroke.

#include "bench/support/BenchSupport.h"
#include "customers/U_Custom.h"
#include "data/U_Data.h"
#include "grid/PrintPreviewService.h"

#include <QTemporaryDir>
#include <memory>

namespace BenchData {

struct ListProgram {
    // An empty program folder with its DataBase folder; name is the program's in a box.
    explicit ListProgram(const char* name);
    // The folder with rows generated customers in its database, and the window open on it.
    ListProgram(const char* name, int rows);

    // Opens the folder as the program does and shows the customer list.
    void open();
    QString databasePath() const { return dir.filePath("DataBase/Custom.db"); }
    // The search runs off the window's thread; a keystroke ends when its result shows.
    void waitForSearch();

    QTemporaryDir dir;
    FailingMessages messages;
    std::unique_ptr<TFrm_Data> data;
    std::unique_ptr<PrintPreviewService> previews;
    std::unique_ptr<TFrm_Custom> list;
};

} // namespace BenchData
