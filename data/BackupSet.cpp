#include "BackupSet.h"

#include "AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <numeric>
#include <set>

namespace {

const QString stampFormat = QStringLiteral("yyyyMMdd-HHmmss");

QDate mondayOf(const QDate& day) {
    return day.addDays(1 - day.dayOfWeek());
}

} // namespace

QList<int> surplusBackups(const QList<QDateTime>& taken) {
    QList<int> newestFirst(taken.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&](int a, int b) { return taken[a] > taken[b]; });
    std::set<int> kept;
    std::set<QDate> days;
    for (int i : newestFirst)
        if (days.size() < size_t(BackupSet::dailyCopies) && days.insert(taken[i].date()).second)
            kept.insert(i);
    if (!days.empty()) {
        const QDate dailyWeek = mondayOf(*days.begin());
        std::set<QDate> weeks;
        for (int i : newestFirst) {
            const QDate week = mondayOf(taken[i].date());
            if (week < dailyWeek && weeks.size() < size_t(BackupSet::weeklyCopies) &&
                weeks.insert(week).second)
                kept.insert(i);
        }
    }
    QList<int> surplus;
    for (int i = 0; i < taken.size(); ++i)
        if (!kept.count(i))
            surplus << i;
    return surplus;
}

BackupSet::BackupSet(const QString& databaseFile)
    : folder_(QFileInfo(databaseFile).absoluteDir().filePath("Backup")),
      stem_(QFileInfo(databaseFile).completeBaseName()) {}

QString BackupSet::newPath(const QDateTime& now, const QString& label) const {
    if (!QDir().mkpath(folder_))
        throw AppError(QStringLiteral("无法建立备份文件夹 '%1'").arg(folder_));
    const QString suffix = (label.isEmpty() ? QString() : u'-' + label) + ".db";
    const auto pathAt = [&](const QDateTime& moment) {
        return QDir(folder_).filePath(stem_ + u'-' + moment.toString(stampFormat) + suffix);
    };
    // Two backups within a second move the later one a second on, so names still sort by time.
    QDateTime moment = now;
    while (QFileInfo::exists(pathAt(moment)))
        moment = moment.addSecs(1);
    return pathAt(moment);
}

QList<BackupSet::Entry> BackupSet::entries() const {
    const QRegularExpression name(
        QStringLiteral("^%1-(\\d{8}-\\d{6})\\.db$").arg(QRegularExpression::escape(stem_)),
        QRegularExpression::CaseInsensitiveOption);
    QList<Entry> found;
    for (const QFileInfo& file : QDir(folder_).entryInfoList(QDir::Files)) {
        const auto match = name.match(file.fileName());
        const QDateTime taken = QDateTime::fromString(match.captured(1), stampFormat);
        if (match.hasMatch() && taken.isValid())
            found.append({file.filePath(), taken});
    }
    return found;
}

bool BackupSet::hasOneFrom(const QDate& day) const {
    const QList<Entry> all = entries();
    return std::any_of(all.begin(), all.end(),
                       [&](const Entry& e) { return e.taken.date() == day; });
}

QStringList BackupSet::rotate() const {
    const QList<Entry> all = entries();
    QList<QDateTime> taken;
    for (const Entry& e : all)
        taken << e.taken;
    QStringList removed;
    for (int i : surplusBackups(taken))
        if (QFile::remove(all[i].path))
            removed << all[i].path;
    return removed;
}

BackupResult backupDatabase(Connection& connection, const QDateTime& now,
                            const ProgressFn& progress) {
    const std::unique_ptr<OnlineBackup> backup = connection.onlineBackup();
    if (!backup)
        return {BackupResult::NotSupported, {}};
    const BackupSet set(backup->sourceFile());
    const QString file = set.newPath(now);
    if (!backup->copyTo(file, progress))
        return {BackupResult::Cancelled, {}};
    const QString problems = backup->problemsIn(file);
    if (!problems.isEmpty()) {
        QFile::remove(file);
        throw AppError(QStringLiteral("备份文件检查未通过：%1").arg(problems));
    }
    set.rotate();
    return {BackupResult::Made, file};
}
