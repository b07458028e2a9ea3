#pragma once

// An editor's changes carried over onto a row that another workstation saved meanwhile: the
// operator's own changes over the row as it is now, and nothing else of what the boxes held.

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

// A field that both the operator and the other workstation changed, to different values.
struct FieldClash {
    QString field;
    QVariant mine;
    QVariant theirs;
};

struct RowMerge {
    QVariantMap values;        // the row as it is now, with the operator's changes over it
    QList<FieldClash> clashes; // in values they hold the operator's value until decided
};

// The fields whose value in typed differs from loaded: those the operator changed.
QVariantMap changedFields(const QVariantMap& loaded, const QVariantMap& typed);

// loaded: the fields as the editor loaded them; typed: as the operator left them; fresh: as
// the database holds them now. All three come from the same boxes, so they compare alike.
RowMerge mergeOwnChanges(const QVariantMap& loaded, const QVariantMap& typed,
                         const QVariantMap& fresh);

class MessageService;

// Asks the operator about one clash, showing both values; true to keep the operator's own.
bool keepsOwnValue(MessageService& messages, QObject* owner, const QString& fieldTitle,
                   const FieldClash& clash);

// A field value as the question shows it.
QString clashValueText(const QVariant& value);
