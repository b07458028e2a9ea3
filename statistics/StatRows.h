#pragma once

// A statistics table as the rows of a query, so the program's grid, printer and file writers
// show, print and export it like any list.

#include "StatCounts.h"

#include <memory>

class Query;

// Fills the query (closed first) with one row per table row: the label, then each count.
void showTable(Query& query, const Stats::StatTable& table);
