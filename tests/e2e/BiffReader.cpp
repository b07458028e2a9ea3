// The worksheet reader of the grid tests, built into this suite as well, so both read the
// export's files alike.
#include "tests/grid/BiffRecords.cpp"
