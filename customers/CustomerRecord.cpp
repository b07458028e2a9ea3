#include "customers/CustomerRecord.h"

#include "data/Activities.h"
#include "data/AppError.h"
#include "data/Query.h"
#include "data/U_Data.h"
#include "grid/TextTrim.h"
#include "operators/Owners.h"

#include <QDateTime>
#include <QHash>

QDate addDateShown(const QVariant& stored) {
    // The query gives a date only for what it could read; anything else is text.
    return stored.typeId() == QMetaType::QDateTime ? stored.toDateTime().date() : QDate();
}

QString unreadableAddDate(const QVariant& stored) {
    return stored.isValid() && stored.typeId() != QMetaType::QDateTime ? stored.toString()
                                                                       : QString();
}

QVariant savedAddDate(const QDate& shown, const QVariant& stored) {
    if (!shown.isValid())
        return {};
    const QDate before = addDateShown(stored);
    if (before.isValid() && before == shown)
        return stored.toDateTime();
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
    QVariantMap values{
        {"Company", trimBlanks(input.company)},
        {"tel", trimBlanks(input.tel)},
        {"Mobile", trimBlanks(input.mobile)},
        {"OtherInfo", trimBlanks(input.otherInfo)},
        {"AddDate", savedAddDate(input.addDate, input.storedAddDate)},
        {"memo2", memoForDatabase(input.memo)},
    };
    if (!input.addDate.isValid() && !unreadableAddDate(input.storedAddDate).isEmpty())
        values.remove("AddDate");
    return values;
}

std::function<void(Connection&)> customerSaveJob(Query& customers, const QVariantMap& values,
                                                 const std::shared_ptr<RowWrite>& write) {
    const int code = customers.findField(QStringLiteral("CustCode"));
    const bool renamed = values.contains("Company") && customers.recNo() >= 0 &&
                         values.value("Company").toString() != customers.asString("Company");
    *write = customers.prepare(RowChange::Edit, values);
    if (code < 0 || !renamed)
        return [write](Connection& connection) { write->run(connection); };
    return [write, custCode = customers.value(customers.recNo(), code).toLongLong(),
            name = values.value("Company").toString()](Connection& connection) {
        Transaction transaction(connection);
        Activities::renameCustomer(connection, custCode, name);
        write->run(connection);
        if (!write->refused()) // a refused save leaves the activities' name as it was
            transaction.commit();
    };
}

void saveEditedCustomer(Query& customers, const QVariantMap& values) {
    if (!customers.connection())
        throw AppError(customers.name() + ": 没有数据库连接");
    auto write = std::make_shared<RowWrite>();
    customerSaveJob(customers, values, write)(*customers.connection());
    customers.take(*write);
}

QString duplicateNameText(TFrm_Data& data, const QString& name) {
    const QString plain = QStringLiteral("客户名称有重复!");
    if (!data.rights.ownOnly())
        return plain;
    const auto holder = Owners::nameHolder(*data.ADOConnection1, name);
    if (!holder || data.rights.seesOwner(holder->owner ? QVariant(holder->owner) : QVariant()))
        return plain;
    return Owners::nameTakenText(*holder);
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
