#pragma once

#include <QObject>
#include <memory>

class GridPrinter;
class MessageService;
class TFrm_Preview;

// The application's one preview window: made at first use, reused after that. The main
// sequence creates this service and hands it to the windows that print.
class PrintPreviewService : public QObject {
    Q_OBJECT
public:
    explicit PrintPreviewService(MessageService& messages, QObject* parent = nullptr);
    ~PrintPreviewService() override;

    void show(GridPrinter& printer); // makes the printer's pages and shows them
    TFrm_Preview* window() const;    // nullptr until first use

private:
    MessageService& messages_;
    std::unique_ptr<TFrm_Preview> window_;
};
