#pragma once

#include "output/WorkProgress.h"

#include <QString>
#include <memory>

class QWidget;

// A window-modal progress bar with the button "取消"; it appears only for jobs that last.
std::unique_ptr<WorkProgress> progressWindow(const QString& label, QWidget* owner);
