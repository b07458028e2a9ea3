#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class GridPrinter;
class MessageService;
class TFrm_Preview;
class QWidget;

// The application's one preview window: made at first use, reused after that. The main
// sequence creates this service and hands it to the windows that print.
class PrintPreviewService : public QObject {
    Q_OBJECT
  public:
    explicit PrintPreviewService(MessageService& messages, QObject* parent = nullptr);
    ~PrintPreviewService() override;

    // Makes the printer's pages and shows them, over the active modal window if there is one.
    void show(GridPrinter& printer);
    TFrm_Preview* window() const; // nullptr until first use

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void openOver(QWidget* opener);

    MessageService& messages_;
    QPointer<QWidget> opener_;
    std::unique_ptr<TFrm_Preview> window_;
};
