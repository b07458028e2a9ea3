#pragma once

#include <QSaveFile>
#include <QString>

// A file written aside and put in place of any earlier one only by commit(); dropped unseen
// when left without it. Failures throw AppError with the texts the operator is shown.
class OutputFile {
  public:
    explicit OutputFile(const QString& path);

    void write(const QByteArray& bytes);
    void commit();

  private:
    [[noreturn]] void fail(const QString& pattern);

    QSaveFile file_;
    QString shownPath_;
};

// The full path as the operator's messages name it.
QString shownPath(const QString& path);

// "Cannot create file "<path>". <reason>"
QString cannotCreateText(const QString& path, const QString& reason);
