#include "DurableFile.h"

#include "AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DurableFile {

namespace {

const QString marker = QStringLiteral(".partial-");

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

void syncDescriptorOf(const QString& path, int flags) {
    const int fd = ::open(nativePath(path).constData(), flags | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const QString reason = synced ? QString() : systemReason();
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw AppError(QStringLiteral("无法把 '%1' 写到磁盘上：%2").arg(path, reason));
}

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

QString partialPath(const QString& finalPath) {
    return finalPath + marker + QString::number(::getpid());
}

void removeLeftovers(const QString& folder) {
    static const QRegularExpression partial(
        QStringLiteral("\\.partial-(\\d+)(-journal|-wal|-shm)?$"));
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        const auto match = partial.match(file.fileName());
        if (match.hasMatch() && !processAlive(match.captured(1).toLongLong()))
            QFile::remove(file.filePath());
    }
}

unsigned permissionsOf(const QString& path, unsigned fallback) {
    struct stat info {};
    return ::stat(nativePath(path).constData(), &info) == 0 ? unsigned(info.st_mode) & 0777u
                                                            : fallback;
}

void createEmpty(const QString& path, unsigned permissions) {
    const int fd = ::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          permissions & 0600u);
    // The umask may have taken bits away; set exactly what the file must carry.
    const bool made = fd >= 0 && ::fchmod(fd, permissions & 0777u) == 0;
    const QString reason = made ? QString() : systemReason();
    if (fd >= 0)
        ::close(fd);
    if (!made) {
        if (fd >= 0)
            QFile::remove(path);
        throw AppError(QStringLiteral("无法建立文件 '%1'：%2").arg(path, reason));
    }
}

void makeFolder(const QString& path, unsigned limit) {
    if (!QDir().mkpath(path))
        throw AppError(QStringLiteral("无法建立文件夹 '%1'").arg(path));
    // Others get no more than limit gives them; the owner keeps what it needs to write backups.
    const unsigned allowed = limit | 0700u;
    const unsigned now = permissionsOf(path, 0);
    if ((now & ~allowed) && ::chmod(nativePath(path).constData(), now & allowed) != 0)
        throw AppError(QStringLiteral("无法设置文件夹 '%1' 的权限：%2").arg(path, systemReason()));
}

void commit(const QString& path, const QString& finalPath) {
    syncDescriptorOf(path, O_RDONLY);
    if (::rename(nativePath(path).constData(), nativePath(finalPath).constData()) != 0)
        throw AppError(
            QStringLiteral("无法把 '%1' 改名为 '%2'：%3").arg(path, finalPath, systemReason()));
    syncDescriptorOf(QFileInfo(finalPath).absolutePath(), O_RDONLY | O_DIRECTORY);
}

} // namespace DurableFile
