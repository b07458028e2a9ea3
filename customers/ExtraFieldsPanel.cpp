#include "customers/ExtraFieldsPanel.h"

#include "customers/DateBox.h"
#include "data/AppError.h"
#include "data/Query.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int kRowHeight = 28;
constexpr int kMemoHeight = 60;
constexpr int kMostHeight = 220;

} // namespace

ExtraFieldsPanel::ExtraFieldsPanel(const QList<FieldDefinition>& fields, QWidget* parent)
    : QWidget(parent), fields_(fields) {
    auto* area = new QScrollArea(this);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    auto* inner = new QWidget;
    auto* form = new QFormLayout(inner);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (const FieldDefinition& field : fields_) {
        QWidget* box = makeInput(field);
        inputs_ << box;
        form->addRow(field.title + u':', box);
    }
    area->setWidget(inner);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
}

QWidget* ExtraFieldsPanel::makeInput(const FieldDefinition& field) {
    switch (field.type) {
    case FieldType::MultiText: {
        auto* memo = new QPlainTextEdit;
        memo->setTabChangesFocus(true);
        memo->setFixedHeight(kMemoHeight);
        return memo;
    }
    case FieldType::Date:
        return new DateBox;
    case FieldType::YesNo:
        return new QCheckBox;
    case FieldType::Choice: {
        auto* combo = new QComboBox;
        combo->addItem(QString()); // no choice made
        combo->addItems(field.choices);
        return combo;
    }
    case FieldType::Number: {
        auto* box = new QLineEdit;
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return box;
    }
    case FieldType::Text:
        break;
    }
    auto* box = new QLineEdit;
    box->setMaxLength(field.length);
    return box;
}

int ExtraFieldsPanel::preferredHeight() const {
    int height = 8;
    for (const FieldDefinition& field : fields_)
        height += field.type == FieldType::MultiText ? kMemoHeight + 6 : kRowHeight;
    return std::min(height, kMostHeight);
}

void ExtraFieldsPanel::load(const Query& query) {
    for (int i = 0; i < fields_.size(); ++i) {
        const int column = query.findField(fields_[i].column);
        showStored(i, column >= 0 && query.recNo() >= 0 ? query.value(query.recNo(), column)
                                                        : QVariant());
    }
}

void ExtraFieldsPanel::showValues(const QVariantMap& values) {
    for (int i = 0; i < fields_.size(); ++i)
        if (values.contains(fields_[i].column))
            showStored(i, values.value(fields_[i].column));
}

QString ExtraFieldsPanel::titleOf(const QString& column) const {
    for (const FieldDefinition& field : fields_)
        if (field.column.compare(column, Qt::CaseInsensitive) == 0)
            return field.title;
    return {};
}

void ExtraFieldsPanel::showStored(int i, const QVariant& stored) {
    const QString text = CustomerFields::textOf(fields_[i], stored);
    QWidget* box = inputs_[i];
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        if (line->maxLength() < text.size())
            line->setMaxLength(int(text.size())); // loading never cuts what is stored
        line->setText(text);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(box)) {
        memo->setPlainText(text);
    } else if (auto* date = qobject_cast<DateBox*>(box)) {
        date->setDate(stored.toDateTime().date());
    } else if (auto* check = qobject_cast<QCheckBox*>(box)) {
        check->setChecked(stored.toBool());
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
        // A stored value the list no longer offers is shown as it is; saving it is refused.
        if (combo->findText(text, Qt::MatchFixedString) < 0)
            combo->addItem(text);
        combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString));
    }
}

void ExtraFieldsPanel::clear() {
    for (QWidget* box : inputs_) {
        if (auto* line = qobject_cast<QLineEdit*>(box))
            line->clear();
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(box))
            memo->clear();
        else if (auto* date = qobject_cast<DateBox*>(box))
            date->setDate({});
        else if (auto* check = qobject_cast<QCheckBox*>(box))
            check->setChecked(false);
        else if (auto* combo = qobject_cast<QComboBox*>(box))
            combo->setCurrentIndex(0);
    }
}

QString ExtraFieldsPanel::typedText(int i) const {
    QWidget* box = inputs_[i];
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box))
        return memo->toPlainText();
    if (auto* date = qobject_cast<DateBox*>(box))
        return date->isReadable() ? date->format().text(date->date()) : date->lineEdit()->text();
    if (auto* check = qobject_cast<QCheckBox*>(box))
        return check->isChecked() ? QStringLiteral("是") : QStringLiteral("否");
    if (auto* combo = qobject_cast<QComboBox*>(box))
        return combo->currentText();
    return {};
}

QVariantMap ExtraFieldsPanel::values(QWidget** focus) const {
    QVariantMap values;
    for (int i = 0; i < fields_.size(); ++i) {
        const FieldDefinition& field = fields_[i];
        try {
            if (auto* date = qobject_cast<DateBox*>(inputs_[i])) {
                if (!date->isReadable())
                    throw AppError(QString("“%1”不是有效的日期!").arg(field.title));
                values.insert(field.column, date->date().isNull()
                                                ? QVariant()
                                                : QVariant(QDateTime(date->date(), QTime(0, 0))));
                continue;
            }
            values.insert(field.column, CustomerFields::valueOf(field, typedText(i)));
        } catch (const AppError&) {
            if (focus)
                *focus = inputs_[i];
            throw;
        }
    }
    return values;
}
