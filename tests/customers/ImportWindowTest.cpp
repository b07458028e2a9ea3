#include "customers/U_Import.h"
#include "data/U_Data.h"
#include "output/WorkProgress.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CountingProgress : public WorkProgress {
  public:
    explicit CountingProgress(int& calls) : calls_(calls) {}
    bool advance(qint64, qint64) override { return ++calls_ > 0; }

  private:
    int& calls_;
};

qint64 customerCount(TFrm_Data& data) {
    auto rows = data.ADOConnection1->query({"select count(*) from Custom", {}});
    rows->next();
    return rows->toInt64(0);
}

} // namespace

// The operator's way through the window: a file whose titles name no field, a chosen field,
// 20 rows of preview, a bad row let go, a saved report, and the choice kept for next time.
TEST(ImportWindow, PreviewMappingBadRowsReportAndRememberedChoice) {
    TempProgram program;
    RecordingMessageService messages;
    auto data = program.connect(messages);
    QTemporaryDir dir;
    QByteArray text = "名称,联系电话,备注\r\n";
    for (int i = 1; i <= 25; ++i)
        text += "客户" + QByteArray::number(i) + ",010-" + QByteArray::number(i) + ",x\r\n";
    text += ",没有名称,x\r\n";
    const QString path = dir.filePath("客户.csv");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    int progressCalls = 0;
    ImportDialogs dialogs;
    dialogs.askOpenFile = [&] { return path; };
    dialogs.askReportFile = [&] { return dir.filePath("report.txt"); };
    dialogs.showProgress = [&] { return std::make_unique<CountingProgress>(progressCalls); };

    TFrm_Import window(*data, messages, dialogs);
    EXPECT_EQ(window.windowTitle(), "导入客户");
    window.Btn_File->click();
    ASSERT_EQ(window.Grid_Preview->columnCount(), 3);
    EXPECT_EQ(window.Grid_Preview->rowCount(), 1 + TFrm_Import::kPreviewRows);
    EXPECT_EQ(window.Grid_Preview->item(20, 0)->text(), "客户20");
    EXPECT_EQ(window.mapping(), QStringList({"", "tel", ""}));
    EXPECT_EQ(window.fieldBox(0)->currentText(), "不导入");

    window.Btn_OK->click();
    EXPECT_EQ(messages.texts(), QStringList{"请为客户名称选择文件中的一列。"});
    EXPECT_EQ(customerCount(*data), 0);

    window.fieldBox(0)->setCurrentIndex(window.fieldBox(0)->findData("Company"));
    messages.clear();
    messages.answers = {mbYes};
    window.Btn_OK->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "有 1 行不能导入（见报告）。是否只导入其余的行？");
    EXPECT_EQ(customerCount(*data), 25);
    EXPECT_TRUE(window.imported());
    EXPECT_GE(progressCalls, 1);
    const QString report = window.Memo_Report->toPlainText();
    EXPECT_TRUE(report.contains("新增：25")) << report.toStdString();
    EXPECT_TRUE(report.contains("第 27 行：客户名称为空")) << report.toStdString();

    window.Btn_SaveReport->click();
    QFile saved(dir.filePath("report.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()).trimmed(), report.trimmed());

    TFrm_Import again(*data, messages, dialogs);
    ASSERT_TRUE(again.loadFile(path));
    EXPECT_EQ(again.mapping(), QStringList({"Company", "tel", ""}));
    messages.clear();
    messages.answers = {mbNo};
    EXPECT_FALSE(again.runImport()) << "the bad row again, and this time nothing";
    EXPECT_EQ(customerCount(*data), 25);
}
