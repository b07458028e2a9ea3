#include "output/ImportFile.h"

#include "data/AppError.h"
#include "output/XlsxReader.h"

bool isWorkbookName(const QString& path) {
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

ImportFile openImportFile(const QString& path, const ImportFileOptions& options) {
    ImportFile file;
    if (isWorkbookName(path)) {
        auto book = std::make_unique<XlsxReader>(path, options.sheet, options.progress,
                                                 options.csv.maxRecordChars);
        file.sheetNames = book->sheetNames();
        file.rows = std::move(book);
    } else {
        file.rows = std::make_unique<CsvReader>(path, options.csv, options.progress);
    }
    QVariantList cells;
    if (!file.rows->next(cells))
        throw AppError(QStringLiteral("文件是空的，没有可导入的客户。"));
    for (const QVariant& cell : cells)
        file.titles << cell.toString().trimmed();
    return file;
}
