#include "grid/ProgressWindow.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {

class ProgressWindow : public WorkProgress {
  public:
    ProgressWindow(const QString& label, QWidget* owner)
        : dialog_(label, QStringLiteral("取消"), 0, 0, owner) {
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(300);
        dialog_.setAutoReset(false);
        dialog_.setAutoClose(false);
        dialog_.setValue(0);
    }

    bool advance(qint64 done, qint64 total) override {
        // The bar counts in thousandths, so files beyond an int's range still fit.
        const int scale = total > 0 ? int(done * 1000 / total) : 0;
        dialog_.setMaximum(1000);
        dialog_.setValue(scale);
        QCoreApplication::processEvents(); // the cancel button and repaints get their turn
        return !dialog_.wasCanceled();
    }

  private:
    QProgressDialog dialog_;
};

} // namespace

std::unique_ptr<WorkProgress> progressWindow(const QString& label, QWidget* owner) {
    return std::make_unique<ProgressWindow>(label, owner);
}
