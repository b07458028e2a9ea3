#pragma once

// The shop's own fields of the demonstration and the benchmarks, each filled for every customer
// of a database file, the same at every run: 联系人, 地址, 客户类型 and 客户来源 first, then
// 年采购额, 签约日期, 重点客户, 备注, 邮箱 and 客户等级, ten of every type.

#include "fields/CustomerFields.h"

namespace BenchData {

// 客户来源's choices come in these shares of the customers.
inline const QString rareSource = QStringLiteral("老客户"); // 1 %
inline const QString commonSource = QStringLiteral("展会"); // 40 %

// Adds the first count (at most ten) of the fields to the database file at path, migrating it
// first, and gives them back. Filling them leaves no change records.
QList<FieldDefinition> addShopFields(const QString& path, int count);

} // namespace BenchData
