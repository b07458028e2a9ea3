#include "output/CustomerImport.h"

#include "data/AppError.h"
#include "data/CustomerNames.h"
#include "data/NameFold.h"
#include "data/Statements.h"
#include "data/TextTrim.h"
#include "output/ImportSource.h"
#include "output/SheetTable.h"
#include "output/WorkProgress.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kListedBadRows = 1000; // a report lists this many, and counts the rest
constexpr double kExactWholeLimit = 9007199254740992.0; // 2^53

QString cellText(const QVariant& cell) {
    return importedText(cell);
}

qsizetype characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text.at(i).isLowSurrogate())
            ++count;
    return count;
}

// A file column that goes to a field.
struct Target {
    int column = 0;
    const ImportField* field = nullptr;
};

class RowConverter {
  public:
    RowConverter(const ImportFields& fields, const QStringList& mapping) {
        for (int c = 0; c < mapping.size(); ++c)
            if (const ImportField* f = mapping[c].isEmpty() ? nullptr : fields.find(mapping[c])) {
                targets_.push_back({c, f});
                names_ << f->field;
                if (f->field.compare(u"Company", Qt::CaseInsensitive) == 0)
                    nameIndex_ = int(targets_.size()) - 1;
            }
        if (nameIndex_ < 0)
            throw AppError(QStringLiteral("没有一列对应到客户名称，不能导入。"));
        today_ = QDateTime(QDate::currentDate(), QTime(0, 0), Qt::UTC);
        const ImportField* added = fields.find(QStringLiteral("AddDate"));
        addDateDefault_ = added && !names_.contains(added->field, Qt::CaseInsensitive);
        if (addDateDefault_)
            insertNames_ = names_ + QStringList{added->field};
        else
            insertNames_ = names_;
    }

    const QStringList& names() const { return names_; }
    int nameColumn() const { return targets_[size_t(nameIndex_)].column; }
    const QStringList& insertNames() const { return insertNames_; }

    // The values of the mapped fields, or the reason the row cannot be imported.
    QString convert(const QVariantList& cells, QVariantList& values, QString& name) const {
        values.clear();
        for (const Target& t : targets_) {
            const QVariant cell = t.column < cells.size() ? cells[t.column] : QVariant();
            QVariant value;
            if (const QString why = fieldValue(cell, *t.field, value); !why.isEmpty())
                return QStringLiteral("“%1”%2").arg(t.field->title, why);
            if (value.typeId() == QMetaType::QString && value.toString().contains(QChar(0)))
                return QStringLiteral("“%1”有空字符（NUL）").arg(t.field->title);
            values << value;
        }
        name = values[nameIndex_].toString();
        if (name.isEmpty())
            return QStringLiteral("客户名称为空");
        return {};
    }

    // The fields the row gives a value: an empty cell keeps what the customer has, and the
    // name keeps the spelling it has.
    void givenOnly(const QVariantList& values, QStringList& names, QVariantList& given) const {
        for (qsizetype i = 0; i < values.size(); ++i)
            if (i != nameIndex_ && !values[i].isNull() &&
                !(values[i].typeId() == QMetaType::QString && values[i].toString().isEmpty())) {
                names << names_[i];
                given << values[i];
            }
    }

    void addDefaults(QVariantList& values) const {
        if (addDateDefault_) // as adding by hand: the day of adding
            values << today_;
    }

  private:
    static QString fieldValue(const QVariant& cell, const ImportField& f, QVariant& value) {
        if (f.namesOperator)
            return operatorKey(cell, f, value);
        switch (f.kind) {
        case FieldKind::DateTime: {
            if (cellText(cell).trimmed().isEmpty())
                return {};
            const QDateTime date = importedDate(cell);
            if (!date.isValid())
                return QStringLiteral("“%1”不是可以读懂的日期").arg(cellText(cell));
            value = date;
            return {};
        }
        case FieldKind::Integer:
        case FieldKind::LargeInt:
        case FieldKind::Float:
        case FieldKind::Currency:
        case FieldKind::Decimal: {
            const QString text = trimBlanks(cellText(cell));
            if (text.isEmpty())
                return {};
            bool ok = cell.typeId() == QMetaType::Double; // exactly as the sheet holds it
            const double number = ok ? cell.toDouble() : QLocale::c().toDouble(text, &ok);
            if (!ok)
                return QStringLiteral("“%1”不是数字").arg(text);
            value = f.kind == FieldKind::Integer || f.kind == FieldKind::LargeInt
                        ? QVariant(qint64(number))
                        : QVariant(number);
            return {};
        }
        case FieldKind::Boolean: {
            const QString text = trimBlanks(cellText(cell)).toLower();
            value = text == u"1" || text == u"true" || text == u"是" || text == u"yes";
            return {};
        }
        case FieldKind::Memo:
            value = cellText(cell); // line breaks as the file has them
            break;
        default:
            value = trimBlanks(cellText(cell));
            if (!f.choices.isEmpty() && !value.toString().isEmpty()) {
                const auto offer =
                    std::find_if(f.choices.begin(), f.choices.end(), [&](const QString& c) {
                        return c.compare(value.toString(), Qt::CaseInsensitive) == 0;
                    });
                if (offer == f.choices.end())
                    return QStringLiteral("没有“%1”这个选项").arg(value.toString());
                value = *offer; // stored as offered, as the editor stores it
            }
            break;
        }
        if (f.size > 0 && characterCount(value.toString()) > f.size)
            return QStringLiteral("超过 %1 个字符").arg(f.size);
        return {};
    }

    // An empty cell leaves the customer to the pool; a name must be an operator who may log in.
    static QString operatorKey(const QVariant& cell, const ImportField& f, QVariant& value) {
        const QString name = trimBlanks(cellText(cell));
        if (name.isEmpty())
            return {};
        const auto found = f.operators.constFind(nameFoldKey(name));
        if (found == f.operators.cend())
            return QStringLiteral("“%1”不是本店的操作员").arg(name);
        if (!found->enabled)
            return QStringLiteral("“%1”已停用").arg(name);
        value = found->key;
        return {};
    }

    std::vector<Target> targets_;
    QStringList names_;
    QStringList insertNames_;
    int nameIndex_ = -1;
    bool addDateDefault_ = false;
    QDateTime today_;
};

// Whether a row is the total row our exports end with: "总计" in the name column and only
// numbers (the count, sums) beside it.
bool isTotalRow(const QVariantList& cells, int nameColumn) {
    if (nameColumn >= cells.size() || trimBlanks(cellText(cells[nameColumn])) != u"总计")
        return false;
    int numbers = 0;
    for (int c = 0; c < cells.size(); ++c) {
        const QString text = trimBlanks(cellText(cells[c]));
        if (c == nameColumn || text.isEmpty())
            continue;
        bool ok = cells[c].typeId() == QMetaType::Double;
        if (!ok)
            QLocale::c().toDouble(text, &ok);
        if (!ok)
            return false;
        ++numbers;
    }
    return numbers > 0;
}

// The rows of a file but a last row that is an export's total row, kept a row behind so
// the last one is known.
class WithoutTotalRow : public ImportSource {
  public:
    WithoutTotalRow(ImportSource& rows, int nameColumn) : rows_(rows), nameColumn_(nameColumn) {
        ahead_ = rows_.next(next_);
        nextLine_ = rows_.line();
    }

    bool next(QVariantList& cells) override {
        if (!ahead_)
            return false;
        cells = std::move(next_);
        line_ = nextLine_;
        ahead_ = rows_.next(next_);
        nextLine_ = rows_.line();
        if (!ahead_ && isTotalRow(cells, nameColumn_)) {
            dropped_ = line_;
            return false;
        }
        return true;
    }
    qint64 line() const override { return line_; }
    qint64 done() const override { return rows_.done(); }
    qint64 total() const override { return rows_.total(); }
    qint64 droppedLine() const { return dropped_; }

  private:
    ImportSource& rows_;
    int nameColumn_;
    QVariantList next_;
    bool ahead_ = false;
    qint64 line_ = 0, nextLine_ = 0, dropped_ = 0;
};

// Every customer's name key with the key of the first customer that has it.
QHash<QString, qint64> customerKeys(Connection& connection) {
    QHash<QString, qint64> keys;
    const auto rows = connection.query(Sql::customerNames());
    while (rows->next()) {
        const std::string_view text = rows->text(1);
        const QString name = QString::fromUtf8(text.data(), qsizetype(text.size()));
        const QString key = nameFoldKey(trimBlanks(name));
        if (!keys.contains(key)) // the first customer of a name is the one updated
            keys.insert(key, rows->toInt64(0));
    }
    return keys;
}

// "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss", as the exports write them, read without the general
// parser; anything else gives an invalid date.
QDateTime isoDateTime(QStringView text) {
    if (text.size() != 10 && text.size() != 19)
        return {};
    const auto number = [&](qsizetype at, int digits) {
        int value = 0;
        for (int k = 0; k < digits; ++k) {
            const QChar c = text[at + k];
            if (!c.isDigit())
                return -1;
            value = value * 10 + c.digitValue();
        }
        return value;
    };
    if (text[4] != u'-' || text[7] != u'-')
        return {};
    const QDate day(number(0, 4), number(5, 2), number(8, 2));
    if (text.size() == 10)
        return day.isValid() ? QDateTime(day, QTime(0, 0), Qt::UTC) : QDateTime();
    if (text[10] != u' ' || text[13] != u':' || text[16] != u':')
        return {};
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    return day.isValid() && time.isValid() ? QDateTime(day, time, Qt::UTC) : QDateTime();
}

} // namespace

// Dates are kept in UTC here: the fields stay as written, and no local-time lookup (a file
// system call each) is made per row.
QDateTime importedDate(const QVariant& cell) {
    if (cell.typeId() == QMetaType::QDateTime) {
        const QDateTime value = cell.toDateTime();
        return QDateTime(value.date(), value.time(), Qt::UTC);
    }
    if (cell.typeId() == QMetaType::QDate)
        return QDateTime(cell.toDate(), QTime(0, 0), Qt::UTC);
    const QString text = trimBlanks(cell.toString());
    if (const QDateTime quick = isoDateTime(text); quick.isValid())
        return quick;
    qsizetype blank = text.indexOf(u' ');
    if (blank < 0)
        blank = text.indexOf(u'T');
    const QString dayPart = blank < 0 ? text : text.left(blank);
    const QString timePart = blank < 0 ? QString() : text.mid(blank + 1).trimmed();
    static const QStringList dayFormats = {
        QStringLiteral("yyyy-M-d"),     QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy.M.d"),
        QStringLiteral("yyyy年M月d日"), QStringLiteral("yyyyMMdd"),
    };
    static const QStringList timeFormats = {QStringLiteral("H:mm:ss"), QStringLiteral("H:mm"),
                                            QStringLiteral("H:mm:ss.zzz")};
    QDate day;
    for (const QString& format : dayFormats)
        if ((day = QDate::fromString(dayPart, format)).isValid())
            break;
    if (!day.isValid())
        return {};
    if (timePart.isEmpty())
        return QDateTime(day, QTime(0, 0), Qt::UTC);
    for (const QString& format : timeFormats)
        if (const QTime time = QTime::fromString(timePart, format); time.isValid())
            return QDateTime(day, time, Qt::UTC);
    return {};
}

ImportReport importCustomers(Connection& connection, ImportSource& file, const QStringList& mapping,
                             const ImportSettings& settings, WorkProgress* progress) {
    const ImportFields fields = importFields(connection);
    settings.rights.require(Permission::ImportCustomers);
    const RowConverter converter(fields, mapping);
    WithoutTotalRow rows(file, converter.nameColumn());
    QStringList insertNames = converter.insertNames();
    const bool ownerGiven = insertNames.contains(QStringLiteral("Owner"), Qt::CaseInsensitive);
    const bool ownsNew = settings.rights.operatorKey() != 0 && !ownerGiven;
    if (ownsNew)
        insertNames << QStringLiteral("Owner");
    if (ownerGiven && settings.rights.ownOnly())
        throw AppError(QStringLiteral("您不能导入其他操作员的客户（负责人一列）。"));
    SqlCommand insert = Sql::insertCustomer(connection, insertNames, {});
    ImportReport report;
    Transaction transaction(connection);
    lockCustomerNames(connection); // the names read next stay the only ones until the commit
    QHash<QString, qint64> known = customerKeys(connection);
    ProgressTicker ticker(progress, rows.total());
    QVariantList cells;
    QVariantList values;
    QString name;
    qint64 seen = 0;
    bool writing = true;
    while (rows.next(cells)) {
        ++seen;
        if (!ticker.tick(rows.done())) {
            report = ImportReport{};
            report.cancelled = true;
            return report; // the transaction rolls back
        }
        if (const QString why = converter.convert(cells, values, name); !why.isEmpty()) {
            if (report.bad.size() < kListedBadRows)
                report.bad << BadRow{rows.line(), why};
            ++report.badCount;
            writing = writing && settings.onBadRows == OnBadRows::SkipThem;
            continue;
        }
        if (!writing)
            continue; // only the remaining bad rows are looked for
        const QString key = nameFoldKey(name);
        const auto found = known.constFind(key);
        if (found != known.cend() && settings.onDuplicate == OnDuplicate::Skip) {
            ++report.skipped;
        } else if (found != known.cend() && settings.onDuplicate == OnDuplicate::Update) {
            QStringList given;
            QVariantList givenValues;
            converter.givenOnly(values, given, givenValues);
            // A row with only the name has nothing to change; another owner's customer stays.
            if (given.isEmpty() ||
                connection.execute(Sql::updateCustomer(connection, fields.keyField, found.value(),
                                                       given, givenValues, settings.rights)) > 0)
                ++report.updated;
            else
                ++report.skipped;
        } else {
            converter.addDefaults(values);
            insert.params = values;
            if (ownsNew)
                insert.params << settings.rights.operatorKey();
            connection.execute(insert);
            if (found == known.cend())
                known.insert(key, connection.lastInsertId());
            ++report.added;
        }
    }
    report.totalRowLine = rows.droppedLine();
    if (seen == 0)
        throw AppError(QStringLiteral("文件中只有标题行，没有可导入的客户。"));
    if (!writing) {
        report.added = report.updated = report.skipped = 0;
        return report;
    }
    if (!ticker.finish()) { // a cancel pressed during the last stretch still counts
        report.cancelled = true;
        report.added = report.updated = report.skipped = 0;
        return report;
    }
    transaction.commit();
    report.written = true;
    return report;
}

QString ImportReport::text(const QString& fileName) const {
    QStringList lines;
    lines << QStringLiteral("导入文件：%1").arg(fileName);
    lines << QStringLiteral("新增：%1").arg(added);
    lines << QStringLiteral("更新：%1").arg(updated);
    lines << QStringLiteral("跳过（重复）：%1").arg(skipped);
    if (totalRowLine > 0)
        lines
            << QStringLiteral("第 %1 行是导出文件的总计行，不是客户，没有导入。").arg(totalRowLine);
    lines << QStringLiteral("有错误的行：%1").arg(badCount);
    for (const BadRow& row : bad)
        lines << QStringLiteral("  第 %1 行：%2").arg(row.line).arg(row.reason);
    if (badCount > bad.size())
        lines << QStringLiteral("  （另有 %1 行未列出）").arg(badCount - bad.size());
    if (cancelled)
        lines << QStringLiteral("导入已取消，数据库没有改变。");
    else if (written)
        lines << QStringLiteral("已写入数据库。");
    else
        lines << QStringLiteral("数据库没有改变。");
    return lines.join(u'\n') + u'\n';
}

QString importedText(const QVariant& cell) {
    if (cell.typeId() == QMetaType::Double) {
        const double v = cell.toDouble();
        if (v > -kExactWholeLimit && v < kExactWholeLimit && v == std::trunc(v))
            return QString::number(qint64(v));
        // As a spreadsheet shows a number: at most 15 significant digits.
        return QString::number(v, 'g', 15);
    }
    if (cell.typeId() == QMetaType::QDateTime)
        return sheetDateText(cell.toDateTime());
    return cell.toString();
}
