#include "tests/e2e/ProgramRun.h"

#include "customers/U_Custom.h"
#include "grid/DataGrid.h"
#include "grid/PrintPreviewService.h"
#include "grid/U_Preview.h"
#include "tests/grid/BiffRecords.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

class Output : public EndToEnd {
  protected:
    void SetUp() override {
        exec("insert into Custom (Company, tel, Mobile, AddDate) values "
                     "('O''Brien Trading', '010-1', '139', '2024-03-05 00:00:00'), "
                     "('北京华盛科技有限公司', NULL, '138', NULL)");
    }
    QTemporaryDir out;
};

// The text cells of a worksheet by row, in file order.
QList<QStringList> labelRows(const QByteArray& bytes) {
    QList<QStringList> rows;
    for (const BiffRecord& r : splitBiff(bytes)) {
        if (r.type != 0x0204)
            continue;
        while (rows.size() <= r.row())
            rows << QStringList();
        rows[r.row()] << r.value().toString();
    }
    return rows;
}

QString pdfText(const QString& path) {
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", path, "-"});
    if (!pdftotext.waitForFinished(20000))
        return "<pdftotext failed>";
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

END_TO_END_ON_EVERY_ENGINE(Output);

} // namespace

TEST_P(Output, ExportWritesTheListAsAWorksheetAndOpensNothingWhenDeclined) {
    const QString typed = out.filePath(QStringLiteral("客户列表"));
    start([&](TFrm_Main& main) {
        onNextModal<QFileDialog>(
            [&](QFileDialog* dialog) {
                EXPECT_EQ(dialog->nameFilters(),
                          QStringList({"EXCEL文件(*.xls)", "EXCEL 2007文件(*.xlsx)", "CSV文件(*.csv)"}))
                    << "the old worksheet stays the first, chosen unless changed";
                dialog->setDirectory(out.path());
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                ASSERT_NE(name, nullptr);
                commitText(name, QStringLiteral("客户列表"));
                QTest::keyClick(name, Qt::Key_Return); // the dialog's Save
                EXPECT_FALSE(dialog->isVisible());
                if (dialog->isVisible())
                    dialog->close(); // the run goes on, and fails below
            },
            "the save dialog");
        messages.answers << mbCancel; // do not open the file in a spreadsheet program
        main.customerList()->N9->actions().value(0)->trigger();
    });
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_EQ(messages.last().text,
              QStringLiteral("文件") + typed + QStringLiteral(".xls已建立，是否打开文件？"));
    const QList<QStringList> rows = labelRows(fileBytes(typed + ".xls"));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], (QStringList{"客户名称", "联系电话", "手机号码", "合同编号", "添加时间",
                                    "详细说明"}));
    EXPECT_EQ(rows[1].value(0), "O'Brien Trading");
    EXPECT_EQ(rows[2].value(0), "北京华盛科技有限公司");
    EXPECT_EQ(rows[3].value(0), "总计");
    EXPECT_EQ(db("select count(*) from Custom"), QList<QStringList>{{"2"}});
}

TEST_P(Output, PrintPreviewShowsTheListAndWritesItAsPdf) {
    const QString pdf = out.filePath("list.pdf");
    start([&](TFrm_Main& main) {
        main.customerList()->N10->trigger();
        TFrm_Preview* preview = main.previews().window();
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return preview->isVisible() && !preview->making(); }));
        preview->writePdf(pdf);
        preview->close();
    });
    const QString text = pdfText(pdf);
    for (const char* expected :
         {"客户名称", "手机号码", "O'Brien Trading", "北京华盛科技有限公司", "2024-03-05", "总计"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " in\n"
                                                                << text.toStdString();
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}
