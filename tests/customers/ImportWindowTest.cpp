#include "customers/U_Import.h"
#include "data/U_Data.h"
#include "grid/ChineseFileDialog.h"
#include "output/WorkProgress.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"
#include "tests/support/ZipBomb.h"

#include <QAbstractProxyModel>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The file is read on a thread of its own: while it waits for the file the window goes on
// answering, and "取消" ends the reading with no preview and no message.
TEST(ImportWindow, ReadingAFileKeepsTheWindowAnsweringAndCanBeCancelled) {
    TempProgram program;
    RecordingMessageService messages;
    auto data = program.connect(messages);
    QTemporaryDir dir;
    const QString pipe = dir.filePath("slow.csv"); // opening it waits for a writer
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    TFrm_Import window(*data, messages, {});
    bool answered = false;
    QTimer::singleShot(50, &window, [&] {
        answered = true;
        auto* reading = window.findChild<QProgressDialog*>();
        ASSERT_NE(reading, nullptr);
        auto* cancel = reading->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), "取消");
        cancel->click();
        QFile writer(pipe); // lets the reader on, to find the cancel at its first piece
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        writer.write("客户名称,联系电话\r\n甲,1\r\n");
    });
    EXPECT_FALSE(window.loadFile(pipe));
    EXPECT_TRUE(answered);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(window.Grid_Preview->columnCount(), 0);
    EXPECT_FALSE(window.Btn_OK->isEnabled());
}

// Numbers in the preview as the sheet shows them, and the file chooser's columns in Chinese
// whatever the system's locale.
TEST(ImportWindow, PreviewShowsNumbersAsTheSheetAndTheFileChooserSpeaksChinese) {
    TempProgram program;
    RecordingMessageService messages;
    auto data = program.connect(messages);
    QTemporaryDir dir;
    const QString book = dir.filePath("numbers.xlsx");
    writeZipBomb(book, plainWorkbookParts(
                           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>"
                           "客户名称</t></is></c><c r=\"B1\" t=\"inlineStr\"><is><t>联系电话</t>"
                           "</is></c><c r=\"C1\" t=\"inlineStr\"><is><t>比例</t></is></c></row>"
                           "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>甲</t></is></c><c "
                           "r=\"B2\"><v>15000000000</v></c><c r=\"C2\"><v>0.30000000000000004</v>"
                           "</c></row></sheetData></worksheet>"));
    TFrm_Import window(*data, messages, {});
    ASSERT_TRUE(window.loadFile(book));
    EXPECT_EQ(window.Grid_Preview->item(1, 1)->text(), "15000000000");
    EXPECT_EQ(window.Grid_Preview->item(1, 2)->text(), "0.3");

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QDir(dir.path()).mkdir("子文件夹");
    QFileDialog chooser;
    speakChinese(chooser);
    EXPECT_TRUE(chooser.testOption(QFileDialog::DontUseNativeDialog));
    auto* files = chooser.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
    chooser.setDirectory(dir.path());
    ASSERT_TRUE(loaded.wait(5000) || files->rowCount(files->index(dir.path())) > 0);
    QAbstractProxyModel* shown = chooser.proxyModel();
    ASSERT_NE(shown, nullptr);
    const auto cell = [&](const QString& name, int column) {
        const QModelIndex index =
            shown->mapFromSource(files->index(QDir(dir.path()).filePath(name), column));
        return shown->data(index).toString();
    };
    EXPECT_EQ(cell("子文件夹", 2), "文件夹");
    EXPECT_EQ(cell("numbers.xlsx", 2), "xlsx 文件");
    EXPECT_EQ(cell("numbers.xlsx", 3),
              QLocale().toString(QFileInfo(book).lastModified(), QLocale::ShortFormat));
    QLocale::setDefault(before);
}
