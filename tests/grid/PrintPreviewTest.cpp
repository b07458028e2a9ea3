#include "PrintFixture.h"

#include "data/AppError.h"
#include "grid/U_Preview.h"
#include "grid/U_PrintSettings.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

void finishMaking(TFrm_Preview& preview) {
    for (int i = 0; i < 2000 && preview.making(); ++i)
        QTest::qWait(5);
    ASSERT_FALSE(preview.making());
}

// Runs while the settings dialog is open: fills its boxes and presses OK.
void answerSettings(const QStringList& topMargins) {
    QTimer::singleShot(0, [topMargins] {
        auto* dialog = qobject_cast<TFrm_PrintSettings*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (const QString& top : topMargins) {
            dialog->Edit_Top->setText(top);
            dialog->Btn_OK->click();
        }
        if (dialog->isVisible())
            dialog->reject();
    });
}

QString pdfText(const QString& path) {
    QProcess pdftotext;
    pdftotext.start("pdftotext", {path, "-"});
    pdftotext.waitForFinished(30000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

TEST_F(PrintFixture, ThePreviewShowsPagesAsTheyAreMadeAndStopsOnEscape) {
    openWithCustomers(400);
    printer->Preview();
    TFrm_Preview* preview = previews->window();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_TRUE(preview->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(preview->windowTitle(), "预览-表格信息");
    EXPECT_EQ(preview->zoom(), "整个页面");

    // The first page exists, the others are still to come.
    EXPECT_TRUE(preview->making());
    EXPECT_EQ(preview->pageCount(), 1);
    EXPECT_EQ(preview->Label_Status->text(), "第 1 页，共 1 页");
    EXPECT_TRUE(preview->Btn_Stop->isEnabled());
    EXPECT_FALSE(preview->Btn_Close->isEnabled());
    EXPECT_FALSE(preview->Btn_Print->isEnabled());
    EXPECT_FALSE(preview->Btn_PrintSettings->isEnabled());
    EXPECT_FALSE(preview->Btn_PDF->isEnabled());

    QTest::keyClick(preview, Qt::Key_Escape); // stops, keeps what was made
    EXPECT_FALSE(preview->making());
    EXPECT_TRUE(preview->isVisible());
    const int made = preview->pageCount();
    EXPECT_LT(made, preview->document()->pageCount());
    EXPECT_TRUE(preview->Btn_Close->isEnabled());
    EXPECT_FALSE(preview->Btn_Stop->isEnabled());
    QTest::qWait(20);
    EXPECT_EQ(preview->pageCount(), made);

    QTest::keyClick(preview, Qt::Key_Escape); // now closes
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(messages.shown.size());
}

TEST_F(PrintFixture, PagingZoomAndPrintButtonFollowThePages) {
    openWithCustomers(150);
    printer->Preview();
    TFrm_Preview* preview = previews->window();
    finishMaking(*preview);
    const int pages = preview->pageCount();
    ASSERT_GE(pages, 3);
    EXPECT_EQ(preview->Label_Status->text(), QString("第 1 页，共 %1 页").arg(pages));
    EXPECT_FALSE(preview->Btn_PriorPage->isEnabled());
    EXPECT_TRUE(preview->Btn_NextPage->isEnabled());
    EXPECT_TRUE(preview->Btn_NextPage->autoRepeat());
    EXPECT_FALSE(preview->Btn_Print->isEnabled()); // no printer on this machine
    EXPECT_TRUE(preview->Btn_PDF->isEnabled());
    EXPECT_TRUE(preview->Btn_PrintSettings->isEnabled());

    preview->Btn_NextPage->click();
    EXPECT_EQ(preview->Label_Status->text(), QString("第 2 页，共 %1 页").arg(pages));
    EXPECT_TRUE(preview->Btn_PriorPage->isEnabled());
    preview->showPage(pages - 1);
    EXPECT_FALSE(preview->Btn_NextPage->isEnabled());

    QStringList zooms;
    for (QAction* action : preview->Menu_Zoom->actions())
        zooms << action->text();
    EXPECT_EQ(zooms, (QStringList{"500%", "200%", "150%", "100%", "75%", "50%", "25%", "10%",
                                  "页宽度", "整个页面"}));
    preview->Menu_Zoom->actions().at(3)->trigger();
    EXPECT_DOUBLE_EQ(preview->zoomFactor(), 1.0);
    preview->Menu_Zoom->actions().at(0)->trigger();
    EXPECT_DOUBLE_EQ(preview->zoomFactor(), 5.0);

    // A second preview reuses the window, starting at its first page again, and brings a
    // minimised window back.
    preview->printerInstalled = [] { return true; };
    preview->showMinimized();
    printer->Preview();
    EXPECT_EQ(previews->window(), preview);
    EXPECT_EQ(preview->shownPage(), 0);
    EXPECT_FALSE(preview->isMinimized());
    EXPECT_TRUE(preview->isMaximized());
    finishMaking(*preview);
    EXPECT_TRUE(preview->Btn_Print->isEnabled());

    // Closing while pages are made stops the making first.
    printer->Preview();
    ASSERT_TRUE(preview->making());
    preview->close();
    EXPECT_FALSE(preview->making());
    EXPECT_FALSE(preview->isVisible());
}

TEST_F(PrintFixture, NewMarginsRemakeThePagesAndStayWithTheirPrinterOnly) {
    openWithCustomers(3);
    DataGrid otherGrid;
    otherGrid.setQuery(&data->Qry_Cust);
    GridPrinter other(otherGrid, *previews, messages);

    printer->Preview();
    TFrm_Preview* preview = previews->window();
    finishMaking(*preview);
    const int marginAt2cm = preview->document()->metrics.marginTop;

    answerSettings({"x", "4"}); // the first answer is refused, the dialog stays for the second
    preview->Btn_PrintSettings->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "'x' is not a valid floating point value.");
    EXPECT_DOUBLE_EQ(printer->settings().marginTopCm, 4.0);
    EXPECT_NEAR(preview->document()->metrics.marginTop, 2 * marginAt2cm, 1); // made again

    other.Preview();
    finishMaking(*preview);
    EXPECT_EQ(preview->document()->metrics.marginTop, marginAt2cm);
    printer->Preview();
    finishMaking(*preview);
    EXPECT_NEAR(preview->document()->metrics.marginTop, 2 * marginAt2cm, 1);
    EXPECT_DOUBLE_EQ(other.settings().marginTopCm, 2.0);
}

TEST_F(PrintFixture, APdfHoldsTheTitlesTheRowsAndTheFooter) {
    openWithCustomers(60);
    grid->setRowMarked(4, true);
    grid->setRowMarked(41, true);
    printer->Preview();
    TFrm_Preview* preview = previews->window();
    finishMaking(*preview);

    QTemporaryDir dir;
    const QString path = dir.filePath("表格信息.pdf");
    preview->writePdf(path);
    const QString text = pdfText(path);
    for (const char* expected :
         {"客户名称", "联系电话", "客户编号", "客户5", "客户42", "0571-42", "总计"})
        EXPECT_TRUE(text.contains(expected)) << expected << "\n" << qPrintable(text);
    EXPECT_FALSE(text.contains("客户6"));

    EXPECT_THROW(preview->writePdf(dir.filePath("missing/folder/x.pdf")), AppError);

    // The button asks in a dialog that speaks Chinese; a name without its suffix gets one.
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_NE(shown->proxyModel(), nullptr);
        shown->selectFile(dir.filePath("经由对话框"));
        static_cast<QDialog*>(shown)->accept();
    });
    preview->Btn_PDF->click();
    EXPECT_TRUE(QFile::exists(dir.filePath("经由对话框.pdf")));
}
