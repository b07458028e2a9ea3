#include "ExcelExportFixture.h"

#include "data/AppError.h"
#include "output/WorkProgress.h"
#include "output/XlsxReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <zip.h>

namespace {

QByteArray zipEntry(const QString& path, const char* name) {
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    if (!zip)
        return {};
    QByteArray bytes;
    if (zip_file_t* file = zip_fopen(zip, name, 0)) {
        char buffer[65536];
        zip_int64_t got;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, qsizetype(got));
        zip_fclose(file);
    }
    zip_discard(zip);
    return bytes;
}

QList<QVariantList> workbookRows(const QString& path) {
    XlsxReader reader(path);
    QList<QVariantList> rows;
    QVariantList cells;
    while (reader.next(cells))
        rows << cells;
    return rows;
}

// Answers the progress window: stops at the first report when asked to.
class StoppingProgress : public WorkProgress {
  public:
    explicit StoppingProgress(bool stop) : stop_(stop) {}
    bool advance(qint64, qint64) override { return !stop_; }

  private:
    bool stop_;
};

} // namespace

TEST(ExportFileNames, EachFormatGetsItsOwnSuffixByTheOldRule) {
    const struct {
        ExportFormat format;
        QString typed, expected;
    } cases[] = {
        {ExportFormat::Xlsx, "list", "list.xlsx"},
        {ExportFormat::Xlsx, " list.xlsx ", "list.xlsx"},
        {ExportFormat::Xlsx, "LIST.XLSX", "LIST.XLSX.xlsx"},
        {ExportFormat::Xlsx, "list.xls", "list.xls.xlsx"},
        {ExportFormat::Csv, "list", "list.csv"},
        {ExportFormat::Csv, "list.csv.bak", "list.csv.bak"},
        {ExportFormat::Csv, "list.xls", "list.xls.csv"},
        {ExportFormat::Xls, "list", "list.xls"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exportFileName(c.format, c.typed), c.expected) << c.typed.toStdString();
    EXPECT_EQ(exportFormatOfFilter(kXlsxFileFilter), ExportFormat::Xlsx);
    EXPECT_EQ(exportFormatOfFilter(kCsvFileFilter), ExportFormat::Csv);
    EXPECT_EQ(exportFormatOfFilter(QString()), ExportFormat::Xls);
}

// Beyond the old sheet's 65,534 records, with typed cells, a bold frozen title row with its
// filter over the records only, and the grid's widths.
TEST_F(ExcelExportTest, AWorkbookHoldsMoreThanTheOldSheetWithTypedCells) {
    program.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 70000)"
                 " insert into Custom (Company, AddDate) select '客户' || i,"
                 " '2024-01-02 00:00:00' from n");
    openList("select * from Custom order by CustCode",
             {{"Company", fvtStaticText}, {"CustCode", fvtCount}, {"AddDate", fvtNon}});
    GridColumn wide = grid.column(0);
    wide.width = 200;
    grid.setColumn(0, wide);
    dialogs.askFileName = [&](const QString&) {
        return SaveChoice{pathIn("big"), kXlsxFileFilter};
    };
    messages.answers = {mbCancel};
    ASSERT_TRUE(exportAs(QString()));

    const QList<QVariantList> rows = workbookRows(pathIn("big.xlsx"));
    ASSERT_EQ(rows.size(), 70002);
    EXPECT_EQ(rows[0], (QVariantList{"Company", "CustCode", "AddDate"}));
    EXPECT_EQ(rows[70000], (QVariantList{"客户70000", 70000.0, QDateTime({2024, 1, 2}, {0, 0})}));
    EXPECT_EQ(rows[70001], (QVariantList{"总计", 70000.0}));
    const QByteArray sheet = zipEntry(pathIn("big.xlsx"), "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(sheet.contains("ySplit=\"1\"")) << "the title row stays in view";
    EXPECT_TRUE(sheet.contains("<autoFilter ref=\"A1:C70001\"/>"));
    const QRegularExpressionMatch first =
        QRegularExpression(R"re(<col min="1" max="1" width="([0-9.]+)")re").match(sheet);
    ASSERT_TRUE(first.hasMatch()) << sheet.left(800).toStdString();
    EXPECT_NEAR(first.captured(1).toDouble(), 28.0, 1.0) << "200 pixels in characters";
    EXPECT_TRUE(zipEntry(pathIn("big.xlsx"), "xl/styles.xml").contains("<b/>"));
}

TEST_F(ExcelExportTest, ACancelledOrFailedExportLeavesTheEarlierFileAndNothingElse) {
    program.exec("create table T_Big (Big BIGINT);"
                 "insert into T_Big values (900000000000000000), (1)");
    const struct {
        QString filter, name;
        bool cancel;
    } cases[] = {{kXlsxFileFilter, "old.xlsx", true},
                 {kCsvFileFilter, "old.csv", true},
                 {kXlsxFileFilter, "old.xlsx", false},
                 {kCsvFileFilter, "old.csv", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + (c.cancel ? " cancelled" : " failing"));
        // the failing export sums past what a footer holds
        openList("select * from T_Big", {{"Big", c.cancel ? fvtNon : fvtSum}});
        writeText(pathIn(c.name), "an earlier export");
        const QStringList before = filesIn(program.dir());
        dialogs.askFileName = [&](const QString&) { return SaveChoice{pathIn(c.name), c.filter}; };
        dialogs.showProgress = [&] { return std::make_unique<StoppingProgress>(c.cancel); };
        messages.clear();
        EXPECT_EQ(exportAs(QString()), c.cancel);
        EXPECT_EQ(readFile(pathIn(c.name)), "an earlier export");
        EXPECT_EQ(filesIn(program.dir()), before) << "no file left aside";
        EXPECT_EQ(messages.shown.size(), c.cancel ? 0 : 1) << "at most the error; no question";
    }
}
