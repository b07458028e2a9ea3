#pragma once

#include "output/CsvReader.h"

#include <QStringList>
#include <memory>

struct ImportFileOptions {
    CsvOptions csv;
    int sheet = 0;                    // of a workbook
    WorkProgress* progress = nullptr; // told as the file is read; may stop it
};

// A file opened for import with its title row read: a workbook when its name ends in .xlsx,
// CSV text otherwise.
struct ImportFile {
    std::unique_ptr<ImportSource> rows; // positioned after the title row
    QStringList titles;
    QStringList sheetNames; // of a workbook; empty for CSV
};

// Throws AppError with the operator's message for a file that cannot be imported, and
// ImportCancelled when options.progress said stop.
ImportFile openImportFile(const QString& path, const ImportFileOptions& options = {});

bool isWorkbookName(const QString& path);
