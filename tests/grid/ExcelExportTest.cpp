#include "ExcelExportFixture.h"

#include "data/AppError.h"
#include "grid/BiffWriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

namespace {

// Described cells, printed readably when a comparison fails.
struct Cells {
    QStringList list;
    bool operator==(const Cells&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Cells& cells) {
        return os << "[" << cells.list.join(" | ").toStdString() << "]";
    }
};

Cells cells(std::initializer_list<QString> texts) {
    return {QStringList(texts)};
}

// One record as a short text: "L:text", "N:number", "R:whole", "B" (XF 0x17), "BOF", "EOF".
QString describe(const BiffRecord& r) {
    switch (r.type) {
    case biff::kLabel:
        return "L:" + r.value().toString();
    case biff::kNumber:
        return "N:" + QString::number(r.value().toDouble(), 'g', 15);
    case biff::kRk:
        return "R:" + QString::number(r.value().toLongLong());
    case biff::kBlank:
        return r.xf() == 0x17 ? "B" : "B with XF " + QString::number(r.xf());
    case biff::kBof:
        return "BOF";
    case biff::kCodePage:
        return "CP:" + QString::number(qFromLittleEndian<quint16>(r.data.constData()));
    case biff::kEof:
        return "EOF";
    }
    return "type " + QString::number(r.type, 16);
}

Cells describeAll(const QList<BiffRecord>& records) {
    Cells out;
    for (const auto& r : records)
        out.list << describe(r);
    return out;
}

// The cells of one sheet row, described.
Cells rowCells(const QList<BiffRecord>& records, int row) {
    Cells out;
    for (const auto& r : records)
        if (r.type != biff::kBof && r.type != biff::kCodePage && r.type != biff::kEof &&
            r.row() == row)
            out.list << describe(r);
    return out;
}

// The cells follow BOF and the code page.
void expectRowByRow(const QList<BiffRecord>& records, int columns) {
    for (int i = 2; i + 1 < records.size(); ++i) {
        EXPECT_EQ(records[i].row(), (i - 2) / columns) << "record " << i;
        EXPECT_EQ(records[i].column(), (i - 2) % columns) << "record " << i;
    }
}

} // namespace

TEST_F(ExcelExportTest, ThreeCustomersGiveTitlesRecordsAndTheFooterRow) {
    openThreeCustomers();
    ASSERT_TRUE(exportAs(pathIn("list")));
    const auto records = exported(pathIn("list.xls"));
    EXPECT_EQ(describeAll(records),
              cells({"BOF",        "CP:936", // GBK, for readers outside a Chinese desktop
                     "L:客户名称", "L:tel",   "L:CustCode", "L:Mobile",
                     "L:甲公司",   "L:010-1", "R:1",        "L:139", //
                     "L:乙公司",   "L:010-2", "R:2",        "B",     //
                     "L:丙",       "L:",      "R:3",        "L:137", //
                     "L:总计",     "N:3",     "N:6",        "L:",    //
                     "EOF"}));
    ASSERT_EQ(records.size(), 23);
    EXPECT_EQ(records[0].data, hexBytes("00 00 10 00 00 00 00 00"));
    EXPECT_EQ(records[1].data, hexBytes("A8 03"));
    expectRowByRow(records, 4);
    EXPECT_EQ(records[18].data.mid(8), hexBytes("D7 DC BC C6")) << "总计 in GBK";
    EXPECT_EQ(records[21].data.size(), 8) << "a column without footer: LABEL with n = 0";
}

TEST_F(ExcelExportTest, CellsFollowTheFieldKinds) {
    program.exec("create table T_Kinds (Whole INTEGER, Big BIGINT, Ratio FLOAT, Price CURRENCY,"
                 " Amount DECIMAL(10,2), Name VARCHAR(20), Note MEMO, Added DATETIME,"
                 " Paid BOOLEAN);"
                 "insert into T_Kinds values (5, 9000000000, 1.5, 2.25, 3.1, '名', '备注',"
                 " '2024-01-02 08:30:00', 1);"
                 "insert into T_Kinds values (1000000000, NULL, NULL, NULL, NULL, NULL, NULL,"
                 " NULL, NULL);"
                 "insert into T_Kinds values (-7, -1, 0, 0, 0, '', '', '2024-01-02 00:00:00', 0);");
    openList("select * from T_Kinds order by rowid", {{"Whole", fvtNon},
                                                      {"Big", fvtNon},
                                                      {"Ratio", fvtNon},
                                                      {"Price", fvtNon},
                                                      {"Amount", fvtNon},
                                                      {"Name", fvtNon},
                                                      {"Note", fvtNon},
                                                      {"Added", fvtNon},
                                                      {"Paid", fvtNon},
                                                      {"NoSuchField", fvtNon}});
    grid.setFooterRowCount(0);
    const Query& q = query();
    auto shown = [&](int row, const char* field) {
        return "L:" + q.displayText(row, q.findField(field));
    };

    ASSERT_TRUE(exportAs(pathIn("kinds.xls")));
    const auto records = exported(pathIn("kinds.xls"));
    EXPECT_EQ(rowCells(records, 1),
              cells({"R:5", shown(0, "Big"), "N:1.5", "N:2.25", "N:3.1", "L:名", "L:备注",
                     shown(0, "Added"), shown(0, "Paid"), "B"}));
    EXPECT_EQ(shown(0, "Big"), "L:9000000000");
    EXPECT_EQ(rowCells(records, 2),
              cells({"N:1000000000", "B", "B", "B", "B", "B", "B", "B", "B", "B"}))
        << "a whole number beyond the RK range is a NUMBER; Null is BLANK";
    EXPECT_EQ(rowCells(records, 3), cells({"R:-7", "L:-1", "N:0", "N:0", "N:0",
                                           "L:", "L:", shown(2, "Added"), shown(2, "Paid"), "B"}))
        << "an empty text that is not Null is an empty LABEL";
    EXPECT_EQ(records.size(), 2 + 10 * 4 + 1) << "no footer row on a grid without one";
}

TEST_F(ExcelExportTest, TotalsAreHeldInTenThousandthsWithHalvesToEven) {
    // 0.03125 and 0.09375 are exact binary halves of a 1/10000 unit: 312.5 and 937.5.
    program.exec("create table T_Sums (A FLOAT, B FLOAT, C INTEGER, D VARCHAR(10));"
                 "insert into T_Sums values (0.03125, 0.09375, 2, '1.5'), (0.03125, 0.09375, -5,"
                 " 'abc'), (NULL, NULL, NULL, NULL), (0.00005, 0, 0, ' 2 ')");
    openList("select * from T_Sums",
             {{"A", fvtSum}, {"B", fvtSum}, {"C", fvtSum}, {"D", fvtSum}, {"C", fvtCount}});
    ASSERT_TRUE(exportAs(pathIn("sums.xls")));
    const auto records = exported(pathIn("sums.xls"));
    // 0.00005 is stored a little above the half, so it rounds up to one unit.
    EXPECT_EQ(rowCells(records, 5), cells({"N:0.0625", "N:0.1876", "N:-3", "N:3.5", "N:4"}));
}

TEST_F(ExcelExportTest, SortedListExportsInItsOrderWithAllRowsAndTheViewStays) {
    program.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 200)"
                 " insert into Custom (Company) select printf('客户%03d', i) from n");
    openList("select * from Custom", {{"Company", fvtNon}});
    grid.setFooterRowCount(0);
    grid.setMultiSelect(true);
    grid.resize(300, 200);
    grid.show();
    query().setSort("Company DESC");
    query().setRecNo(150);
    grid.setRowMarked(3, true);
    QScrollBar* scroll = grid.view()->verticalScrollBar();
    scroll->setValue(scroll->maximum() / 2);
    const int scrolledTo = scroll->value();

    ASSERT_TRUE(exportAs(pathIn("sorted.xls")));
    const auto records = exported(pathIn("sorted.xls"));
    ASSERT_EQ(records.size(), 2 + 1 + 200 + 1) << "marks do not limit the export";
    EXPECT_EQ(describe(records[3]), "L:客户200");
    EXPECT_EQ(describe(records[202]), "L:客户001");
    EXPECT_EQ(query().recNo(), 150);
    EXPECT_EQ(scroll->value(), scrolledTo);
    EXPECT_TRUE(grid.view()->updatesEnabled()) << "the display is unfrozen again";
}

TEST(ExcelFileName, TrimsAndAppendsXlsUnlessItOccurs) {
    EXPECT_EQ(excelFileName("list"), "list.xls");
    EXPECT_EQ(excelFileName("list.xls"), "list.xls");
    EXPECT_EQ(excelFileName("LIST.XLS"), "LIST.XLS.xls");
    EXPECT_EQ(excelFileName("list.xlsx"), "list.xlsx");
    EXPECT_EQ(excelFileName("list.xls.txt"), "list.xls.txt");
    EXPECT_EQ(excelFileName(" \tlist  \r\n"), "list.xls");
    EXPECT_EQ(excelFileName("list.xls  "), "list.xls");
}

TEST_F(ExcelExportTest, AsksThenOffersToOpenTheTrimmedName) {
    openThreeCustomers();
    const QString name = pathIn("名单.xls");
    messages.answers = {mbCancel, mbOK};
    ASSERT_TRUE(exportAs(pathIn("名单  ")));
    EXPECT_EQ(askedFilters,
              QStringList{"EXCEL文件(*.xls);;EXCEL 2007文件(*.xlsx);;CSV文件(*.csv)"});
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "文件" + name + "已建立，是否打开文件？");
    EXPECT_EQ(messages.last().caption, "Information");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(messages.last().buttons, mbOK | mbCancel);
    EXPECT_TRUE(openedFiles.isEmpty()) << "Cancel opens nothing";
    EXPECT_TRUE(QFile::exists(name));

    ASSERT_TRUE(exportAs(name));
    EXPECT_EQ(openedFiles, QStringList{name});
}

TEST_F(ExcelExportTest, AFileTheDesktopCannotOpenIsReportedWithItsFullPath) {
    openThreeCustomers();
    openFails = true;
    messages.answers = {mbOK, mbOK};
    ASSERT_TRUE(exportAs(pathIn("名单")));
    ASSERT_EQ(messages.shown.size(), 2);
    const QString full = QDir::toNativeSeparators(QFileInfo(pathIn("名单.xls")).absoluteFilePath());
    EXPECT_EQ(messages.last().text, fileNotOpenedText(full));
    EXPECT_TRUE(messages.last().text.contains(full)) << messages.last().text.toStdString();
    EXPECT_EQ(messages.last().caption, "提示");
    EXPECT_EQ(messages.last().icon, MsgIcon::Warning);
    EXPECT_EQ(messages.last().buttons, mbOK);
}

// The real desktop request, with a stand-in xdg-open (or none) on the PATH.
TEST(OpenWithDefaultProgram, ReportsAFailureOnlyWhenTheDesktopCouldNotOpenTheFile) {
    const struct {
        const char* xdgOpenExit; // nullptr: no xdg-open installed
        bool failed;
    } cases[] = {{"0", false}, {"3", true}, {"4", true}, {nullptr, true}};
    const QByteArray path = qgetenv("PATH");
    for (const auto& c : cases) {
        QTemporaryDir bin;
        const QString file = bin.filePath(QStringLiteral("名单.xls"));
        QFile(file).open(QIODevice::WriteOnly);
        const QString asked = bin.filePath("asked");
        if (c.xdgOpenExit) {
            QFile script(bin.filePath("xdg-open"));
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\necho \"$1\" > '" + asked.toUtf8() + "'\nexit " +
                         c.xdgOpenExit + "\n");
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        qputenv("PATH", bin.path().toUtf8());
        bool failed = false;
        openWithDefaultProgram(file, [&failed] { failed = true; });
        qputenv("PATH", path);
        EXPECT_TRUE(QTest::qWaitFor([] { return qApp->findChildren<QProcess*>().isEmpty(); }));
        EXPECT_EQ(failed, c.failed) << (c.xdgOpenExit ? c.xdgOpenExit : "no xdg-open");
        QFile answer(asked);
        if (c.xdgOpenExit && answer.open(QIODevice::ReadOnly))
            EXPECT_EQ(answer.readAll().trimmed(), file.toUtf8()) << "asked with the full path";
        else
            EXPECT_FALSE(c.xdgOpenExit) << "xdg-open was not run";
    }
}

TEST_F(ExcelExportTest, RefusesAClosedOrEmptyListBeforeAskingForAName) {
    query().close();
    ASSERT_TRUE(exportAs(pathIn("a.xls")));
    openList("select * from Custom", {{"Company", fvtNon}});
    ASSERT_TRUE(exportAs(pathIn("b.xls")));

    EXPECT_EQ(messages.texts(),
              QStringList({"数据没有显示不能导出成Excel文件!", "没有数据,不能导出成Excel文件!"}));
    for (const auto& box : messages.shown) {
        EXPECT_EQ(box.caption, messages.applicationTitle());
        EXPECT_EQ(box.icon, MsgIcon::None);
        EXPECT_EQ(box.buttons, mbOK);
    }
    EXPECT_TRUE(askedFilters.isEmpty());
    EXPECT_FALSE(QFile::exists(pathIn("a.xls")));
    EXPECT_FALSE(QFile::exists(pathIn("b.xls")));
}

TEST_F(ExcelExportTest, ListsBeyondTheSheetsRowsAreRefusedAndTheLastRowFits) {
    // Titles and the footer take two of the 65536 rows.
    program.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 65534)"
                 " insert into Custom (Company) select i from n");
    openList("select * from Custom", {{"Company", fvtNon}, {"CustCode", fvtCount}});
    ASSERT_EQ(maxExportRecords(grid), 65534);
    ASSERT_TRUE(exportAs(pathIn("full.xls")));
    const auto records = exported(pathIn("full.xls"));
    ASSERT_EQ(records.size(), 3 + 2 * (65534 + 2));
    EXPECT_EQ(records[records.size() - 2].row(), 65535);
    EXPECT_EQ(describe(records[records.size() - 2]), "N:65534");

    program.exec("insert into Custom (Company) values ('one more')");
    openList("select * from Custom", {{"Company", fvtNon}});
    messages.clear();
    askedFilters.clear();
    ASSERT_TRUE(exportAs(pathIn("over.xls")));
    EXPECT_EQ(messages.texts(), QStringList{"记录超过 65534 条，不能导出成Excel文件!"});
    EXPECT_EQ(askedFilters.size(), 1) << "refused once .xls is chosen: .xlsx holds more";
    EXPECT_THROW(writeGridWorksheet(query(), grid, pathIn("over.xls")), AppError);
    EXPECT_FALSE(QFile::exists(pathIn("over.xls")));
}

TEST_F(ExcelExportTest, CancelledDialogDoesNothing) {
    openThreeCustomers();
    const QStringList before = filesIn(program.dir());
    ASSERT_TRUE(exportAs(QString()));
    EXPECT_EQ(askedFilters.size(), 1);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(filesIn(program.dir()), before);
}

TEST_F(ExcelExportTest, AFileThatCannotBeCreatedIsReportedAndNothingIsAsked) {
    openThreeCustomers();
    const QString path = pathIn("no such folder/list.xls");
    EXPECT_FALSE(exportAs(path));
    EXPECT_EQ(messages.texts(),
              QStringList{"Cannot create file \"" + path + "\". No such file or directory."});
    EXPECT_EQ(messages.last().caption, messages.applicationTitle());
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_TRUE(openedFiles.isEmpty());
}

TEST_F(ExcelExportTest, ExportingAgainReplacesTheFileWithoutAsking) {
    openThreeCustomers();
    const QString path = pathIn("list.xls");
    writeText(path, "an older file");
    ASSERT_TRUE(exportAs(path));
    program.exec("insert into Custom (Company) values ('丁')");
    openList("select * from Custom order by CustCode", {{"Company", fvtNon}});
    ASSERT_TRUE(exportAs(path));
    const auto records = exported(path);
    EXPECT_EQ(rowCells(records, 4), cells({"L:丁"}));
    EXPECT_EQ(messages.shown.size(), 2) << "only the two offers to open";
    EXPECT_EQ(filesIn(program.dir()), QStringList{"list.xls"});
}

TEST_F(ExcelExportTest, AFailureWhileWritingLeavesTheEarlierFileAndNoHalfFile) {
    program.exec("create table T_Big (Big BIGINT);"
                 "insert into T_Big values (900000000000000000), (1)");
    openList("select * from T_Big", {{"Big", fvtSum}});
    const QString path = pathIn("big.xls");
    writeText(path, "an earlier export");
    EXPECT_FALSE(exportAs(path)) << "a total beyond the footer's range fails the export";
    EXPECT_EQ(readFile(path), "an earlier export");
    EXPECT_EQ(filesIn(program.dir()), QStringList{"big.xls"});
    EXPECT_EQ(messages.shown.size(), 1) << "the error, and no offer to open";
    EXPECT_TRUE(grid.view()->updatesEnabled());
}

TEST(DesktopExportDialogs, SaveDialogHasTheFilterAndReplacesWithoutAsking) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("old.xls");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile("stale name");
    QString seenFilter;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        seenFilter = shown->nameFilters().join(";;");
        EXPECT_TRUE(shown->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(shown->defaultSuffix().isEmpty());
        shown->selectFile(existing);
        static_cast<QDialog*>(shown)->accept();
    });
    EXPECT_EQ(askSaveFileName(dialog, kExcelFileFilter), existing);
    EXPECT_EQ(seenFilter, "EXCEL文件(*.xls)");

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(askSaveFileName(dialog, kExcelFileFilter), QString());
}
