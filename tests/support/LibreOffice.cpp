#include "LibreOffice.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

QString LibreOffice::program() {
    return QStandardPaths::findExecutable("soffice");
}

QString LibreOffice::convert(const QString& file, const QString& target, const QString& outDir,
                             const QString& locale, QString* error, const QString& inFilter) {
    QProcess lo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", locale);
    env.insert("LC_ALL", locale);
    lo.setProcessEnvironment(env);
    QStringList args{"--headless", "--norestore",
                     "-env:UserInstallation=" +
                         QUrl::fromLocalFile(QDir(outDir).filePath("profile")).toString()};
    if (!inFilter.isEmpty())
        args << "--infilter=" + inFilter;
    args << "--convert-to" << target << "--outdir" << outDir << file;
    lo.start(program(), args);
    if (!lo.waitForFinished(180000)) {
        *error = "LibreOffice did not finish";
        return {};
    }
    const QString out =
        QDir(outDir).filePath(QFileInfo(file).completeBaseName() + "." + target.section(':', 0, 0));
    if (!QFileInfo::exists(out))
        *error = QString::fromLocal8Bit(lo.readAllStandardError() + lo.readAllStandardOutput());
    return QFileInfo::exists(out) ? out : QString();
}

QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field;
            field.clear();
        } else if (c == '\n') {
            rows << (row << field);
            row.clear();
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}
