#include "customers/CustomerRecord.h"

#include "grid/TextTrim.h"

#include <QDateTime>
#include <QHash>

QVariant savedAddDate(const QDate& shown, const QVariant& stored) {
    if (!shown.isValid())
        return {};
    const QDateTime before = stored.toDateTime();
    if (stored.isValid() && before.isValid() && before.date() == shown)
        return before;
    return QDateTime(shown, QTime(0, 0));
}

QString customerFieldTitle(const QString& field) {
    static const QHash<QString, QString> titles = {
        {"Company", QStringLiteral("客户名称")}, {"tel", QStringLiteral("联系电话")},
        {"Mobile", QStringLiteral("手机号码")},  {"OtherInfo", QStringLiteral("合同编号")},
        {"AddDate", QStringLiteral("添加时间")}, {"memo2", QStringLiteral("详细说明")},
    };
    return titles.value(field, field);
}

QVariantMap customerFieldValues(const CustomerInput& input) {
    return {
        {"Company", trimBlanks(input.company)},
        {"tel", trimBlanks(input.tel)},
        {"Mobile", trimBlanks(input.mobile)},
        {"OtherInfo", trimBlanks(input.otherInfo)},
        {"AddDate", savedAddDate(input.addDate, input.storedAddDate)},
        {"memo2", memoForDatabase(input.memo)},
    };
}

QString memoForBox(const QString& stored) {
    QString text = stored;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString memoForDatabase(const QString& typed) {
    QString text = typed;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(u'\n', QStringLiteral("\r\n"));
}
