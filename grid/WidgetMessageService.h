#pragma once

#include "data/MessageService.h"

// Message boxes as real Qt dialogs.
class WidgetMessageService : public MessageService {
public:
    using MessageService::MessageService;

protected:
    int present(const MessageBoxRequest& request) override;
};
