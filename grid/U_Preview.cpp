#include "U_Preview.h"

#include "ChineseFileDialog.h"
#include "GridPrinter.h"
#include "PrintPainter.h"
#include "U_PrintSettings.h"
#include "data/AppError.h"
#include "data/Guard.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace {

const QString pageWidthChoice = QStringLiteral("页宽度");
const QString wholePageChoice = QStringLiteral("整个页面");
constexpr int paneGap = 10;     // screen pixels around the shown page
constexpr int sliceMillis = 15; // page making yields to input this often

int screenResolution(const QWidget* widget) {
    return std::max(1, widget->logicalDpiX());
}

} // namespace

// The page area: the shown page's picture on white paper, at the chosen zoom.
class TPagePane : public QWidget {
  public:
    explicit TPagePane(TFrm_Preview& preview) : preview_(preview) {}

    QSize pageSize() const {
        const PrintDocument* d = preview_.document();
        if (!d)
            return {};
        const double zoom = preview_.zoomFactor();
        return QSize(int(d->metrics.pageWidth * zoom), int(d->metrics.pageHeight * zoom));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().dark());
        if (preview_.pageCount() == 0)
            return;
        const QSize size = pageSize();
        const QRect paper(std::max(paneGap, (width() - size.width()) / 2), paneGap, size.width(),
                          size.height());
        painter.fillRect(paper, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(paper.adjusted(-1, -1, 0, 0));
        painter.setClipRect(paper);
        painter.translate(paper.topLeft());
        painter.scale(preview_.zoomFactor(), preview_.zoomFactor());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.drawPicture(0, 0, preview_.page(preview_.shownPage()));
    }

  private:
    TFrm_Preview& preview_;
};

TFrm_Preview::TFrm_Preview(MessageService& messages, QWidget* parent)
    : QMainWindow(parent), messages_(messages), zoom_(wholePageChoice) {
    printerInstalled = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };
    buildControls();
    makeTimer_.setInterval(0);
    connect(&makeTimer_, &QTimer::timeout, this, [this] { makeSlice(); });
    updateControls();
}

TFrm_Preview::~TFrm_Preview() = default;

QStringList TFrm_Preview::zoomChoices() {
    return {QStringLiteral("500%"), QStringLiteral("200%"), QStringLiteral("150%"),
            QStringLiteral("100%"), QStringLiteral("75%"),  QStringLiteral("50%"),
            QStringLiteral("25%"),  QStringLiteral("10%"),  pageWidthChoice,
            wholePageChoice};
}

QToolButton* TFrm_Preview::addButton(const QString& caption, void (TFrm_Preview::*handler)()) {
    auto* button = new QToolButton(this);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    findChild<QToolBar*>()->addWidget(button);
    return button;
}

void TFrm_Preview::buildControls() {
    setWindowTitle(QStringLiteral("预览-表格信息"));
    auto* toolBar = addToolBar(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    Btn_Print = addButton(QStringLiteral("打印"), &TFrm_Preview::Btn_PrintClick);
    Btn_PDF = addButton(QStringLiteral("PDF"), &TFrm_Preview::Btn_PDFClick);
    Btn_PrintSettings =
        addButton(QStringLiteral("打印设置"), &TFrm_Preview::Btn_PrintSettingsClick);

    Btn_Zoom = new QToolButton(this);
    Btn_Zoom->setText(QStringLiteral("缩放"));
    Btn_Zoom->setPopupMode(QToolButton::InstantPopup);
    Menu_Zoom = new QMenu(Btn_Zoom);
    for (const QString& choice : zoomChoices())
        Menu_Zoom->addAction(choice);
    Btn_Zoom->setMenu(Menu_Zoom);
    connect(Menu_Zoom, &QMenu::triggered, this, [this](QAction* a) { Menu_ZoomTriggered(a); });
    toolBar->addWidget(Btn_Zoom);

    Btn_PriorPage = addButton(QStringLiteral("上一页"), &TFrm_Preview::Btn_PriorPageClick);
    Btn_NextPage = addButton(QStringLiteral("下一页"), &TFrm_Preview::Btn_NextPageClick);
    Btn_PriorPage->setAutoRepeat(true);
    Btn_NextPage->setAutoRepeat(true);
    Btn_Stop = addButton(QStringLiteral("停止"), &TFrm_Preview::Btn_StopClick);
    Btn_Close = addButton(QStringLiteral("关闭"), &TFrm_Preview::Btn_CloseClick);

    ScrollBox = new QScrollArea(this);
    PagePane = new TPagePane(*this);
    ScrollBox->setWidget(PagePane);
    ScrollBox->setWidgetResizable(false);
    ScrollBox->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setCentralWidget(ScrollBox);

    Label_Status = new QLabel(this);
    statusBar()->addWidget(Label_Status);
    resize(800, 600);
}

QPrinter* TFrm_Preview::chosenPrinter() {
    if (!printerInstalled())
        return nullptr;
    if (!qprinter_)
        qprinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return qprinter_.get();
}

// The chosen printer's paper, or A4 when no printer is installed; margins are the grid's own.
QPageLayout TFrm_Preview::paper() {
    const QPrinter* printer = chosenPrinter();
    if (!printer)
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    const QPageLayout layout = printer->pageLayout();
    return QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF());
}

void TFrm_Preview::preview(GridPrinter& printer) {
    printer_ = &printer;
    startMaking();
}

void TFrm_Preview::startMaking() {
    stopMaking();
    // Made before anything is dropped, so a failure leaves the previous pages intact.
    auto next =
        std::make_unique<PrintDocument>(printer_->makeDocument(paper(), screenResolution(this)));
    pages_.clear();
    shown_ = 0;
    painter_.reset();
    document_ = std::move(next);
    painter_ = std::make_unique<PrintPainter>(*document_);
    making_ = true;
    makeNextPage(); // the window opens on its first page
    refreshPane();
    if (!isVisible() || isMinimized()) // a minimised preview would hide the new pages
        showMaximized();
    raise();
    activateWindow();
    if (pageCount() < document_->pageCount())
        makeTimer_.start();
    else
        stopMaking();
    updateControls();
}

void TFrm_Preview::makeNextPage() {
    QPicture picture;
    picture.setBoundingRect(
        QRect(0, 0, document_->metrics.pageWidth, document_->metrics.pageHeight));
    {
        QPainter painter(&picture);
        painter_->paintPage(painter, pageCount());
    }
    pages_ << picture;
}

void TFrm_Preview::makeSlice() {
    guarded(messages_, [&] {
        QElapsedTimer clock;
        clock.start();
        while (making_ && pageCount() < document_->pageCount() && clock.elapsed() < sliceMillis)
            makeNextPage();
        if (pageCount() >= document_->pageCount())
            stopMaking();
        updateControls();
    });
}

void TFrm_Preview::stopMaking() {
    makeTimer_.stop();
    making_ = false;
}

void TFrm_Preview::showPage(int page) {
    shown_ = std::clamp(page, 0, std::max(0, pageCount() - 1));
    updateControls();
    refreshPane();
}

void TFrm_Preview::updateControls() {
    const bool idle = !making_;
    const bool hasPages = pageCount() > 0;
    Btn_Print->setEnabled(idle && hasPages && printerInstalled());
    Btn_PDF->setEnabled(idle && hasPages);
    Btn_PrintSettings->setEnabled(idle && !printer_.isNull());
    Btn_PriorPage->setEnabled(shown_ > 0);
    Btn_NextPage->setEnabled(shown_ < pageCount() - 1);
    Btn_Stop->setEnabled(making_);
    Btn_Close->setEnabled(idle);
    Label_Status->setText(
        QStringLiteral("第 %1 页，共 %2 页").arg(hasPages ? shown_ + 1 : 0).arg(pageCount()));
}

double TFrm_Preview::zoomFactor() const {
    const double actualSize =
        document_ ? double(screenResolution(this)) / document_->resolution : 1;
    if (zoom_.endsWith('%'))
        return zoom_.chopped(1).toDouble() / 100 * actualSize;
    if (!document_ || document_->metrics.pageWidth <= 0 || document_->metrics.pageHeight <= 0)
        return actualSize;
    const QSize room = ScrollBox->maximumViewportSize() - QSize(2 * paneGap, 2 * paneGap);
    if (zoom_ == pageWidthChoice) { // leaves room for the scroll bar the long page needs
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        return double(std::max(1, room.width() - bar)) / document_->metrics.pageWidth;
    }
    return std::min(double(std::max(1, room.width())) / document_->metrics.pageWidth,
                    double(std::max(1, room.height())) / document_->metrics.pageHeight);
}

void TFrm_Preview::setZoom(const QString& choice) {
    if (zoomChoices().contains(choice))
        zoom_ = choice;
    refreshPane();
}

void TFrm_Preview::refreshPane() {
    const QSize page = PagePane->pageSize() + QSize(2 * paneGap, 2 * paneGap);
    PagePane->resize(page.expandedTo(ScrollBox->viewport()->size())); // grey all around
    PagePane->update();
}

void TFrm_Preview::printPages(QPrinter& target, int first, int last) const {
    if (!document_)
        return;
    first = std::max(1, first);
    last = std::min(pageCount(), last);
    target.setFullPage(true); // the margins are measured from the paper's edges
    target.setDocName(QStringLiteral("表格信息"));
    QPainter painter;
    if (!painter.begin(&target)) {
        const QString file = target.outputFileName();
        throw AppError(file.isEmpty() ? QStringLiteral("Printer selected is not valid")
                                      : QStringLiteral("Cannot create file \"%1\"").arg(file));
    }
    const double scale = double(target.resolution()) / document_->resolution;
    for (int p = first; p <= last; ++p) {
        if (p > first)
            target.newPage();
        painter.save();
        painter.scale(scale, scale);
        // Drawn afresh rather than replayed: a replayed picture loses its text in PDF output.
        painter_->paintPage(painter, p - 1);
        painter.restore();
    }
    painter.end();
}

void TFrm_Preview::writePdf(const QString& path) const {
    if (!document_)
        return;
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    pdf.setPageLayout(document_->paper);
    printPages(pdf, 1, pageCount());
}

void TFrm_Preview::Btn_PrintClick() {
    guarded(messages_, [&] {
        QPrinter* printer = chosenPrinter();
        if (!printer || making_ || pageCount() == 0)
            return;
        QPrintDialog dialog(printer, this);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        dialog.setMinMax(1, pageCount());
        dialog.setFromTo(1, pageCount());
        if (dialog.exec() != QDialog::Accepted)
            return;
        const bool range = printer->printRange() == QPrinter::PageRange;
        printPages(*printer, range ? printer->fromPage() : 1,
                   range ? printer->toPage() : pageCount());
    });
}

void TFrm_Preview::Btn_PDFClick() {
    guarded(messages_, [&] {
        if (making_ || pageCount() == 0)
            return;
        QFileDialog dialog(this, QStringLiteral("PDF"), QStringLiteral("表格信息.pdf"),
                           QStringLiteral("PDF (*.pdf)"));
        speakChinese(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        QString path = dialog.selectedFiles().first();
        // The dialog keeps a name typed without the type's suffix as it is.
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".pdf");
        writePdf(path);
    });
}

void TFrm_Preview::Btn_PrintSettingsClick() {
    guarded(messages_, [&] {
        if (printer_.isNull() || making_)
            return;
        TFrm_PrintSettings dialog(printer_->settings(), chosenPrinter(), messages_, this);
        if (dialog.exec() == QDialog::Accepted)
            startMaking();
    });
}

void TFrm_Preview::Menu_ZoomTriggered(QAction* action) {
    guarded(messages_, [&] { setZoom(action->text()); });
}

void TFrm_Preview::Btn_PriorPageClick() {
    guarded(messages_, [&] { showPage(shown_ - 1); });
}

void TFrm_Preview::Btn_NextPageClick() {
    guarded(messages_, [&] { showPage(shown_ + 1); });
}

void TFrm_Preview::Btn_StopClick() {
    guarded(messages_, [&] {
        stopMaking();
        updateControls();
    });
}

void TFrm_Preview::Btn_CloseClick() {
    guarded(messages_, [&] { close(); });
}

void TFrm_Preview::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape)
        return QMainWindow::keyPressEvent(event);
    guarded(messages_, [&] {
        if (making_)
            Btn_StopClick();
        else
            close();
    });
}

// Closing hides the window for its next use; pages still being made are stopped first.
void TFrm_Preview::closeEvent(QCloseEvent* event) {
    stopMaking();
    updateControls();
    QMainWindow::closeEvent(event);
}

void TFrm_Preview::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    refreshPane();
}
