#pragma once

#include "fields/CustomerFields.h"

#include <QVariantMap>
#include <QWidget>

class Query;

// The inputs of the shop's own customer fields, one per field in the fields' order, each of
// its type, in a scrollable area below the editor's delivered boxes.
class ExtraFieldsPanel : public QWidget {
    Q_OBJECT
  public:
    ExtraFieldsPanel(const QList<FieldDefinition>& fields, QWidget* parent = nullptr);

    const QList<FieldDefinition>& fields() const { return fields_; }
    QWidget* input(int i) const { return inputs_.at(i); }
    int preferredHeight() const; // what the area needs, capped so the dialog stays on screen

    void load(const Query& query); // the current row
    // Stored values by column, as values() gives them; fields not named keep their inputs.
    void showValues(const QVariantMap& values);
    QString titleOf(const QString& column) const; // empty for no field of the panel
    void clear();
    // The values to store, by column. A value its field refuses throws AppError naming the
    // field, and *focus gets that field's input; the inputs keep what was typed.
    QVariantMap values(QWidget** focus) const;

  private:
    QWidget* makeInput(const FieldDefinition& field);
    void showStored(int i, const QVariant& stored);
    QString typedText(int i) const;

    QList<FieldDefinition> fields_;
    QList<QWidget*> inputs_;
};
