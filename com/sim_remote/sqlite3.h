#pragma once

// The part of SQLite's C interface that the simulated host uses beside its wrapper (sim/sqlite.h),
// for the Windows build, where the database lives in mto-sql-server on the Linux side
// (sqlite_remote.cc). Only this folder's sqlite3.h is put on the include path.

struct sqlite3;

#define SQLITE_OK 0
#define SQLITE_ERROR 1
#define SQLITE_IOERR 10
#define SQLITE_CANTOPEN 14
#define SQLITE_PROTOCOL 15
#define SQLITE_TOOBIG 18
#define SQLITE_MISMATCH 20
#define SQLITE_MISUSE 21
#define SQLITE_RANGE 25

#ifdef __cplusplus
extern "C" {
#endif

/// Runs the statements of `sql` on the server. Row callbacks are not supported: `callback` must be
/// null. On failure `*errmsg` (when given) receives a copy of the message to free with sqlite3_free.
int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**), void* context,
                 char** errmsg);
void sqlite3_free(void* memory);

#ifdef __cplusplus
}
#endif
