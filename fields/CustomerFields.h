#pragma once

// The shop's own customer fields. Each is a real column of the customer table, a row of the
// list's layout and a row of T_CustomField, which keeps its title, type and details for this
// program and any other tool that reads the database.

#include "data/Engine.h"

#include <QList>
#include <QStringList>
#include <QVariant>
#include <optional>

enum class FieldType { Text, MultiText, Number, Date, YesNo, Choice };

struct FieldDefinition {
    qint64 id = 0;
    QString title;
    QString column; // in the customer table; chosen when the field is added
    FieldType type = FieldType::Text;
    int length = 50;  // Text: most characters
    int decimals = 0; // Number: most digits after the point
    QStringList choices;
    int order = 0;
};

namespace CustomerFields {

inline const QString kTable = QStringLiteral("T_CustomField");

QString typeCode(FieldType type); // as stored: "text", "number", ...
std::optional<FieldType> typeOfCode(const QString& code);
QString typeTitle(FieldType type); // 文本, 多行文本, 数字, 日期, 是否, 选项
const QList<FieldType>& allTypes();

// The fields in their order; none when the database has no definition table.
QList<FieldDefinition> all(Connection& connection);
SqlCommand allRead(); // the statement all() runs
std::optional<FieldDefinition> byColumn(Connection& connection, const QString& column);

// Adds the column, the definition and a shown layout row at once. Returns the field as
// stored. Throws AppError for a bad definition or a taken title.
FieldDefinition add(Connection& connection, FieldDefinition field);
// A new title for the definition and the layout; the column and its values stay.
void rename(Connection& connection, qint64 id, const QString& title);
// A new choice list; a choice some customer still holds cannot go. Throws AppError.
void setChoices(Connection& connection, qint64 id, const QStringList& choices);
// The fields take the order of ids; fields not named keep theirs after them.
void reorder(Connection& connection, const QList<qint64>& ids);
// How many customers hold a value in the field (a yes/no field: how many hold 是).
qint64 customersWithValue(Connection& connection, const FieldDefinition& field);
// Drops the column with its values, its layout rows and its definition.
void remove(Connection& connection, qint64 id);

// The value to store for the typed text: Null for an empty text, false for an empty yes/no.
// Throws AppError with a message that names the field.
QVariant valueOf(const FieldDefinition& field, const QString& text);
// The text an input shows for a stored value.
QString textOf(const FieldDefinition& field, const QVariant& stored);

} // namespace CustomerFields
