#include "ProcessSetup.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstdlib> // says which C library this is
#include <ctime>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Every search builds a whole result and drops the one before. Kept in the process's heap
// rather than handed back to the system, the freed memory serves the next result without a
// fresh page fault per page, which on some machines costs more than reading the rows.
void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks up to the largest the heap allows (32 MiB) come from it, not a mapping of their
    // own; up to 512 MiB freed at the heap's top stays there for the next result.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

// Without TZ the C library looks at /etc/localtime again at every local time it works out,
// one system call per date cell of an export or a printed page. Named, the zone is read once;
// a change of the system's zone is then followed at the next start.
void readTheTimeZoneOnce() {
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}

} // namespace

void prepareProcess() {
    keepFreedMemoryForReuse();
    readTheTimeZoneOnce();
}
