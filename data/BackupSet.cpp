#include "BackupSet.h"

#include "AppError.h"
#include "DurableFile.h"

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

QList<int> surplusBackups(const QList<QDateTime>& taken, const QDate& today) {
    QList<int> newestFirst(taken.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&](int a, int b) { return taken[a] > taken[b]; });
    const QDate firstDaily = today.addDays(1 - BackupSet::dailyCopies);
    const QDate firstWeekly =
        mondayOf(firstDaily.addDays(-1)).addDays(-7 * (BackupSet::weeklyCopies - 1));
    // A copy is kept when it is the newest of its group: its day in the last days, else its
    // week in the weeks before them.
    std::set<QDate> groups;
    std::set<int> kept;
    for (int i : newestFirst) {
        const QDate day = taken[i].date();
        const QDate group = day >= firstDaily ? day : mondayOf(day);
        if (day >= firstWeekly && groups.insert(group).second)
            kept.insert(i);
    }
    // The start of the day's copy stays beside one the operator asked for later that day.
    for (auto i = newestFirst.rbegin(); i != newestFirst.rend(); ++i)
        if (taken[*i].date() == today) {
            kept.insert(*i);
            break;
        }
    QList<int> surplus;
    for (int i = 0; i < taken.size(); ++i)
        if (!kept.count(i))
            surplus << i;
    return surplus;
}

BackupSet::BackupSet(const QString& databaseFile)
    : folder_(QFileInfo(databaseFile).absoluteDir().filePath("Backup")),
      databaseFolder_(QFileInfo(databaseFile).absolutePath()),
      stem_(QFileInfo(databaseFile).completeBaseName()) {}

QString BackupSet::newPath(const QDateTime& now, const QString& label) const {
    DurableFile::makeFolder(folder_, DurableFile::permissionsOf(databaseFolder_, 0700));
    removeLeftovers();
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

namespace {

// A copy that an older version left half written, with its hot journal beside it: no backup.
bool halfWritten(const QString& path) {
    return QFileInfo(path + "-journal").size() > 0;
}

} // namespace

QList<BackupSet::Entry> BackupSet::entries(bool halfWrittenToo) const {
    const QRegularExpression name(
        QStringLiteral("^%1-(\\d{8}-\\d{6})\\.db$").arg(QRegularExpression::escape(stem_)),
        QRegularExpression::CaseInsensitiveOption);
    QList<Entry> found;
    for (const QFileInfo& file : QDir(folder_).entryInfoList(QDir::Files)) {
        const auto match = name.match(file.fileName());
        const QDateTime taken = QDateTime::fromString(match.captured(1), stampFormat);
        if (match.hasMatch() && taken.isValid() &&
            (halfWrittenToo || !halfWritten(file.filePath())))
            found.append({file.filePath(), taken});
    }
    return found;
}

// Partial copies of killed runs, and half-written ones of an older version.
void BackupSet::removeLeftovers() const {
    DurableFile::removeLeftovers(folder_);
    for (const Entry& e : entries(true))
        if (halfWritten(e.path)) {
            QFile::remove(e.path);
            QFile::remove(e.path + "-journal");
        }
}

bool BackupSet::hasOneFrom(const QDate& day) const {
    const QList<Entry> all = entries();
    return std::any_of(all.begin(), all.end(),
                       [&](const Entry& e) { return e.taken.date() == day; });
}

QStringList BackupSet::rotate(const QDate& today) const {
    const QList<Entry> all = entries();
    QList<QDateTime> taken;
    for (const Entry& e : all)
        taken << e.taken;
    QStringList removed;
    for (int i : surplusBackups(taken, today))
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
    const QString partial = DurableFile::partialPath(file);
    if (!backup->copyTo(partial, progress))
        return {BackupResult::Cancelled, {}};
    const QString problems = backup->problemsIn(partial);
    if (!problems.isEmpty()) {
        QFile::remove(partial);
        throw AppError(QStringLiteral("备份文件检查未通过，没有留下这份备份：%1")
                           .arg(problems.section(u'\n', 0, 0)));
    }
    DurableFile::commit(partial, file);
    set.rotate(now.date());
    return {BackupResult::Made, file};
}
