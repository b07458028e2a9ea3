#include "data/MessageService.h"

#include <QFileInfo>

MessageService::MessageService(QString applicationTitle) : title_(std::move(applicationTitle)) {}

MessageService::~MessageService() = default;

int MessageService::messageBox(QObject* owner, const QString& text, const QString& caption,
                               MsgIcon icon, int buttons) {
    return present(MessageBoxRequest{owner, text, caption, icon, buttons});
}

void MessageService::showError(const QString& errorText) {
    present(MessageBoxRequest{nullptr, errorBoxText(errorText), title_, MsgIcon::Error, mbOK});
}

void MessageService::notice(const QString& text, QObject* owner) {
    present(MessageBoxRequest{owner, text, title_, MsgIcon::None, mbOK});
}

int MessageService::confirm(const QString& text, int buttons, QObject* owner) {
    return present(MessageBoxRequest{owner, text, "Confirm", MsgIcon::Question, buttons});
}

int MessageService::information(const QString& text, int buttons, QObject* owner) {
    return present(MessageBoxRequest{owner, text, "Information", MsgIcon::Information, buttons});
}

QString MessageService::errorBoxText(const QString& errorText) {
    if (!errorText.isEmpty() && errorText.back() > QChar('.'))
        return errorText + '.';
    return errorText;
}

QString applicationTitleFromPath(const QString& executablePath) {
    const QString name = QFileInfo(executablePath).fileName();
    const QString stem = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
    return stem.left(1) + stem.mid(1).toLower();
}
