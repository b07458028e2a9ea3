#pragma once

#include <QDateTime>
#include <QString>

// The status-bar clock: "2024年03月05日 14时07分09秒  [星期二]".
QString clockText(const QDateTime& when);
