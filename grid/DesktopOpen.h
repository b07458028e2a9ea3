#pragma once

#include <QString>
#include <functional>

// Opens a file in the desktop's default program for its type: through xdg-open where it is
// installed, else through the desktop services. failed runs, at once or once xdg-open has
// answered, when the desktop could not open the file; the window never waits for it.
void openWithDefaultProgram(const QString& path, const std::function<void()>& failed);
