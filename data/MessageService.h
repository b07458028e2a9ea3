#pragma once

#include <QString>

class QObject;

enum class MsgIcon { None, Information, Warning, Error, Question };

// Buttons of a message box; a box shows a combination, and answers with one of them.
enum MsgButton { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8, mbRetry = 16 };

struct MessageBoxRequest {
    QObject* owner = nullptr; // the window that shows the box; nullptr: the application
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    int buttons = mbOK;
    bool englishButtons = false; // the standard boxes; the program's own speak the desktop's
};

// Every message box of the program goes through here, so tests can read and answer them.
class MessageService {
public:
    explicit MessageService(QString applicationTitle);
    virtual ~MessageService();

    const QString& applicationTitle() const { return title_; }

    // A box with the caller's own text, caption, icon and buttons; returns the button pressed.
    int messageBox(QObject* owner, const QString& text, const QString& caption, MsgIcon icon,
                   int buttons);
    // The general error box: error text (see errorBoxText), application title, error icon, OK.
    void showError(const QString& errorText);
    // A plain notice: the text, the application title as caption, no icon, one OK button.
    void notice(const QString& text, QObject* owner = nullptr);
    // Typed boxes with English captions.
    int confirm(const QString& text, int buttons, QObject* owner = nullptr);     // "Confirm", ?
    int information(const QString& text, int buttons, QObject* owner = nullptr); // "Information"

    // An error text ends with "." when its last ASCII character sorts above "." and is no
    // question mark; one ending in a Chinese letter gets "。"; one ending a sentence, nothing.
    static QString errorBoxText(const QString& errorText);

protected:
    virtual int present(const MessageBoxRequest& request) = 0;

private:
    QString title_;
};

// The executable's file name up to its first dot, every letter after the first in lower case.
QString applicationTitleFromPath(const QString& executablePath);
