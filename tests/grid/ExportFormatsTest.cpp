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

// A name ending in another offered type's suffix writes that type; other names keep the old
// rule with the chosen type's suffix, letter case counting.
TEST(ExportFileNames, ASuffixOfAnotherTypeChoosesItElseTheChosenTypeAppendsItsOwn) {
    using F = ExportFormat;
    const struct {
        F chosen;
        QString typed;
        F format;
        QString expected;
    } cases[] = {
        {F::Xlsx, "list", F::Xlsx, "list.xlsx"},
        {F::Xlsx, " list.xlsx ", F::Xlsx, "list.xlsx"},
        {F::Xlsx, "LIST.XLSX", F::Xlsx, "LIST.XLSX.xlsx"},
        {F::Xlsx, "list.xls", F::Xls, "list.xls"},
        {F::Xlsx, "list.xls.txt", F::Xlsx, "list.xls.txt.xlsx"},
        {F::Csv, "list", F::Csv, "list.csv"},
        {F::Csv, "list.csv.bak", F::Csv, "list.csv.bak"},
        {F::Csv, "list.xls", F::Xls, "list.xls"},
        {F::Csv, " list.xlsx", F::Xlsx, "list.xlsx"},
        {F::Xls, "list", F::Xls, "list.xls"},
        {F::Xls, "list.xlsx", F::Xlsx, "list.xlsx"},
        {F::Xls, "list.csv ", F::Csv, "list.csv"},
        {F::Xls, "list.CSV", F::Xls, "list.CSV.xls"},
        {F::Xls, "LIST.XLS", F::Xls, "LIST.XLS.xls"},
        {F::Xls, "list.xls.txt", F::Xls, "list.xls.txt"},
    };
    for (const auto& c : cases) {
        const ExportTarget target = exportTarget(c.chosen, c.typed);
        EXPECT_EQ(target.format, c.format) << c.typed.toStdString();
        EXPECT_EQ(target.path, c.expected) << c.typed.toStdString();
    }
    EXPECT_EQ(exportFormatOfFilter(kXlsxFileFilter), ExportFormat::Xlsx);
    EXPECT_EQ(exportFormatOfFilter(kCsvFileFilter), ExportFormat::Csv);
    EXPECT_EQ(exportFormatOfFilter(QString()), ExportFormat::Xls);
}

// Before a file is written the operator hears which customers' texts it would not hold whole:
// characters GBK has not and texts past a LABEL's bytes in .xls (with the workbook offered
// instead), texts past a cell's 32,767 characters in .xlsx; CSV holds everything.
TEST_F(ExcelExportTest, TextsAFormatCannotHoldAreNamedBeforeWritingAndTheWorkbookIsOffered) {
    const QString longNote(40000, QChar(0x8BE6)); // 详: 80,000 GBK bytes
    program.exec("insert into Custom (Company, memo2) values ('Äpfel ÖÜ', 'ü ok'),"
                 " ('长说明', '" +
                 longNote + "'), ('乙', 'plain')");
    openList("select * from Custom order by CustCode", {{"Company", fvtNon}, {"memo2", fvtNon}});
    query().setDisplayLabel(query().findField("Company"), QStringLiteral("客户名称"));
    query().setDisplayLabel(query().findField("memo2"), QStringLiteral("详细说明"));
    const QString unencodable = "客户“Äpfel ÖÜ”的“客户名称”：含有不能保存的字符“ÄÖÜ”";
    const QString cut = "客户“长说明”的“详细说明”：共 40000 个字符，超出部分将被截掉";
    const QString xlsQuestion = "下列内容保存为.xls文件会丢失字符：";
    const QString xlsxQuestion = "下列内容超过一个单元格能保存的 32767 个字符：";
    const struct {
        QString filter, typed;
        QList<int> answers;
        QStringList asked; // first lines of the boxes, the offer to open last
        QString written;   // "" for none
    } cases[] = {
        {kExcelFileFilter,
         "a",
         {mbYes, mbOK, mbCancel},
         {xlsQuestion, xlsxQuestion, "文件"},
         "a.xlsx"},
        {kExcelFileFilter, "b.xls", {mbNo, mbCancel}, {xlsQuestion, "文件"}, "b.xls"},
        {kExcelFileFilter, "c", {mbCancel}, {xlsQuestion}, ""},
        {kXlsxFileFilter, "d", {mbOK, mbCancel}, {xlsxQuestion, "文件"}, "d.xlsx"},
        {kXlsxFileFilter, "e", {mbCancel}, {xlsxQuestion}, ""},
        {kExcelFileFilter, "f.xlsx", {mbOK, mbCancel}, {xlsxQuestion, "文件"}, "f.xlsx"},
        {kCsvFileFilter, "g", {mbCancel}, {"文件"}, "g.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        dialogs.askFileName = [&](const QString&) { return SaveChoice{pathIn(c.typed), c.filter}; };
        messages.clear();
        messages.answers = c.answers;
        const QStringList before = filesIn(program.dir());
        ASSERT_TRUE(exportAs(QString()));
        QStringList asked;
        for (const QString& text : messages.texts())
            asked << text.section('\n', 0, 0).left(c.asked.value(asked.size()).size());
        EXPECT_EQ(asked, c.asked);
        if (c.written.isEmpty()) {
            EXPECT_EQ(filesIn(program.dir()), before);
            continue;
        }
        const QByteArray bytes = readFile(pathIn(c.written));
        if (c.written.endsWith(".xls")) {
            const QList<BiffRecord> records = splitBiff(bytes);
            EXPECT_EQ(records[4].value(), "?pfel ??") << "as the old sheet has always written";
            EXPECT_EQ(records[7].value().toString(), longNote.left(32763));
        } else if (c.written.endsWith(".xlsx")) {
            const QByteArray sheet = zipEntry(pathIn(c.written), "xl/worksheets/sheet1.xml");
            EXPECT_TRUE(sheet.contains("Äpfel ÖÜ"));
            EXPECT_TRUE(sheet.contains((longNote.left(32767) + "<").toUtf8()))
                << "cut at the cell's limit";
        } else {
            EXPECT_TRUE(bytes.contains(longNote.toUtf8()));
        }
    }
    // The question once whole: every loss named with its customer and column.
    messages.answers = {mbCancel};
    dialogs.askFileName = [&](const QString&) { return SaveChoice{pathIn("h"), QString()}; };
    messages.clear();
    ASSERT_TRUE(exportAs(QString()));
    EXPECT_EQ(messages.texts(), QStringList{xlsQuestion + "\n" + unencodable + "\n" + cut +
                                            "\n\n是否改为保存为.xlsx文件" + pathIn("h.xlsx") +
                                            "？选“否”仍保存为.xls文件。"});
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
