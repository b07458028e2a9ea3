#pragma once

#include <QString>
#include <stdexcept>

// An error the operator is told about: its text goes to the general error box as it stands.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// Another program holds the database: the operation did not run, and nothing was lost.
// Engines throw it for their own lock errors, so callers never mistake a lock for damage.
class DatabaseBusy : public AppError {
public:
    explicit DatabaseBusy(const QString& text = notDoneText()) : AppError(text) {}
    static QString notDoneText() {
        return QStringLiteral("数据库正被其他程序使用，本次操作没有完成，请稍后再试。");
    }
};

// Someone else changed or deleted the row since it was read: nothing was written.
class RowConflict : public AppError {
public:
    RowConflict() : AppError(QStringLiteral("该记录已被其他用户修改或删除，未能保存。")) {}
};
