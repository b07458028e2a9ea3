#pragma once

#include "data/Rights.h"

// Whether the operator may change the shop's customer fields, which every workstation shares:
// those who may change the shared column layout.
inline bool mayChangeCustomerFields(const Rights& rights) {
    return rights.may(Permission::ChangeLayout);
}
