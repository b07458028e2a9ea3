#include "data/AppError.h"
#include "grid/GridPrinter.h"
#include "grid/U_PrintSettings.h"
#include "tests/support/RecordingMessageService.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

TEST(PrintSettingsDialog, ShowsTheSettingsAndEnablesTheFitChoiceOnlyWhileTicked) {
    RecordingMessageService messages;
    PrintSettings settings;
    TFrm_PrintSettings dialog(settings, nullptr, messages);
    EXPECT_EQ(dialog.windowTitle(), "打印设置");
    EXPECT_EQ(dialog.Edit_Top->text(), "2");
    EXPECT_EQ(dialog.Edit_Right->text(), "2");
    EXPECT_FALSE(dialog.Chk_FitWidth->isChecked());
    EXPECT_FALSE(dialog.Radio_ScaleGrid->isEnabled());
    EXPECT_FALSE(dialog.Btn_PrinterSetup->isEnabled()); // no printer given

    dialog.Chk_FitWidth->setChecked(true);
    EXPECT_TRUE(dialog.Radio_ScaleGrid->isEnabled());
    EXPECT_TRUE(dialog.Radio_ChangeWidths->isEnabled());
    EXPECT_TRUE(dialog.Radio_ScaleGrid->isChecked());
}

TEST(PrintSettingsDialog, OkWritesBackAndCancelChangesNothing) {
    RecordingMessageService messages;
    PrintSettings settings;
    {
        TFrm_PrintSettings dialog(settings, nullptr, messages);
        dialog.Edit_Top->setText("5");
        dialog.Chk_OptimalWidths->setChecked(true);
        dialog.Btn_Cancel->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_DOUBLE_EQ(settings.marginTopCm, 2.0);
    EXPECT_FALSE(settings.optimalColumnWidths);

    TFrm_PrintSettings dialog(settings, nullptr, messages);
    dialog.Edit_Top->setText(" 1.5 ");
    dialog.Edit_Left->setText("0");
    dialog.Edit_Font->setText("WenQuanYi Micro Hei");
    dialog.Chk_FitWidth->setChecked(true);
    dialog.Radio_ChangeWidths->setChecked(true);
    dialog.Chk_Stretch->setChecked(true);
    dialog.Btn_OK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_DOUBLE_EQ(settings.marginTopCm, 1.5);
    EXPECT_DOUBLE_EQ(settings.marginLeftCm, 0.0);
    EXPECT_DOUBLE_EQ(settings.marginBottomCm, 2.0);
    EXPECT_EQ(settings.fontName, "WenQuanYi Micro Hei");
    EXPECT_TRUE(settings.fitToPageWidth);
    EXPECT_EQ(settings.fitMode, PrintSettings::ChangeColumnWidths);
    EXPECT_TRUE(settings.stretchLongLines);
}

TEST(PrintSettingsDialog, AMarginThatIsNoNumberIsReportedAndChangesNothing) {
    RecordingMessageService messages;
    PrintSettings settings;
    TFrm_PrintSettings dialog(settings, nullptr, messages);
    dialog.show();
    dialog.Edit_Top->setText("3");
    dialog.Edit_Bottom->setText("2,5cm");
    dialog.Btn_OK->click();

    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "'2,5cm' is not a valid floating point value.");
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_TRUE(dialog.isVisible()); // stays open for a correction
    EXPECT_DOUBLE_EQ(settings.marginTopCm, 2.0);

    for (const QString& bad : {QString(), QString("inf")})
        EXPECT_THROW(marginValue(bad), AppError);
}

TEST(PrintSettingsDialog, CancelTakesBackAPaperChosenInThePrinterSetup) {
    RecordingMessageService messages;
    PrintSettings settings;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    for (const bool ok : {false, true}) {
        TFrm_PrintSettings dialog(settings, &printer, messages);
        printer.setPageSize(QPageSize(QPageSize::A5)); // as the printer setup does at once
        (ok ? dialog.Btn_OK : dialog.Btn_Cancel)->click();
        EXPECT_EQ(printer.pageLayout().pageSize().id(), ok ? QPageSize::A5 : QPageSize::A4);
    }
}
