// The b64num extension for SQLite: b64num(), lstat_field() and filemode()
// decode with the tools' own code, compiled in.
//
// SQLite may run connections on several threads, so:
// - values are decoded with read_numeral_text and read_lstat_value over
//   [begin, end), which read a table built at compile time and write
//   nothing shared;
// - what a statement keeps, the index of a constant field, is SQLite's
//   auxiliary data of that statement's argument;
// - TEXT and BLOB values may hold any byte: exactly sqlite3_value_bytes()
//   of them are read.
//
// The module is built with hidden visibility: only its entry point leaves
// it.
#include <sqlite3ext.h>

#include "base64.h"
#include "file_mode.h"
#include "lstat.h"

#include <cstdio>
#include <cstdlib>

#define B64NUM_EXPORT __attribute__((visibility("default")))

SQLITE_EXTENSION_INIT1

namespace {

// The bytes of a TEXT or BLOB value, or of a number as text.
struct Bytes {
    const char* begin;
    const char* end;
};

Bytes bytes_of(sqlite3_value* value)
{
    const auto* const begin =
        static_cast<const char*>(sqlite3_value_type(value) == SQLITE_BLOB
                                     ? sqlite3_value_blob(value)
                                     : static_cast<const void*>(sqlite3_value_text(value)));
    // Asked after the bytes themselves, as SQLite wants it.
    const auto length = static_cast<std::size_t>(sqlite3_value_bytes(value));
    return {begin, begin != nullptr ? begin + length : nullptr};
}

// The index of the field that `field` names, by name or by position 1 to
// 16, or -1 when there is none.
int field_index(sqlite3_value* field)
{
    if (sqlite3_value_type(field) == SQLITE_INTEGER) {
        const sqlite3_int64 position = sqlite3_value_int64(field);
        return position >= 1 && position <= lstat_field_count ? static_cast<int>(position - 1) : -1;
    }
    const Bytes name = bytes_of(field);
    return lstat_field_index(name.begin, static_cast<std::size_t>(name.end - name.begin));
}

void unknown_field(sqlite3_context* context, sqlite3_value* field)
{
    char fields[160];
    list_field_names(fields, sizeof fields, ", ");
    char message[256];
    if (sqlite3_value_type(field) == SQLITE_INTEGER) {
        (void)std::snprintf(message, sizeof message,
                            "lstat_field: there is no field at position %lld: the fields are %s, "
                            "at positions 1 to %d",
                            sqlite3_value_int64(field), fields, lstat_field_count);
    } else {
        const Bytes name = bytes_of(field);
        const auto length = name.end - name.begin;
        (void)std::snprintf(message, sizeof message,
                            "lstat_field: unknown field '%.*s': the fields are %s, or their "
                            "positions 1 to %d",
                            static_cast<int>(length < 64 ? length : 64), name.begin, fields,
                            lstat_field_count);
    }
    sqlite3_result_error(context, message, -1);
}

// b64num(numeral): the numeral that starts the text, as b64num prints it.
void b64num(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const Bytes numeral = bytes_of(arguments[0]);
    std::int64_t value = 0;
    if (!read_numeral_text(&value, numeral.begin, numeral.end)) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int64(context, value);
}

// lstat_field(lstat, field): one field of an LStat value, by name or by
// position 1 to 16, or NULL when the value lacks it; an error naming the
// field when it names none. The index of a constant field is kept for the
// statement, so that it is looked up once.
void lstat_field(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
        sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    int index = 0;
    if (const auto* kept = static_cast<const int*>(sqlite3_get_auxdata(context, 1))) {
        index = *kept;
    } else {
        index = field_index(arguments[1]);
        if (index < 0) {
            unknown_field(context, arguments[1]);
            return;
        }
        auto* const keep = static_cast<int*>(sqlite3_malloc(sizeof(int)));
        if (keep != nullptr) {
            *keep = index;
            sqlite3_set_auxdata(context, 1, keep, sqlite3_free);
        }
    }
    const Bytes lstat = bytes_of(arguments[0]);
    LstatRow row;
    if (lstat.begin == nullptr || !is_lstat_value(lstat.begin, lstat.end, row) ||
        !row.has(static_cast<LstatField>(index))) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int64(context, row.values[index]);
}

// filemode(mode): the mode as the ten characters of ls -l, as
// b64num-lstat -l shows it, or NULL for NULL.
void filemode(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    char shown[10];
    mode_string(sqlite3_value_int64(arguments[0]), shown);
    sqlite3_result_text(context, shown, sizeof shown, SQLITE_TRANSIENT);
}

} // namespace

// SQLite names the entry point after the file: the letters of "b64num",
// lower case, make sqlite3_bnum_init, which .load finds by itself.
extern "C" B64NUM_EXPORT int sqlite3_bnum_init(sqlite3* db, char** error,
                                               const sqlite3_api_routines* routines)
{
    SQLITE_EXTENSION_INIT2(routines);
    // Deterministic: an expression index may use them. Innocuous: they
    // read nothing but their arguments, so schemas and triggers may too.
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    const struct {
        const char* name;
        int arguments;
        void (*function)(sqlite3_context*, int, sqlite3_value**);
    } functions[] = {
        {"b64num", 1, b64num}, {"lstat_field", 2, lstat_field}, {"filemode", 1, filemode}};
    for (const auto& f : functions) {
        const int status = sqlite3_create_function(db, f.name, f.arguments, flags, nullptr,
                                                   f.function, nullptr, nullptr);
        if (status != SQLITE_OK) {
            if (error != nullptr) {
                *error =
                    sqlite3_mprintf("b64num: cannot create %s(): %s", f.name, sqlite3_errmsg(db));
            }
            return status;
        }
    }
    return SQLITE_OK;
}
