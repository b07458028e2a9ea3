#pragma once

#include "statistics/U_Statistics.h"

class TFrm_Data;

// What the statistics window counts with: a reader of the open database, the customer columns
// of the list's layout to group by, and every customer (the filter the operator's rights narrow).
StatisticsSetup statisticsSetup(TFrm_Data& data, ShowCustomers showCustomers);
