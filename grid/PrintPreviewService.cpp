#include "PrintPreviewService.h"

#include "U_Preview.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

PrintPreviewService::PrintPreviewService(MessageService& messages, QObject* parent)
    : QObject(parent), messages_(messages) {}

PrintPreviewService::~PrintPreviewService() = default;

void PrintPreviewService::show(GridPrinter& printer) {
    if (!window_) {
        window_ = std::make_unique<TFrm_Preview>(messages_);
        window_->installEventFilter(this);
    }
    openOver(QApplication::activeModalWidget());
    window_->preview(printer);
}

TFrm_Preview* PrintPreviewService::window() const {
    return window_.get();
}

// A modal opener blocks every window that is not modal above it: the preview opened from
// there becomes modal itself and stays in front of its opener, whose child it never is.
void PrintPreviewService::openOver(QWidget* opener) {
    if (opener == window_.get())
        opener = nullptr;
    opener_ = opener;
    const Qt::WindowModality modality = opener ? Qt::ApplicationModal : Qt::NonModal;
    if (window_->windowModality() != modality) {
        window_->hide(); // modality changes take effect at the next showing
        window_->setWindowModality(modality);
    }
    window_->winId(); // the native window exists from here on, so it can take a front window
    window_->windowHandle()->setTransientParent(opener ? opener->window()->windowHandle()
                                                       : nullptr);
}

bool PrintPreviewService::eventFilter(QObject* watched, QEvent* event) {
    // Closing the preview hands the keyboard back to the window it was opened from.
    if (watched == window_.get() && event->type() == QEvent::Hide && !opener_.isNull())
        opener_->activateWindow();
    return QObject::eventFilter(watched, event);
}
