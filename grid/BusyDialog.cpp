#include "grid/BusyDialog.h"

#include "grid/WindowFont.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

BusyDialog::BusyDialog() = default;

BusyDialog::~BusyDialog() = default;

QDialog* BusyDialog::window() const {
    return dialog_.get();
}

void BusyDialog::build() {
    // On top: at start-up the splash window would cover a note centred like itself.
    dialog_ =
        std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::WindowTitleHint |
                                               Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint);
    applyWindowFont(*dialog_);
    dialog_->setWindowTitle(QCoreApplication::applicationName());
    dialog_->setWindowModality(Qt::ApplicationModal);
    Label_Text = new QLabel(dialog_.get());
    Btn_Cancel = new QPushButton(QStringLiteral("取消(&C)"), dialog_.get());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Cancel);
    auto* column = new QVBoxLayout(dialog_.get());
    column->setContentsMargins(16, 16, 16, 12);
    column->addWidget(Label_Text);
    column->addLayout(buttons);
    // Esc and the close box give up the wait as the button does.
    QObject::connect(dialog_.get(), &QDialog::rejected, [this] { cancelled_ = true; });
    QObject::connect(Btn_Cancel, &QPushButton::clicked, dialog_.get(), &QDialog::reject);
}

void BusyDialog::appear(const QString& text) {
    if (!dialog_)
        build();
    cancelled_ = false;
    Label_Text->setText(text);
    dialog_->adjustSize();
    dialog_->setFixedSize(dialog_->sizeHint());
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    Btn_Cancel->setFocus();
}

void BusyDialog::disappear() {
    if (dialog_)
        dialog_->hide();
}

bool BusyDialog::pause(int ms) {
    if (!cancelled_) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        const auto stop =
            QObject::connect(dialog_.get(), &QDialog::rejected, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(stop);
    }
    return !cancelled_;
}
