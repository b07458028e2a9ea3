#include "bench/support/window/ListProgram.h"

#include <QApplication>
#include <QDir>

namespace BenchData {

ListProgram::ListProgram(const char* name) : messages(name) {
    QDir(dir.path()).mkpath("DataBase");
}

ListProgram::ListProgram(const char* name, int rows) : ListProgram(name) {
    customerDatabase(databasePath(), rows);
    open();
}

void ListProgram::open() {
    data = std::make_unique<TFrm_Data>(dir.path(), messages);
    data->FormCreate();
    previews = std::make_unique<PrintPreviewService>(messages);
    list = std::make_unique<TFrm_Custom>(*data, messages, *previews, CustomerListHooks{});
    list->show();
    QApplication::processEvents();
}

void ListProgram::waitForSearch() {
    while (list->searching())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace BenchData
