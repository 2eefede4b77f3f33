/*
** The C interface of the generation-2 engine: the functions, types and
** result codes of the SQLite 2.8 library, with their original signatures.
** Programs written against a 2.x library compile against this header
** unchanged.  Every message and every result table handed out is allocated
** with malloc(); messages are released with sqlite_freemem(), result tables
** of sqlite_get_table() only with sqlite_free_table().
*/
#ifndef SQLITE_H
#define SQLITE_H

#ifdef __cplusplus
extern "C" {
#endif

#define SQLITE_VERSION "2.8.17"
#define SQLITE_ISO8859 1

/* An open database connection. */
typedef struct sqlite sqlite;

/* A compiled statement ("virtual machine") made by sqlite_compile(). */
typedef struct sqlite_vm sqlite_vm;

/* Called by sqlite_exec() once per result row: the caller's argument, the
** column count, the row's values (a null pointer for SQL NULL) and the
** column names followed by the declared types.  A non-zero return stops
** the statement with SQLITE_ABORT. */
typedef int (*sqlite_callback)(void*, int, char**, char**);

#define SQLITE_OK 0          /* Successful result */
#define SQLITE_ERROR 1       /* SQL error or missing database */
#define SQLITE_INTERNAL 2    /* An internal logic error in SQLite */
#define SQLITE_PERM 3        /* Access permission denied */
#define SQLITE_ABORT 4       /* Callback routine requested an abort */
#define SQLITE_BUSY 5        /* The database file is locked */
#define SQLITE_LOCKED 6      /* A table in the database is locked */
#define SQLITE_NOMEM 7       /* A malloc() failed */
#define SQLITE_READONLY 8    /* Attempt to write a readonly database */
#define SQLITE_INTERRUPT 9   /* Operation terminated by sqlite_interrupt() */
#define SQLITE_IOERR 10      /* Some kind of disk I/O error occurred */
#define SQLITE_CORRUPT 11    /* The database disk image is malformed */
#define SQLITE_NOTFOUND 12   /* (Internal Only) Table or record not found */
#define SQLITE_FULL 13       /* Insertion failed because database is full */
#define SQLITE_CANTOPEN 14   /* Unable to open the database file */
#define SQLITE_PROTOCOL 15   /* Database lock protocol error */
#define SQLITE_EMPTY 16      /* (Internal Only) Database table is empty */
#define SQLITE_SCHEMA 17     /* The database schema changed */
#define SQLITE_TOOBIG 18     /* Too much data for one row of a table */
#define SQLITE_CONSTRAINT 19 /* Abort due to constraint violation */
#define SQLITE_MISMATCH 20   /* Data type mismatch */
#define SQLITE_MISUSE 21     /* Library used incorrectly */
#define SQLITE_NOLFS 22      /* Uses OS features not supported on host */
#define SQLITE_AUTH 23       /* Authorization denied */
#define SQLITE_FORMAT 24     /* Auxiliary database format error */
#define SQLITE_RANGE 25      /* 2nd parameter to sqlite_bind out of range */
#define SQLITE_NOTADB 26     /* File opened that is not a database file */
#define SQLITE_ROW 100       /* sqlite_step() has another row ready */
#define SQLITE_DONE 101      /* sqlite_step() has finished executing */

/* Opens (creating it when missing) the database file FILENAME.  MODE is
** ignored.  Returns the connection, or NULL with a message in *ERRMSG. */
sqlite* sqlite_open(const char* filename, int mode, char** errmsg);

/* Closes a connection; an open transaction is rolled back.  The close is
** put off while statements made by sqlite_compile() are still alive. */
void sqlite_close(sqlite* db);

/* Runs every statement of SQL, calling XCALLBACK (may be NULL) for each
** result row.  Returns SQLITE_OK or the first error's code with its
** message in *ERRMSG. */
int sqlite_exec(sqlite* db, const char* sql, sqlite_callback xCallback, void* pArg, char** errmsg);

/* Compiles the first statement of ZSQL into *PPVM (NULL when the text holds
** no statement) and points *PZTAIL after it.  Returns a result code. */
int sqlite_compile(sqlite* db, const char* zSql, const char** pzTail, sqlite_vm** ppVm,
                   char** pzErrmsg);

/* Runs a compiled statement to its next row.  Returns SQLITE_ROW,
** SQLITE_DONE, SQLITE_BUSY, SQLITE_ERROR or SQLITE_MISUSE. */
int sqlite_step(sqlite_vm* pVm, int* pN, const char*** pazValue, const char*** pazColName);

/* Destroys a compiled statement.  Returns the statement's result code and
** message. */
int sqlite_finalize(sqlite_vm* pVm, char** pzErrMsg);

/* Runs SQL and returns all rows in one array: the column names, then the
** values row by row.  Release it with sqlite_free_table(). */
int sqlite_get_table(sqlite* db, const char* sql, char*** pazResult, int* pnRow, int* pnColumn,
                     char** pzErrmsg);

/* Releases an array made by sqlite_get_table(); NULL is accepted. */
void sqlite_free_table(char** result);

/* Returns the rowid of the most recent successful INSERT of DB. */
int sqlite_last_insert_rowid(sqlite* db);

/* Returns the number of rows changed by the most recent statement of DB. */
int sqlite_changes(sqlite* db);

/* Makes DB retry a locked database for up to MS milliseconds before it
** reports SQLITE_BUSY; 0 or less turns retrying off. */
void sqlite_busy_timeout(sqlite* db, int ms);

/* Asks, from any thread, that the statement running on DB stop; its step
** then fails and sqlite_exec() or sqlite_finalize() report SQLITE_INTERRUPT
** "interrupted".  A request made while nothing runs stops the next step,
** unless the sqlite_exec() call in progress ends first.  DB must stay open
** until the call returns. */
void sqlite_interrupt(sqlite* db);

/* Returns 0 while a transaction begun with BEGIN is open on DB, 1
** otherwise.  The counterpart of generation 3's sqlite3_get_autocommit(); an
** extension of this library. */
int sqlite_get_autocommit(sqlite* db);

/* Returns 1 when the compiled statement VM cannot change the content of
** the database file (a query, or a pragma that only reads), 0 when it may
** write.  The counterpart of generation 3's sqlite3_stmt_readonly(); an
** extension of this library. */
int sqlite_vm_readonly(sqlite_vm* vm);

/* Releases a message or other text handed out by the library. */
void sqlite_freemem(void* p);

/* Returns the fixed English text of a result code. */
const char* sqlite_error_string(int code);

/* Returns the version of the library, "2.8.17". */
const char* sqlite_libversion(void);

/* Returns the text encoding of the library, "iso8859". */
const char* sqlite_libencoding(void);

#ifdef __cplusplus
}
#endif

#endif
