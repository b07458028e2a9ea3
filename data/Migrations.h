#pragma once

// The changes the program makes to a database's structure, in order, each applied once. The
// database keeps the number of the last one applied in the one-row table T_SchemaVersion, so
// every copy of the program, old or new, sees what has been done.

#include "Engine.h"

#include <memory>
#include <vector>

struct MigrationStep {
    int version;      // ascending from 1; never renumbered once released
    const char* what; // names the step in an error
    void (*apply)(Connection&);
};

// The program's steps, oldest first.
const std::vector<MigrationStep>& programMigrations();

// Indexes the column of every choice field for the list's filter: a step of its own, and after
// a copy to a server, where the steps do not run again.
void indexChoiceFields(Connection& connection);

// 0 for a database that no step has touched.
int schemaVersion(Connection& connection);

// Applies every step past the database's version, each in a transaction of its own together
// with its new version, so a step is never half done and two copies starting together apply it
// once. A database already up to date is only read. Throws AppError.
void migrate(Connection& connection, const std::vector<MigrationStep>& steps = programMigrations());

// The connection, migrated.
template <class C> std::unique_ptr<C> migrated(std::unique_ptr<C> connection) {
    migrate(*connection);
    return connection;
}
