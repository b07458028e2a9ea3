#include "customers/EchoTrace.h"

#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <chrono>

namespace {

class EchoTracer : public QObject {
  public:
    EchoTracer(QLineEdit& box, const QString& path) : QObject(&box), box_(box), file_(path) {
        file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        connect(&box, &QLineEdit::textChanged, this, [this] { changed_ = true; });
        box.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            const QPoint centre = box_.mapToGlobal(box_.rect().center());
            write(QString("box %1 %2\n").arg(centre.x()).arg(centre.y()));
        } else if (event->type() == QEvent::Paint && changed_) {
            changed_ = false;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            write(QString("echo %1 %2\n")
                      .arg(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count())
                      .arg(box_.text().size()));
        }
        return false;
    }

  private:
    void write(const QString& line) { file_.write(line.toUtf8()); }

    QLineEdit& box_;
    QFile file_;
    bool changed_ = false;
};

} // namespace

void traceEchoes(QLineEdit& box) {
    const QString path = qEnvironmentVariable("CUSTDESK_ECHO_TRACE");
    if (!path.isEmpty())
        new EchoTracer(box, path);
}
