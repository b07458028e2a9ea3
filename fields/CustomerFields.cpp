#include "CustomerFields.h"

#include "data/AppError.h"
#include "data/ChangeHistory.h"
#include "data/Roles.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {

const QString kCustomers = QStringLiteral("Custom");
constexpr int kMaxTitle = 50;   // as long as a layout row's title may be
constexpr int kMaxChoice = 100; // the width of a choice column
constexpr int kMaxDigits = 18;  // a number column's precision

QString textAt(const ResultSet& rows, int i) {
    const std::string_view t = rows.text(i);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

qint64 scalar(Connection& connection, const SqlCommand& command) {
    auto rows = connection.query(command);
    return rows->next() ? rows->toInt64(0) : 0;
}

QString declaredType(const FieldDefinition& field) {
    switch (field.type) {
    case FieldType::Text:
        return QString("VARCHAR(%1) COLLATE NOCASE").arg(field.length);
    case FieldType::MultiText:
        return "MEMO COLLATE NOCASE";
    case FieldType::Number:
        return QString("NUMERIC(%1,%2)").arg(kMaxDigits).arg(field.decimals);
    case FieldType::Date:
        return "DATETIME";
    case FieldType::YesNo:
        return "BOOLEAN";
    case FieldType::Choice:
        return QString("VARCHAR(%1) COLLATE NOCASE").arg(kMaxChoice);
    }
    return {};
}

int columnWidth(FieldType type) {
    switch (type) {
    case FieldType::MultiText:
        return 200;
    case FieldType::Number:
    case FieldType::Date:
        return 100;
    case FieldType::YesNo:
        return 60;
    default:
        return 120;
    }
}

// A trimmed list of distinct choices, or AppError.
QStringList checkedChoices(const QStringList& choices) {
    QStringList result;
    for (const QString& raw : choices) {
        const QString choice = raw.trimmed();
        if (choice.isEmpty())
            continue;
        if (choice.size() > kMaxChoice)
            throw AppError(QString("选项“%1”太长，最多%2个字。").arg(choice).arg(kMaxChoice));
        if (result.contains(choice, Qt::CaseInsensitive))
            throw AppError(QString("选项“%1”重复了。").arg(choice));
        result << choice;
    }
    if (result.isEmpty())
        throw AppError("选项字段至少要有一个选项。");
    return result;
}

QString checkedTitle(Connection& connection, const QString& raw, const QString& ownColumn) {
    const QString title = raw.trimmed();
    if (title.isEmpty())
        throw AppError("请输入字段名称。");
    if (title.size() > kMaxTitle)
        throw AppError(QString("字段名称最多%1个字。").arg(kMaxTitle));
    // The search box finds a field by its title, so no two columns of the list share one.
    const qint64 taken = scalar(
        connection, {"select count(*) from T_FieldShow where TableName=? and Name=? and Field<>?",
                     {kCustomers, title, ownColumn}});
    if (taken > 0)
        throw AppError(QString("已经有名为“%1”的字段了。").arg(title));
    return title;
}

FieldDefinition checkedDefinition(Connection& connection, FieldDefinition field) {
    field.title = checkedTitle(connection, field.title, {});
    if (field.type == FieldType::Text && (field.length < 1 || field.length > 255))
        throw AppError("文本字段的长度应在1到255之间。");
    if (field.type == FieldType::Number && (field.decimals < 0 || field.decimals > 6))
        throw AppError("数字字段的小数位数应在0到6之间。");
    if (field.type == FieldType::Choice)
        field.choices = checkedChoices(field.choices);
    else
        field.choices.clear();
    return field;
}

const QString kLastNumber = QStringLiteral("LastFieldNumber");

// The highest number a field's column has ever had: a removed field's column name stays its own,
// since history rows and backups name it. The columns scanned cover databases that removed a
// field before the number was kept.
qint64 lastFieldNumber(Connection& connection) {
    qint64 last = scalar(connection, {"select max(ID) from " + CustomerFields::kTable, {}});
    if (!connection.columnsOf("T_ShopSetting").isEmpty())
        last = std::max(last, Roles::shopSetting(connection, kLastNumber, "0").toLongLong());
    static const QRegularExpression numbered(QStringLiteral("^Fld(\\d+)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (const QString& table : {kCustomers, ChangeHistory::customerBin})
        for (const QString& column : connection.columnsOf(table))
            if (const auto match = numbered.match(column); match.hasMatch())
                last = std::max(last, match.captured(1).toLongLong());
    return last;
}

FieldDefinition readDefinition(const ResultSet& rows) {
    FieldDefinition field;
    field.id = rows.toInt64(0);
    field.title = textAt(rows, 1);
    field.column = textAt(rows, 2);
    field.type = CustomerFields::typeOfCode(textAt(rows, 3)).value_or(FieldType::Text);
    field.length = int(rows.toInt64(4));
    field.decimals = int(rows.toInt64(5));
    if (rows.type(6) != CellType::Null)
        field.choices = textAt(rows, 6).split(u'\n', Qt::SkipEmptyParts);
    field.order = int(rows.toInt64(7));
    return field;
}

const QString kSelect = QStringLiteral(
    "select ID, Title, Field, FieldType, TextSize, Decimals, Choices, ShowOrder from "
    "T_CustomField");

FieldDefinition definitionById(Connection& connection, qint64 id) {
    auto rows = connection.query({kSelect + " where ID=?", {id}});
    if (!rows->next())
        throw AppError("这个字段已被删除。");
    return readDefinition(*rows);
}

[[noreturn]] void badValue(const FieldDefinition& field, const QString& what) {
    throw AppError(QString("“%1”%2").arg(field.title, what));
}

QVariant numberOf(const FieldDefinition& field, const QString& text) {
    QString plain = text;
    plain.remove(u',').remove(u'，');
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value))
        badValue(field, QString("应是一个数字，“%1”不是。").arg(text));
    const qsizetype point = plain.indexOf(u'.');
    const qsizetype decimals = point < 0 ? 0 : plain.size() - point - 1;
    if (plain.contains(u'e', Qt::CaseInsensitive) || decimals > field.decimals)
        badValue(field, field.decimals == 0
                            ? QString("应是一个整数，“%1”不是。").arg(text)
                            : QString("最多%1位小数，“%2”多了。").arg(field.decimals).arg(text));
    if (std::fabs(value) >= std::pow(10.0, kMaxDigits - field.decimals))
        badValue(field, QString("的数值“%1”太大了。").arg(text));
    if (field.decimals == 0)
        return qint64(value);
    return value;
}

QVariant dateOf(const FieldDefinition& field, const QString& text) {
    for (const char* format : {"yyyy-M-d", "yyyy/M/d", "yyyy.M.d", "yyyyMMdd", "yyyy年M月d日"}) {
        const QDate day = QDate::fromString(text, QString::fromLatin1(format));
        if (day.isValid())
            return QDateTime(day, QTime(0, 0));
    }
    // A date and time as the list shows it.
    const QDateTime moment = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
    if (moment.isValid())
        return QDateTime(moment.date(), QTime(0, 0));
    badValue(field, QString("应是一个日期（如2026-12-31），“%1”不是。").arg(text));
}

QVariant yesNoOf(const FieldDefinition& field, const QString& text) {
    static const QStringList yes = {"是", "1", "true", "yes", "y", "√"};
    static const QStringList no = {"否", "0", "false", "no", "n", "×"};
    if (yes.contains(text, Qt::CaseInsensitive))
        return true;
    if (no.contains(text, Qt::CaseInsensitive))
        return false;
    badValue(field, QString("应填“是”或“否”，“%1”不是。").arg(text));
}

} // namespace

namespace CustomerFields {

QString typeCode(FieldType type) {
    switch (type) {
    case FieldType::Text:
        return "text";
    case FieldType::MultiText:
        return "memo";
    case FieldType::Number:
        return "number";
    case FieldType::Date:
        return "date";
    case FieldType::YesNo:
        return "yesno";
    case FieldType::Choice:
        return "choice";
    }
    return {};
}

std::optional<FieldType> typeOfCode(const QString& code) {
    for (FieldType type : allTypes())
        if (typeCode(type) == code)
            return type;
    return std::nullopt;
}

QString typeTitle(FieldType type) {
    switch (type) {
    case FieldType::Text:
        return "文本";
    case FieldType::MultiText:
        return "多行文本";
    case FieldType::Number:
        return "数字";
    case FieldType::Date:
        return "日期";
    case FieldType::YesNo:
        return "是否";
    case FieldType::Choice:
        return "选项";
    }
    return {};
}

const QList<FieldType>& allTypes() {
    static const QList<FieldType> types = {FieldType::Text,   FieldType::MultiText,
                                           FieldType::Number, FieldType::Date,
                                           FieldType::YesNo,  FieldType::Choice};
    return types;
}

SqlCommand allRead() {
    return {kSelect + " order by ShowOrder, ID", {}};
}

QList<FieldDefinition> all(Connection& connection) {
    QList<FieldDefinition> fields;
    if (connection.columnsOf(kTable).isEmpty())
        return fields;
    auto rows = connection.query(allRead());
    while (rows->next())
        fields << readDefinition(*rows);
    return fields;
}

std::optional<FieldDefinition> byColumn(Connection& connection, const QString& column) {
    for (const FieldDefinition& field : all(connection))
        if (field.column.compare(column, Qt::CaseInsensitive) == 0)
            return field;
    return std::nullopt;
}

FieldDefinition add(Connection& connection, FieldDefinition field) {
    Transaction transaction(connection);
    field = checkedDefinition(connection, field);
    // Under the write lock; a second workstation adding at once meets the key and fails.
    field.id = lastFieldNumber(connection) + 1;
    field.column = QString("Fld%1").arg(field.id);
    field.order = int(scalar(connection, {"select max(ShowOrder) from " + kTable, {}})) + 1;
    connection.execute(
        {"insert into " + kTable +
             " (ID, Title, Field, FieldType, TextSize, Decimals, Choices, "
             "ShowOrder) values (?, ?, ?, ?, ?, ?, ?, ?)",
         {field.id, field.title, field.column, typeCode(field.type),
          field.type == FieldType::Text ? field.length : 0,
          field.type == FieldType::Number ? field.decimals : 0,
          field.choices.isEmpty() ? QVariant() : field.choices.join(u'\n'), field.order}});
    if (!connection.columnsOf("T_ShopSetting").isEmpty())
        Roles::setShopSetting(connection, kLastNumber, QString::number(field.id));
    connection.addColumn(kCustomers, field.column, declaredType(field),
                         field.type == FieldType::YesNo ? "0" : "", false);
    if (field.type == FieldType::Choice) // the list's filter finds its customers at once
        connection.createValueIndex(kCustomers, field.column);
    const qint64 showId = scalar(connection, {"select max(ShowID) from T_FieldShow where "
                                              "TableName=?",
                                              {kCustomers}}) +
                          1;
    connection.execute(
        {"insert into T_FieldShow (TableName, Name, Field, show, ShowID, Width, SumField, "
         "ShowButton) values (?, ?, ?, 1, ?, ?, ?, 0)",
         {kCustomers, field.title, field.column, showId, columnWidth(field.type),
          field.type == FieldType::Number ? 1 : 0}});
    transaction.commit();
    return field;
}

void rename(Connection& connection, qint64 id, const QString& title) {
    Transaction transaction(connection);
    const FieldDefinition field = definitionById(connection, id);
    const QString checked = checkedTitle(connection, title, field.column);
    connection.execute({"update " + kTable + " set Title=? where ID=?", {checked, id}});
    connection.execute({"update T_FieldShow set Name=? where TableName=? and Field=?",
                        {checked, kCustomers, field.column}});
    transaction.commit();
}

void setChoices(Connection& connection, qint64 id, const QStringList& choices) {
    Transaction transaction(connection);
    const FieldDefinition field = definitionById(connection, id);
    const QStringList checked = checkedChoices(choices);
    for (const QString& old : field.choices) {
        if (checked.contains(old, Qt::CaseInsensitive))
            continue;
        const qint64 holders =
            scalar(connection, {"select count(*) from Custom where " + field.column + "=?", {old}});
        if (holders > 0)
            throw AppError(QString("还有%1位客户的“%2”是“%3”，这个选项不能删除。")
                               .arg(holders)
                               .arg(field.title, old));
    }
    connection.execute(
        {"update " + kTable + " set Choices=? where ID=?", {checked.join(u'\n'), id}});
    transaction.commit();
}

void reorder(Connection& connection, const QList<qint64>& ids) {
    Transaction transaction(connection);
    QList<qint64> order = ids;
    for (const FieldDefinition& field : all(connection))
        if (!order.contains(field.id))
            order << field.id;
    for (int i = 0; i < order.size(); ++i)
        connection.execute({"update " + kTable + " set ShowOrder=? where ID=?", {i + 1, order[i]}});
    transaction.commit();
}

qint64 customersWithValue(Connection& connection, const FieldDefinition& field) {
    QString where = field.column + " is not null";
    if (field.type == FieldType::YesNo)
        where = field.column + "=True";
    else if (field.type == FieldType::Text || field.type == FieldType::MultiText ||
             field.type == FieldType::Choice)
        where += " and " + field.column + "<>''";
    return scalar(connection, {"select count(*) from Custom where " + where, {}});
}

void remove(Connection& connection, qint64 id) {
    Transaction transaction(connection);
    const FieldDefinition field = definitionById(connection, id);
    connection.execute(
        {"delete from T_FieldShow where TableName=? and Field=?", {kCustomers, field.column}});
    if (field.type == FieldType::Choice)
        connection.dropValueIndex(kCustomers, field.column);
    connection.dropColumn(kCustomers, field.column);
    connection.execute({"delete from " + kTable + " where ID=?", {id}});
    transaction.commit();
}

QVariant valueOf(const FieldDefinition& field, const QString& typed) {
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return field.type == FieldType::YesNo ? QVariant(false) : QVariant();
    switch (field.type) {
    case FieldType::Text:
        if (text.size() > field.length)
            badValue(field,
                     QString("最多%1个字，现在是%2个字。").arg(field.length).arg(text.size()));
        return text;
    case FieldType::MultiText:
        return typed;
    case FieldType::Number:
        return numberOf(field, text);
    case FieldType::Date:
        return dateOf(field, text);
    case FieldType::YesNo:
        return yesNoOf(field, text);
    case FieldType::Choice:
        for (const QString& choice : field.choices)
            if (choice.compare(text, Qt::CaseInsensitive) == 0)
                return choice;
        badValue(field, QString("没有“%1”这个选项。").arg(text));
    }
    return {};
}

QString textOf(const FieldDefinition& field, const QVariant& stored) {
    if (!stored.isValid() || stored.isNull())
        return {};
    switch (field.type) {
    case FieldType::Number:
        return QString::number(stored.toDouble(), 'f', field.decimals);
    case FieldType::Date: {
        const QDateTime moment = stored.toDateTime();
        return moment.isValid() ? moment.toString("yyyy-MM-dd") : stored.toString();
    }
    case FieldType::YesNo:
        return stored.toBool() ? "是" : "否";
    default:
        return stored.toString();
    }
}

} // namespace CustomerFields
