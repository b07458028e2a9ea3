#include "output/ImportMapping.h"

#include "data/NameFold.h"
#include "data/Roles.h"
#include "data/SettingsFile.h"
#include "data/Statements.h"
#include "data/TextTrim.h"

#include <QCryptographicHash>

namespace {

const QString kSection = QStringLiteral("ImportMapping");

QString normalTitle(const QString& title) {
    return title.trimmed().toCaseFolded();
}

// One key per set of titles, short enough for a settings line.
QString titlesKey(const QStringList& titles) {
    QStringList normal;
    for (const QString& title : titles)
        normal << normalTitle(title);
    const QByteArray digest =
        QCryptographicHash::hash(normal.join(QChar(0x1F)).toUtf8(), QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.toHex().left(16));
}

int indexOf(const ResultSet& rows, const char* name) {
    for (int i = 0; i < rows.columnCount(); ++i)
        if (rows.column(i).name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString textOf(const ResultSet& rows, int column) {
    if (column < 0 || rows.type(column) == CellType::Null)
        return {};
    const std::string_view text = rows.text(column);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

const ImportField* ImportFields::find(const QString& field) const {
    for (const ImportField& f : fields)
        if (f.field.compare(field, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

// The offers of the shop's choice fields, from their definitions where the database has any.
static void addChoices(Connection& connection, ImportFields& result) {
    if (connection.columnsOf("T_CustomField").isEmpty())
        return;
    const auto rows = connection.query(
        {"select Field, Choices from T_CustomField where FieldType=?", {QString("choice")}});
    while (rows->next())
        for (ImportField& f : result.fields)
            if (f.field.compare(textOf(*rows, 0), Qt::CaseInsensitive) == 0)
                f.choices = textOf(*rows, 1).split(u'\n', Qt::SkipEmptyParts);
}

// The operators an owner column may name, read once for the whole file.
static void addOperators(Connection& connection, ImportFields& result) {
    for (ImportField& f : result.fields)
        if (f.field.compare(QStringLiteral("Owner"), Qt::CaseInsensitive) == 0) {
            f.namesOperator = true;
            const auto operators = Roles::operatorNames(connection);
            for (auto i = operators.cbegin(); i != operators.cend(); ++i)
                f.operators.insert(nameFoldKey(trimBlanks(i.value().name)),
                                   {i.key(), i.value().enabled});
        }
}

ImportFields importFields(Connection& connection) {
    ImportFields result;
    {
        const auto columns = connection.query(Sql::customerColumns());
        for (int i = 0; i < columns->columnCount(); ++i) {
            const ColumnInfo& c = columns->column(i);
            if (c.primaryKey || c.kind == FieldKind::AutoInc) {
                result.keyField = c.name;
                continue;
            }
            result.fields.push_back({c.name, c.name, c.kind, c.size});
        }
    }
    const auto layout = connection.query(Sql::searchFields());
    const int name = indexOf(*layout, "Name");
    const int field = indexOf(*layout, "Field");
    while (layout->next()) {
        const QString title = textOf(*layout, name).trimmed();
        for (ImportField& f : result.fields)
            if (!title.isEmpty() &&
                f.field.compare(textOf(*layout, field), Qt::CaseInsensitive) == 0)
                f.title = title;
    }
    addChoices(connection, result);
    addOperators(connection, result);
    return result;
}

QStringList matchTitles(const QStringList& titles, const ImportFields& fields) {
    QStringList mapping;
    QStringList taken;
    for (const QString& title : titles) {
        QString match;
        const QString wanted = normalTitle(title);
        for (const ImportField& f : fields.fields)
            if (!taken.contains(f.field) &&
                (normalTitle(f.field) == wanted || normalTitle(f.title) == wanted)) {
                match = f.field;
                break;
            }
        if (!match.isEmpty())
            taken << match;
        mapping << match;
    }
    return mapping;
}

QStringList rememberedMapping(const SettingsFile& settings, const QStringList& titles,
                              const ImportFields& fields) {
    const QString stored = settings.ReadString(kSection, titlesKey(titles), QString());
    if (stored.isEmpty())
        return {};
    const QStringList mapping = stored.split(u',');
    if (mapping.size() != titles.size())
        return {};
    for (const QString& field : mapping)
        if (!field.isEmpty() && !fields.find(field))
            return {}; // the table changed since: match afresh
    return mapping;
}

void rememberMapping(SettingsFile& settings, const QStringList& titles,
                     const QStringList& mapping) {
    settings.WriteString(kSection, titlesKey(titles), mapping.join(u','));
}
