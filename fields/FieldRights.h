#pragma once

#include <QString>

class Connection;

// Whether the operator may change the shop's customer fields, which every workstation shares.
// Everyone may until operators have rights of their own; the one place that will ask them.
inline bool mayChangeCustomerFields(Connection&, const QString& /*operatorName*/) {
    return true;
}
