#include "output/OutputFile.h"

#include "data/AppError.h"

#include <QDir>
#include <QFileInfo>

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString cannotCreateText(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(shownPath(path), reason);
}

OutputFile::OutputFile(const QString& path) : file_(path), shownPath_(shownPath(path)) {
    if (!file_.open(QIODevice::WriteOnly))
        throw AppError(cannotCreateText(path, file_.errorString()));
}

void OutputFile::write(const QByteArray& bytes) {
    if (file_.write(bytes) != bytes.size())
        fail(QStringLiteral("Cannot write file \"%1\". %2"));
}

void OutputFile::commit() {
    if (!file_.commit())
        fail(QStringLiteral("Cannot write file \"%1\". %2"));
}

void OutputFile::fail(const QString& pattern) {
    throw AppError(pattern.arg(shownPath_, file_.errorString()));
}
