#pragma once

#include <QMainWindow>
#include <QPageLayout>
#include <QPicture>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class GridPrinter;
class MessageService;
class PrintPainter;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QScrollArea;
class QToolButton;
class TPagePane;
struct PrintDocument;

// The application's print preview: shows a grid printer's pages as they are made, zooms,
// pages through them, prints them, writes them to a PDF file and opens the print settings.
class TFrm_Preview : public QMainWindow {
    Q_OBJECT
  public:
    explicit TFrm_Preview(MessageService& messages, QWidget* parent = nullptr);
    ~TFrm_Preview() override;

    // Replaces the pages by the printer's; the window opens as soon as the first page exists.
    void preview(GridPrinter& printer);

    bool making() const { return making_; }
    int pageCount() const { return int(pages_.size()); }
    int shownPage() const { return shown_; } // 0-based
    void showPage(int page);
    const QPicture& page(int i) const { return pages_.at(i); }
    const PrintDocument* document() const { return document_.get(); }

    static QStringList zoomChoices(); // in menu order; "整个页面" is chosen at first
    void setZoom(const QString& choice);
    const QString& zoom() const { return zoom_; }
    double zoomFactor() const; // screen pixels per page unit

    // Pages first..last (1-based) onto a printer; writePdf writes all pages to a PDF file.
    // Both throw AppError when the device cannot be opened.
    void printPages(QPrinter& target, int first, int last) const;
    void writePdf(const QString& path) const;

    // Whether a printer is installed; tests replace it.
    std::function<bool()> printerInstalled;

    QToolButton* Btn_Print;
    QToolButton* Btn_PrintSettings;
    QToolButton* Btn_Zoom;
    QMenu* Menu_Zoom;
    QToolButton* Btn_PriorPage;
    QToolButton* Btn_NextPage;
    QToolButton* Btn_Stop;
    QToolButton* Btn_Close;
    QToolButton* Btn_PDF;
    QScrollArea* ScrollBox;
    TPagePane* PagePane;
    QLabel* Label_Status;

    void Btn_PrintClick();
    void Btn_PrintSettingsClick();
    void Menu_ZoomTriggered(QAction* action);
    void Btn_PriorPageClick();
    void Btn_NextPageClick();
    void Btn_StopClick();
    void Btn_CloseClick();
    void Btn_PDFClick();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    QToolButton* addButton(const QString& caption, void (TFrm_Preview::*handler)());
    void startMaking();
    void makeSlice();
    void makeNextPage();
    void stopMaking();
    void updateControls();
    void refreshPane();
    QPrinter* chosenPrinter(); // the default printer at first; nullptr when none is installed
    QPageLayout paper();

    MessageService& messages_;
    QPointer<GridPrinter> printer_;
    std::unique_ptr<PrintDocument> document_;
    std::unique_ptr<PrintPainter> painter_;
    std::unique_ptr<QPrinter> qprinter_;
    QList<QPicture> pages_;
    QTimer makeTimer_;
    bool making_ = false;
    int shown_ = 0;
    QString zoom_;
};
