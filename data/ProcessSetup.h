#pragma once

// How the program sets up its process, once, at its start and before other threads run; the
// benchmarks set up theirs the same way.
void prepareProcess();
