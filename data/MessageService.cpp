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
    present(MessageBoxRequest{owner, text, title_, MsgIcon::None, mbOK, true});
}

int MessageService::confirm(const QString& text, int buttons, QObject* owner) {
    return present(MessageBoxRequest{owner, text, "Confirm", MsgIcon::Question, buttons, true});
}

int MessageService::information(const QString& text, int buttons, QObject* owner) {
    return present(
        MessageBoxRequest{owner, text, "Information", MsgIcon::Information, buttons, true});
}

namespace {

bool endsSentence(QChar c) {
    return QStringView(u"。！？!?…．").contains(c);
}

bool isCjkLetter(QChar c) {
    const QChar::Script script = c.script();
    return script == QChar::Script_Han || script == QChar::Script_Hiragana ||
           script == QChar::Script_Katakana || script == QChar::Script_Bopomofo;
}

} // namespace

QString MessageService::errorBoxText(const QString& errorText) {
    if (errorText.isEmpty() || endsSentence(errorText.back()))
        return errorText;
    const QChar last = errorText.back();
    if (isCjkLetter(last)) // a Chinese text closes with the Chinese full stop
        return errorText + u'。';
    const bool ascii = last.unicode() < 0x80;
    if ((ascii && last > QChar('.')) || (!ascii && last.isLetterOrNumber()))
        return errorText + u'.';
    return errorText; // a closing quote or bracket of Chinese text needs no Latin stop
}

QString applicationTitleFromPath(const QString& executablePath) {
    const QString name = QFileInfo(executablePath).fileName();
    const QString stem = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
    return stem.left(1) + stem.mid(1).toLower();
}
