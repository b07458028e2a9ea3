#pragma once

// Every search builds a whole result and drops the one before. Kept in the process's heap
// rather than handed back to the system, the freed memory serves the next result without a
// fresh page fault per page, which on some machines costs more than reading the rows. Called
// once, at the start of the process, before other threads run.
void keepFreedMemoryForReuse();
