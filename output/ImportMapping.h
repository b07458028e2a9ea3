#pragma once

// Which column of a file goes to which customer field: found by the title row, chosen by the
// operator, and remembered for the next file with the same titles.

#include "data/Engine.h"

#include <QHash>
#include <QStringList>
#include <vector>

class SettingsFile;

// A customer column an import can fill, with the title the customer list gives it.
struct ImportField {
    QString field;
    QString title; // the layout's display title; the field name when the layout has none
    FieldKind kind = FieldKind::Text;
    int size = 0;        // the most characters a text may have; 0: no limit
    QStringList choices; // a choice field's offers: a cell names one, letter case aside
    // The owner column: a cell names an operator (letter case aside), by the folded name.
    bool namesOperator = false;
    struct Operator {
        qint64 key = 0;
        bool enabled = false;
    };
    QHash<QString, Operator> operators;
};

struct ImportFields {
    std::vector<ImportField> fields;                     // every column but the key
    QString keyField;                                    // the column the database numbers
    const ImportField* find(const QString& field) const; // letter case aside; null when none
};

ImportFields importFields(Connection& connection);

// For each file title, the field it names (by field name or display title, letter case and
// surrounding blanks aside), or "" when it names none. A field is given to one column only.
QStringList matchTitles(const QStringList& titles, const ImportFields& fields);

// The mapping chosen last for a file with these titles; empty when there is none or it no
// longer fits the fields.
QStringList rememberedMapping(const SettingsFile& settings, const QStringList& titles,
                              const ImportFields& fields);
void rememberMapping(SettingsFile& settings, const QStringList& titles, const QStringList& mapping);
