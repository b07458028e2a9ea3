#include "ExcelExportFixture.h"
#include "output/CsvReader.h"
#include "tests/support/LibreOffice.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cmath>

namespace {

// The read-back list: a column of each kind, with every kind of footer.
const QList<QPair<QString, TFooterValueType>> kReadColumns = {
    {"Name", fvtStaticText}, {"Qty", fvtCount}, {"Big", fvtSum},   {"Price", fvtSum},
    {"Ratio", fvtNon},       {"Note", fvtNon},  {"Added", fvtNon},
};

// What the reader must show in a cell: a text, a number, or nothing (invalid).
void expectCell(const QString& got, const QVariant& want, int row, int column) {
    const auto where = QString(" at row %1, column %2").arg(row).arg(column).toStdString();
    if (want.typeId() == QMetaType::Double) {
        bool ok = false;
        const double value = got.toDouble(&ok);
        EXPECT_TRUE(ok) << got.toStdString() << where;
        EXPECT_NEAR(value, want.toDouble(), 1e-9 * std::max(1.0, std::fabs(want.toDouble())))
            << where;
    } else {
        EXPECT_EQ(got, want.toString()) << where;
    }
}

} // namespace

// A reader written elsewhere must take every cell back. The file names its code page, so the
// reader decodes the texts as GBK in an English locale too, not only on a Chinese desktop.
TEST_F(ExcelExportTest, LibreOfficeReadsBackEveryCell) {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the read-back check needs it";

    program.exec("create table T_Read (Name VARCHAR(50), Qty INTEGER, Big INTEGER,"
                 " Price CURRENCY, Ratio FLOAT, Note MEMO, Added DATETIME);"
                 "insert into T_Read values ('甲公司', 5, 1000000000, 12.5, 0.03125,"
                 " '多行\n文本, \"引号\"', '2024-03-05 14:07:09');"
                 "insert into T_Read values ('', -3, -2000000000, NULL, -1.75, NULL, NULL);"
                 "insert into T_Read values (NULL, NULL, 7, 0.1, 1e-7, 'plain', NULL);");
    openList("select * from T_Read order by rowid", kReadColumns);
    query().setDisplayLabel(0, "客户名称");
    ASSERT_TRUE(exportAs(pathIn("read.xls")));

    QTemporaryDir out;
    QProcess lo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "C.UTF-8");
    env.insert("LC_ALL", "C.UTF-8");
    lo.setProcessEnvironment(env);
    lo.start(soffice,
             {"--headless", "--norestore",
              "-env:UserInstallation=" + QUrl::fromLocalFile(out.filePath("profile")).toString(),
              // comma, double quote, UTF-8, from line 1, full precision
              "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false",
              "--outdir", out.path(), pathIn("read.xls")});
    ASSERT_TRUE(lo.waitForFinished(180000)) << "LibreOffice did not finish";
    QFile csv(out.filePath("read.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << lo.readAllStandardError().toStdString();
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv.readAll()));

    const Query& q = query();
    const QList<QVariantList> expected = {
        {"客户名称", "Qty", "Big", "Price", "Ratio", "Note", "Added"},
        {"甲公司", 5.0, 1e9, 12.5, 0.03125, "多行\n文本, \"引号\"", q.displayText(0, 6)},
        {"", -3.0, -2e9, "", -1.75, "", ""},
        {"", "", 7.0, 0.1, 1e-7, "plain", ""},
        {"总计", 3.0, 7.0 - 2e9 + 1e9, 12.6, "", "", ""},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (int r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(rows[r].size(), expected[r].size()) << "row " << r;
        for (int c = 0; c < expected[r].size(); ++c)
            expectCell(rows[r][c], expected[r][c], r, c);
    }
}

namespace {

// Every cell of an exported file as LibreOffice reads it, as CSV rows.
QList<QStringList> readBack(const QString& path, const QString& inFilter) {
    QTemporaryDir out;
    QString error;
    const QString csv =
        LibreOffice::convert(path, LibreOffice::kCsvUtf8, out.path(), "C.UTF-8", &error, inFilter);
    QFile file(csv);
    if (csv.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "LibreOffice did not convert " << path.toStdString() << ": "
                      << error.toStdString();
        return {};
    }
    return parseCsv(QString::fromUtf8(file.readAll()));
}

} // namespace

// The modern formats carry Unicode themselves: an English locale reads the Chinese texts, and
// numbers and dates come back as the values they were.
TEST_F(ExcelExportTest, LibreOfficeReadsBackTheModernFormatsInAnEnglishLocale) {
    if (LibreOffice::program().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the read-back check needs it";
    program.exec("create table T_Read (Name VARCHAR(50), Qty INTEGER, Big BIGINT,"
                 " Price CURRENCY, Ratio FLOAT, Note MEMO, Added DATETIME);"
                 "insert into T_Read values ('甲公司', 5, 1000000000, 12.5, 0.03125,"
                 " '多行\n文本, \"引号\"', '2024-03-05 14:07:09');"
                 "insert into T_Read values ('', -3, -2000000000, NULL, -1.75, NULL,"
                 " '2023-12-31 00:00:00');"
                 "insert into T_Read values (NULL, NULL, 7, 0.1, 1e-7, '𠀀 ü', NULL);");
    openList("select * from T_Read order by rowid", kReadColumns);
    query().setDisplayLabel(0, "客户名称");
    const QList<QVariantList> expected = {
        {"客户名称", "Qty", "Big", "Price", "Ratio", "Note", "Added"},
        {"甲公司", 5.0, 1e9, 12.5, 0.03125, "多行\n文本, \"引号\"", "2024-03-05 14:07:09"},
        {"", -3.0, -2e9, "", -1.75, "", "2023-12-31"},
        {"", "", 7.0, 0.1, 1e-7, "𠀀 ü", ""},
        {"总计", 3.0, 7.0 - 2e9 + 1e9, 12.6, "", "", ""},
    };
    const struct {
        QString filter, name, inFilter;
    } formats[] = {{kXlsxFileFilter, "read.xlsx", {}},
                   {kCsvFileFilter, "read.csv", LibreOffice::kReadCsvUtf8}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.name.toStdString());
        dialogs.askFileName = [&](const QString&) { return SaveChoice{pathIn("read"), f.filter}; };
        messages.answers = {mbCancel};
        ASSERT_TRUE(exportAs(QString()));
        ASSERT_EQ(messages.texts(),
                  QStringList{"文件" + pathIn(f.name) + "已建立，是否打开文件？"});
        messages.clear();
        const QList<QStringList> rows = readBack(pathIn(f.name), f.inFilter);
        ASSERT_EQ(rows.size(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            ASSERT_EQ(rows[r].size(), expected[r].size()) << "row " << r;
            for (int c = 0; c < expected[r].size(); ++c)
                expectCell(rows[r][c], expected[r][c], r, c);
        }
    }
}

// A text that a spreadsheet would take for a formula is written so that LibreOffice, which
// evaluates such cells, shows it as a text (with the apostrophe before it), while our own
// import reads every cell back as it was. Numbers and telephone numbers are written as they are.
TEST_F(ExcelExportTest, CsvTextsThatLookLikeFormulasStayTextsAndImportBackWhole) {
    if (LibreOffice::program().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the read-back check needs it";
    const struct {
        QString text;
        bool guarded;
    } cases[] = {
        {R"(=HYPERLINK("http://x","y"))", true},
        {"+cmd|' /C calc'!A0", true},
        {"=1+1", true},
        {"-2+A1", true},
        {"@SUM(1;2)", true},
        {"\t=1+1", true},
        {"\r\n=1+1", true},
        {" =1", true},
        {"'=1+1", true}, // an apostrophe of its own comes back too
        {"''@x", true},
        {"+86 138 0013 8000", false},
        {"-", false},
        {"(010) 8888-6666", false},
        {"'quoted'", false},
        {"a=b", false},
        {"北京 =", false},
    };
    program.exec("create table T_Csv (Name VARCHAR(100), Qty INTEGER)");
    for (int i = 0; i < int(std::size(cases)); ++i)
        program.exec(QString("insert into T_Csv values ('%1', %2)")
                         .arg(QString(cases[i].text).replace("'", "''"))
                         .arg(-1 - i));
    openList("select * from T_Csv order by rowid", {{"Name", fvtNon}, {"Qty", fvtNon}});
    grid.setFooterRowCount(0);
    dialogs.askFileName = [&](const QString&) {
        return SaveChoice{pathIn("formulas"), kCsvFileFilter};
    };
    messages.answers = {mbCancel};
    ASSERT_TRUE(exportAs(QString()));

    const QList<QStringList> shown = readBack(pathIn("formulas.csv"), LibreOffice::kReadCsvUtf8);
    CsvReader ours(pathIn("formulas.csv"));
    QVariantList cells;
    ASSERT_TRUE(ours.next(cells));
    ASSERT_EQ(shown.size(), int(std::size(cases)) + 1);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.text.toStdString());
        QString text = (c.guarded ? "'" : "") + c.text;
        text.replace("\r\n", "\n"); // LibreOffice keeps a line break in a cell as LF
        EXPECT_EQ(shown[i + 1], (QStringList{text, QString::number(-1 - i)}));
        ASSERT_TRUE(ours.next(cells));
        EXPECT_EQ(cells, (QVariantList{c.text, QString::number(-1 - i)}));
    }
}
