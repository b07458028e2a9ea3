#include "U_PrintSettings.h"

#include "DialogFrame.h"
#include "GridPrinter.h"
#include "data/AppError.h"
#include "data/Guard.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

double marginValue(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw AppError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

TFrm_PrintSettings::TFrm_PrintSettings(PrintSettings& settings, QPrinter* printer,
                                       MessageService& messages, QWidget* parent)
    : QDialog(parent), settings_(settings), printer_(printer), messages_(messages) {
    if (printer_)
        paperOnOpening_ = printer_->pageLayout();
    setWindowTitle(QStringLiteral("打印设置"));
    setModal(true);
    buildControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    frameFixedDialog(*this);
    showSettings();
}

namespace {

QLineEdit* addMarginBox(QFormLayout* form, const QString& caption) {
    auto* edit = new QLineEdit;
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

} // namespace

void TFrm_PrintSettings::buildControls() {
    GroupBox_Margins = new QGroupBox(QStringLiteral("页边距(&M)"), this);
    auto* margins = new QFormLayout(GroupBox_Margins);
    Edit_Top = addMarginBox(margins, QStringLiteral("上(&T)"));
    Edit_Bottom = addMarginBox(margins, QStringLiteral("下(&B)"));
    Edit_Left = addMarginBox(margins, QStringLiteral("左(&L)"));
    Edit_Right = addMarginBox(margins, QStringLiteral("右(&R)"));

    Edit_Font = new QLineEdit(this);
    Btn_Font = new QPushButton(QStringLiteral("..."), this);
    Btn_Font->setFixedWidth(32);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(new QLabel(QStringLiteral("字体"), this));
    fontRow->addWidget(Edit_Font, 1);
    fontRow->addWidget(Btn_Font);

    Chk_FitWidth = new QCheckBox(QStringLiteral("调整宽度以适合页宽"), this);
    Radio_ScaleGrid = new QRadioButton(QStringLiteral("缩放整个表格"), this);
    Radio_ChangeWidths = new QRadioButton(QStringLiteral("改变列宽度"), this);
    Chk_Colored = new QCheckBox(QStringLiteral("彩色的"), this);
    Chk_Stretch = new QCheckBox(QStringLiteral("拉伸长线"), this);
    Chk_OptimalWidths = new QCheckBox(QStringLiteral("最佳列宽"), this);
    Btn_PrinterSetup = new QPushButton(QStringLiteral("打印机设置(&P)"), this);
    Btn_OK = new QPushButton(QStringLiteral("确定(&O)"), this);
    Btn_Cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    Btn_OK->setDefault(true);

    auto* fit = new QVBoxLayout;
    fit->addWidget(Chk_FitWidth);
    fit->addWidget(Radio_ScaleGrid);
    fit->addWidget(Radio_ChangeWidths);
    fit->setContentsMargins(0, 0, 0, 0);
    Radio_ScaleGrid->setContentsMargins(20, 0, 0, 0);
    Radio_ChangeWidths->setContentsMargins(20, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Btn_PrinterSetup);
    buttons->addStretch();
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox_Margins);
    layout->addLayout(fontRow);
    layout->addLayout(fit);
    layout->addWidget(Chk_Colored);
    layout->addWidget(Chk_Stretch);
    layout->addWidget(Chk_OptimalWidths);
    layout->addLayout(buttons);

    Btn_PrinterSetup->setEnabled(printer_ != nullptr);
    connect(Chk_FitWidth, &QCheckBox::toggled, this, [this] { Chk_FitWidthClick(); });
    connect(Btn_Font, &QPushButton::clicked, this, [this] { Btn_FontClick(); });
    connect(Btn_PrinterSetup, &QPushButton::clicked, this, [this] { Btn_PrinterSetupClick(); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OKClick(); });
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrm_PrintSettings::showSettings() {
    Edit_Top->setText(QString::number(settings_.marginTopCm));
    Edit_Bottom->setText(QString::number(settings_.marginBottomCm));
    Edit_Left->setText(QString::number(settings_.marginLeftCm));
    Edit_Right->setText(QString::number(settings_.marginRightCm));
    Edit_Font->setText(settings_.fontName);
    Chk_FitWidth->setChecked(settings_.fitToPageWidth);
    Radio_ScaleGrid->setChecked(settings_.fitMode == PrintSettings::ScaleWholeGrid);
    Radio_ChangeWidths->setChecked(settings_.fitMode == PrintSettings::ChangeColumnWidths);
    Chk_Colored->setChecked(settings_.colored);
    Chk_Stretch->setChecked(settings_.stretchLongLines);
    Chk_OptimalWidths->setChecked(settings_.optimalColumnWidths);
    Chk_FitWidthClick();
}

void TFrm_PrintSettings::Chk_FitWidthClick() {
    guarded(messages_, [&] {
        Radio_ScaleGrid->setEnabled(Chk_FitWidth->isChecked());
        Radio_ChangeWidths->setEnabled(Chk_FitWidth->isChecked());
    });
}

void TFrm_PrintSettings::Btn_FontClick() {
    guarded(messages_, [&] {
        bool ok = false;
        QFont current = font();
        if (!Edit_Font->text().isEmpty())
            current.setFamily(Edit_Font->text());
        const QFont chosen = QFontDialog::getFont(&ok, current, this);
        if (ok)
            Edit_Font->setText(chosen.family());
    });
}

void TFrm_PrintSettings::Btn_PrinterSetupClick() {
    guarded(messages_, [&] {
        if (!printer_)
            return;
        QPageSetupDialog dialog(printer_, this);
        dialog.exec();
    });
}

void TFrm_PrintSettings::done(int result) {
    if (result == QDialog::Rejected && printer_)
        printer_->setPageLayout(paperOnOpening_);
    QDialog::done(result);
}

void TFrm_PrintSettings::Btn_OKClick() {
    guarded(messages_, [&] {
        writeBack();
        accept();
    });
}

// All boxes are read before anything is written, so a bad margin changes nothing.
void TFrm_PrintSettings::writeBack() {
    PrintSettings changed = settings_;
    changed.marginTopCm = marginValue(Edit_Top->text());
    changed.marginBottomCm = marginValue(Edit_Bottom->text());
    changed.marginLeftCm = marginValue(Edit_Left->text());
    changed.marginRightCm = marginValue(Edit_Right->text());
    changed.fontName = Edit_Font->text().trimmed();
    changed.fitToPageWidth = Chk_FitWidth->isChecked();
    changed.fitMode = Radio_ChangeWidths->isChecked() ? PrintSettings::ChangeColumnWidths
                                                      : PrintSettings::ScaleWholeGrid;
    changed.colored = Chk_Colored->isChecked();
    changed.stretchLongLines = Chk_Stretch->isChecked();
    changed.optimalColumnWidths = Chk_OptimalWidths->isChecked();
    settings_ = changed;
}
