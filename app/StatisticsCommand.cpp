#include "StatisticsCommand.h"

#include "data/Statements.h"
#include "data/U_Data.h"

StatisticsSetup statisticsSetup(TFrm_Data& data, ShowCustomers showCustomers) {
    StatisticsSetup setup;
    setup.connect = [&data] { return data.openReader(); };
    setup.connection = data.ADOConnection1.get();
    setup.showCustomers = std::move(showCustomers);
    // An own-only operator counts only the customers they may see.
    if (data.rights.ownOnly()) {
        const SqlCommand scope = data.rights.customerScope();
        setup.filter = {scope.sql, scope.params};
    }
    if (!setup.connection)
        return setup;
    // The owner first: counted under the operators' names, and by its index.
    if (setup.connection->columnsOf("Custom").contains("Owner", Qt::CaseInsensitive))
        setup.columns.append({QStringLiteral("负责人"), QStringLiteral("Owner")});
    // The layout's titles name the columns as the list does; key and free texts say nothing.
    auto rows = setup.connection->query(Sql::searchFields());
    int name = -1, field = -1;
    for (int i = 0; i < rows->columnCount(); ++i) {
        if (rows->column(i).name.compare("Name", Qt::CaseInsensitive) == 0)
            name = i;
        if (rows->column(i).name.compare("Field", Qt::CaseInsensitive) == 0)
            field = i;
    }
    const QStringList skipped{"CustCode", "Company", "memo2", "introduce", "AddDate", "Owner"};
    while (name >= 0 && field >= 0 && rows->next()) {
        const QString column =
            QString::fromUtf8(rows->text(field).data(), qsizetype(rows->text(field).size()));
        if (!skipped.contains(column, Qt::CaseInsensitive))
            setup.columns.append(
                {QString::fromUtf8(rows->text(name).data(), qsizetype(rows->text(name).size())),
                 column});
    }
    return setup;
}
