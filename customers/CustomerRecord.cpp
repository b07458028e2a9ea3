#include "customers/CustomerRecord.h"

#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/TextTrim.h"
#include "operators/Owners.h"

#include <QDateTime>

QVariant savedAddDate(const QDate& shown, const QVariant& stored) {
    if (!shown.isValid())
        return {};
    const QDateTime before = stored.toDateTime();
    if (stored.isValid() && before.isValid() && before.date() == shown)
        return before;
    return QDateTime(shown, QTime(0, 0));
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

bool companyExists(TFrm_Data& data, const QString& name) {
    data.OpenQuery(data.Qry_Temp, Sql::customerByCompany(name));
    return !data.Qry_Temp.isEmpty();
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
