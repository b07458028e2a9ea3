#include "data/RowMerge.h"

#include "data/MessageService.h"

#include <QDateTime>

QVariantMap changedFields(const QVariantMap& loaded, const QVariantMap& typed) {
    QVariantMap changed;
    for (auto it = typed.begin(); it != typed.end(); ++it)
        if (!loaded.contains(it.key()) || loaded.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    return changed;
}

RowMerge mergeOwnChanges(const QVariantMap& loaded, const QVariantMap& typed,
                         const QVariantMap& fresh) {
    RowMerge merge{fresh, {}};
    const QVariantMap mine = changedFields(loaded, typed);
    for (auto it = mine.begin(); it != mine.end(); ++it) {
        const QVariant theirs = fresh.value(it.key());
        if (theirs != loaded.value(it.key()) && theirs != it.value())
            merge.clashes.append({it.key(), it.value(), theirs});
        merge.values.insert(it.key(), it.value());
    }
    return merge;
}

QString clashValueText(const QVariant& value) {
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime at = value.toDateTime();
        return at.time() == QTime(0, 0) ? at.toString("yyyy-MM-dd")
                                        : at.toString("yyyy-MM-dd HH:mm:ss");
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    const QString text = value.toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.isEmpty() ? QStringLiteral("（空）") : text;
}

bool keepsOwnValue(MessageService& messages, QObject* owner, const QString& fieldTitle,
                   const FieldClash& clash) {
    const QString text =
        QStringLiteral("“%1”已被其他用户改为：\n%2\n\n您填写的是：\n%3\n\n"
                       "保留您填写的吗？（选“否”采用其他用户的）")
            .arg(fieldTitle, clashValueText(clash.theirs), clashValueText(clash.mine));
    return messages.messageBox(owner, text, QStringLiteral("提醒"), MsgIcon::Question,
                               mbYes | mbNo) == mbYes;
}
