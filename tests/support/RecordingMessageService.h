#pragma once

#include "data/MessageService.h"

#include <QList>
#include <functional>

// Records every box instead of showing it, and answers with queued buttons (else the first
// button the box offers, in the order OK, Yes, No, Cancel).
class RecordingMessageService : public MessageService {
public:
    RecordingMessageService() : MessageService("custdesk") {}

    QList<MessageBoxRequest> shown;
    QList<int> answers;
    std::function<void(const MessageBoxRequest&)> onShow; // runs while the "box" is open

    const MessageBoxRequest& last() const { return shown.last(); }
    QStringList texts() const;
    void clear() { shown.clear(); }

protected:
    int present(const MessageBoxRequest& request) override;
};
