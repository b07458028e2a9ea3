#include "PrintPreviewService.h"

#include "U_Preview.h"

PrintPreviewService::PrintPreviewService(MessageService& messages, QObject* parent)
    : QObject(parent), messages_(messages) {}

PrintPreviewService::~PrintPreviewService() = default;

void PrintPreviewService::show(GridPrinter& printer) {
    if (!window_)
        window_ = std::make_unique<TFrm_Preview>(messages_);
    window_->preview(printer);
}

TFrm_Preview* PrintPreviewService::window() const {
    return window_.get();
}
