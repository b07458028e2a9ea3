#pragma once

#include <functional>

class MessageService;

// Runs one event handler. An exception ends the handler and is shown in the general error box,
// so no exception ever reaches the Qt event loop. Returns false when the handler failed.
bool guarded(MessageService& messages, const std::function<void()>& handler);
