#include "RecordingMessageService.h"

QStringList RecordingMessageService::texts() const {
    QStringList out;
    for (const auto& r : shown)
        out << r.text;
    return out;
}

int RecordingMessageService::present(const MessageBoxRequest& request) {
    shown << request;
    if (onShow)
        onShow(request);
    if (!answers.isEmpty())
        return answers.takeFirst();
    for (int b : {mbOK, mbYes, mbNo, mbCancel})
        if (request.buttons & b)
            return b;
    return mbOK;
}
