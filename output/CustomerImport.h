#pragma once

// Customers from a file's rows into the customer table, all or nothing: one transaction, and
// a cancel or any failure leaves the table as it was.

#include "data/Rights.h"
#include "output/ImportMapping.h"

#include <QList>
#include <QStringList>

class Connection;
class ImportSource;
class WorkProgress;

// What becomes of a row whose name a customer already has (letter case aside, as the editor's
// duplicate test finds it), in the table or earlier in the same file.
enum class OnDuplicate { Skip, Update, Add };
// Rows that cannot be read: nothing is written, or the good rows are.
enum class OnBadRows { WriteNothing, SkipThem };

struct ImportSettings {
    OnDuplicate onDuplicate = OnDuplicate::Skip;
    OnBadRows onBadRows = OnBadRows::WriteNothing;
    // The importing operator's: new customers become theirs, and an update leaves customers
    // they may not see alone (counted as skipped).
    Rights rights;
};

struct BadRow {
    qint64 line = 0;
    QString reason;
};

struct ImportReport {
    qint64 added = 0;
    qint64 updated = 0;
    qint64 skipped = 0;
    qint64 badCount = 0;
    qint64 totalRowLine = 0; // the export's total row, left out; 0 when the file had none
    QList<BadRow> bad;       // the first ones, with their lines
    bool written = false;
    bool cancelled = false;

    QString text(const QString& fileName) const; // as the window shows and saves it
};

// Reads every row after the title row from rows; mapping gives each file column's field ("":
// not imported). Throws AppError, writing nothing, for a mapping without the name column, a
// file without customers or an unreadable file.
ImportReport importCustomers(Connection& connection, ImportSource& rows, const QStringList& mapping,
                             const ImportSettings& settings, WorkProgress* progress = nullptr);

// A cell as a text field receives it and the preview shows it: whole numbers with all their
// digits (a telephone 15000000000, not 1.5e+10), dates as the exports write them.
QString importedText(const QVariant& cell);

// A text or date as the file wrote it, as a date; invalid when it reads as none.
QDateTime importedDate(const QVariant& cell);
