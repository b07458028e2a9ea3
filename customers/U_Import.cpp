#include "customers/U_Import.h"

#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "data/Worker.h"
#include "grid/ChineseFileDialog.h"
#include "grid/ProgressWindow.h"
#include "output/SheetTable.h"

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

namespace {

const QString kCaption = QStringLiteral("导入客户");
const QString kNotImported = QStringLiteral("不导入");

QComboBox* comboOf(QWidget* parent, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->addItems(items);
    return box;
}

// Progress told by the reading thread, read by the window's timer; the window's cancel
// reaches the reader at its next piece.
class SharedProgress : public WorkProgress {
  public:
    bool advance(qint64 done, qint64 total) override {
        done_ = done;
        total_ = total;
        return !stop;
    }
    int thousandths() const {
        const qint64 total = total_;
        return total > 0 ? int(std::min<qint64>(1000, done_ * 1000 / total)) : 0;
    }
    std::atomic_bool stop{false};

  private:
    std::atomic<qint64> done_{0}, total_{0};
};

struct Reading {
    FilePreview preview;
    QString error;
    bool cancelled = false;
};

// On the reading thread: the title row and the first rows.
void readPreview(const QString& path, const ImportFileOptions& options, Reading& out) {
    try {
        ImportFile file = openImportFile(path, options);
        out.preview.titles = file.titles;
        out.preview.sheetNames = file.sheetNames;
        QVariantList cells;
        while (out.preview.rows.size() < TFrm_Import::kPreviewRows && file.rows->next(cells)) {
            out.preview.rows << cells;
            out.preview.lines << file.rows->line();
        }
    } catch (const ImportCancelled&) {
        out.cancelled = true;
    } catch (const std::exception& e) {
        const auto* known = dynamic_cast<const AppError*>(&e);
        out.error = known ? known->text() : QString::fromLocal8Bit(e.what());
    }
}

} // namespace

TFrm_Import::TFrm_Import(TFrm_Data& data, MessageService& messages, ImportDialogs dialogs,
                         QWidget* parent)
    : QDialog(parent), data_(data), messages_(messages), dialogs_(std::move(dialogs)) {
    setWindowTitle(kCaption);
    resize(860, 560);
    Edit_File = new QLineEdit(this);
    Edit_File->setReadOnly(true);
    Btn_File = new QPushButton(QStringLiteral("选择文件(&F)..."), this);
    Combo_Encoding = comboOf(this, {QStringLiteral("自动识别"), "UTF-8", "UTF-16", "GBK/GB18030"});
    Combo_Separator = comboOf(this, {QStringLiteral("自动识别"), QStringLiteral("逗号"),
                                     QStringLiteral("分号"), QStringLiteral("制表符")});
    Combo_Sheet = new QComboBox(this);
    Combo_Duplicate = comboOf(
        this, {QStringLiteral("跳过"), QStringLiteral("更新已有客户"), QStringLiteral("仍然新增")});
    Grid_Preview = new QTableWidget(this);
    Grid_Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Memo_Report = new QPlainTextEdit(this);
    Memo_Report->setReadOnly(true);
    Memo_Report->setMaximumHeight(130);
    Btn_OK = new QPushButton(QStringLiteral("导入(&I)"), this);
    Btn_OK->setEnabled(false);
    Btn_SaveReport = new QPushButton(QStringLiteral("保存报告(&R)..."), this);
    Btn_SaveReport->setEnabled(false);
    Btn_Cancel = new QPushButton(QStringLiteral("关闭(&Q)"), this);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("文件:"), this));
    fileRow->addWidget(Edit_File, 1);
    fileRow->addWidget(Btn_File);
    auto* optionRow = new QHBoxLayout;
    for (auto [label, box] : {std::pair{QStringLiteral("编码:"), Combo_Encoding},
                              std::pair{QStringLiteral("分隔符:"), Combo_Separator},
                              std::pair{QStringLiteral("工作表:"), Combo_Sheet},
                              std::pair{QStringLiteral("重复的客户:"), Combo_Duplicate}}) {
        optionRow->addWidget(new QLabel(label, this));
        optionRow->addWidget(box);
    }
    optionRow->addStretch();
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(Btn_SaveReport);
    buttonRow->addStretch();
    buttonRow->addWidget(Btn_OK);
    buttonRow->addWidget(Btn_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(optionRow);
    layout->addWidget(Grid_Preview, 1);
    layout->addWidget(Memo_Report);
    layout->addLayout(buttonRow);

    connect(Btn_File, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_FileClick(); }); });
    connect(Btn_OK, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_OKClick(); }); });
    connect(Btn_SaveReport, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_SaveReportClick(); }); });
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QComboBox* box : {Combo_Encoding, Combo_Separator, Combo_Sheet})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!loading_ && !path_.isEmpty())
                reload();
        });
    fields_ = importFields(*data_.ADOConnection1);
}

TFrm_Import::~TFrm_Import() = default;

ImportFileOptions TFrm_Import::options() const {
    ImportFileOptions o;
    o.csv.encoding = TextEncoding(Combo_Encoding->currentIndex());
    static const QChar separators[] = {QChar(), u',', u';', u'\t'};
    o.csv.separator = separators[std::max(0, Combo_Separator->currentIndex())];
    o.sheet = std::max(0, Combo_Sheet->currentIndex());
    return o;
}

void TFrm_Import::Btn_FileClick() {
    if (reading_)
        return;
    const QString path = dialogs_.askOpenFile ? dialogs_.askOpenFile() : QString();
    if (!path.isEmpty()) {
        loading_ = true;
        Combo_Sheet->clear();
        loading_ = false;
        loadFile(path);
    }
}

bool TFrm_Import::loadFile(const QString& path) {
    if (reading_)
        return false;
    path_ = path;
    Edit_File->setText(QDir::toNativeSeparators(path));
    Btn_OK->setEnabled(false);
    Grid_Preview->clear();
    Grid_Preview->setRowCount(0);
    Grid_Preview->setColumnCount(0);

    auto progress = std::make_shared<SharedProgress>();
    auto reading = std::make_shared<Reading>();
    ImportFileOptions o = options();
    o.progress = progress.get();
    QProgressDialog dialog(QStringLiteral("正在读取文件..."), QStringLiteral("取消"), 0, 1000,
                           this);
    dialog.setWindowTitle(kCaption);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300); // shown only for a file that takes its time
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    connect(&dialog, &QProgressDialog::canceled, this, [progress] { progress->stop = true; });
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &dialog,
            [&dialog, progress] { dialog.setValue(progress->thousandths()); });
    ticker.start(100);
    QEventLoop loop;
    Worker reader;
    reader.post([&loop, path, o, progress, reading](const std::atomic_bool&) {
        readPreview(path, o, *reading);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    reading_ = true;
    loop.exec(); // the window goes on answering while the file is read
    reader.wait();
    reading_ = false;
    dialog.hide();

    if (reading->cancelled)
        return false;
    if (!reading->error.isEmpty()) {
        messages_.showError(reading->error);
        return false;
    }
    showPreview(reading->preview);
    Btn_OK->setEnabled(true);
    return true;
}

void TFrm_Import::reload() {
    loadFile(path_);
}

void TFrm_Import::showPreview(const FilePreview& file) {
    titles_ = file.titles;
    loading_ = true;
    const bool isBook = !file.sheetNames.isEmpty();
    if (isBook && Combo_Sheet->count() != file.sheetNames.size()) {
        Combo_Sheet->clear();
        Combo_Sheet->addItems(file.sheetNames);
    }
    Combo_Sheet->setEnabled(isBook);
    Combo_Encoding->setEnabled(!isBook);
    Combo_Separator->setEnabled(!isBook);
    loading_ = false;

    QStringList chosen = rememberedMapping(data_.IniFile, titles_, fields_);
    if (chosen.isEmpty())
        chosen = matchTitles(titles_, fields_);
    Grid_Preview->setColumnCount(int(titles_.size()));
    Grid_Preview->setHorizontalHeaderLabels(titles_);
    Grid_Preview->setRowCount(1);
    Grid_Preview->setVerticalHeaderItem(0, new QTableWidgetItem(QStringLiteral("导入到")));
    for (int c = 0; c < titles_.size(); ++c) {
        auto* box = new QComboBox(Grid_Preview);
        box->addItem(kNotImported, QString());
        for (const ImportField& f : fields_.fields)
            box->addItem(f.title == f.field ? f.field : f.title + " (" + f.field + ")", f.field);
        box->setCurrentIndex(std::max(0, box->findData(chosen.value(c))));
        Grid_Preview->setCellWidget(0, c, box);
    }
    for (int r = 1; r <= file.rows.size(); ++r) {
        const QVariantList& cells = file.rows[r - 1];
        Grid_Preview->setRowCount(r + 1);
        Grid_Preview->setVerticalHeaderItem(
            r, new QTableWidgetItem(QString::number(file.lines[r - 1])));
        for (int c = 0; c < cells.size() && c < titles_.size(); ++c)
            Grid_Preview->setItem(r, c, new QTableWidgetItem(importedText(cells[c])));
    }
}

QComboBox* TFrm_Import::fieldBox(int column) const {
    return qobject_cast<QComboBox*>(Grid_Preview->cellWidget(0, column));
}

QStringList TFrm_Import::mapping() const {
    QStringList fields;
    for (int c = 0; c < Grid_Preview->columnCount(); ++c)
        fields << (fieldBox(c) ? fieldBox(c)->currentData().toString() : QString());
    return fields;
}

ImportReport TFrm_Import::importOnce(OnBadRows onBad) {
    ImportSettings settings;
    settings.onDuplicate = OnDuplicate(Combo_Duplicate->currentIndex());
    settings.onBadRows = onBad;
    settings.rights = data_.rights;
    const std::unique_ptr<WorkProgress> progress =
        dialogs_.showProgress ? dialogs_.showProgress() : nullptr;
    ImportFileOptions o = options();
    o.progress = progress.get(); // a long run of empty rows can be stopped too
    try {
        ImportFile file = openImportFile(path_, o);
        return importCustomers(*data_.ADOConnection1, *file.rows, mapping(), settings,
                               progress.get());
    } catch (const ImportCancelled&) {
        ImportReport report;
        report.cancelled = true;
        return report;
    }
}

bool TFrm_Import::runImport() {
    rememberMapping(data_.IniFile, titles_, mapping());
    ImportReport report = importOnce(OnBadRows::WriteNothing);
    if (!report.written && !report.cancelled && report.badCount > 0) {
        Memo_Report->setPlainText(report.text(QFileInfo(path_).fileName()));
        const int answer = messages_.messageBox(
            this,
            QStringLiteral("有 %1 行不能导入（见报告）。是否只导入其余的行？").arg(report.badCount),
            kCaption, MsgIcon::Question, mbYes | mbNo);
        if (answer == mbYes)
            report = importOnce(OnBadRows::SkipThem);
    }
    reportText_ = report.text(QFileInfo(path_).fileName());
    Memo_Report->setPlainText(reportText_);
    Btn_SaveReport->setEnabled(true);
    imported_ = imported_ || (report.written && report.added + report.updated > 0);
    if (report.written)
        emit customersWritten();
    return report.written;
}

void TFrm_Import::Btn_OKClick() {
    if (reading_)
        return;
    if (!mapping().contains(QStringLiteral("Company"), Qt::CaseInsensitive)) {
        messages_.messageBox(this, QStringLiteral("请为客户名称选择文件中的一列。"), kCaption,
                             MsgIcon::Information, mbOK);
        return;
    }
    runImport();
}

void TFrm_Import::Btn_SaveReportClick() {
    const QString path = dialogs_.askReportFile ? dialogs_.askReportFile() : QString();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(reportText_.toUtf8()) < 0)
        throw AppError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

bool ImportCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                       const std::function<void()>& written) {
    bool imported = false;
    guarded(messages, [&] {
        ImportDialogs dialogs;
        dialogs.askOpenFile = [owner] {
            return chineseOpenFileName(owner, kCaption,
                                       QStringLiteral("客户文件(*.csv *.xlsx);;CSV文件(*.csv);;"
                                                      "EXCEL 2007文件(*.xlsx)"));
        };
        dialogs.askReportFile = [owner] {
            return chineseSaveFileName(owner, QStringLiteral("保存报告"),
                                       QStringLiteral("文本文件(*.txt)"));
        };
        dialogs.showProgress = [owner] {
            return progressWindow(QStringLiteral("正在导入..."), owner);
        };
        TFrm_Import dialog(data, messages, dialogs, owner);
        if (written)
            QObject::connect(&dialog, &TFrm_Import::customersWritten, &dialog, written);
        dialog.exec();
        imported = dialog.imported();
    });
    return imported;
}
