#include "data/Guard.h"

#include "data/AppError.h"
#include "data/MessageService.h"

#include <exception>

bool guarded(MessageService& messages, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const AppError& error) {
        messages.showError(error.text());
    } catch (const std::exception& error) {
        messages.showError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        messages.showError("Unknown error");
    }
    return false;
}
