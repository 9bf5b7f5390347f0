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
#include "field_text.h"
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

// The LStat value in argument 0 into `row`; false for NULL and for a text
// that is no LStat value.
bool read_argument(sqlite3_value** arguments, LstatRow& row)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        return false;
    }
    const Bytes lstat = bytes_of(arguments[0]);
    return lstat.begin != nullptr && is_lstat_value(lstat.begin, lstat.end, row);
}

// lstat_type(lstat): the type of the file as find -type names it.
void lstat_type(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    LstatRow row;
    if (!read_argument(arguments, row)) {
        sqlite3_result_null(context);
        return;
    }
    const char letter = find_type_letter(row.values[field_mode]);
    sqlite3_result_text(context, &letter, 1, SQLITE_TRANSIENT);
}

// lstat_atime(lstat), lstat_mtime(lstat) and lstat_ctime(lstat): a time as
// "YYYY-MM-DD HH:MM:SS" in UTC, as SQLite's date functions read it, or
// NULL outside the years 1 to 9999. The field is the function's user data.
void lstat_time(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    const auto* const field = static_cast<const LstatField*>(sqlite3_user_data(context));
    LstatRow row;
    char text[utc_time_size];
    if (!read_argument(arguments, row) || !write_utc_time(row.values[*field], text)) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_text(context, text, sizeof text - 1, SQLITE_TRANSIENT);
}

// lstat_json(lstat): every field as one JSON object, null for those the
// value lacks, or NULL.
void lstat_json(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    LstatRow row;
    char text[lstat_json_size];
    if (!read_argument(arguments, row)) {
        sqlite3_result_null(context);
        return;
    }
    const std::size_t length = write_lstat_json(row, text);
    sqlite3_result_text(context, text, static_cast<int>(length), SQLITE_TRANSIENT);
}

// b64num_library_version(): the version of the library that this
// connection loaded.
void b64num_library_version(sqlite3_context* context, int /*count*/, sqlite3_value** /*arguments*/)
{
    sqlite3_result_text(context, B64NUM_LIBRARY_VERSION, -1, SQLITE_STATIC);
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
    // The library's version is neither: it changes with the library, and
    // an index of it would be stale after an upgrade.
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    static const LstatField atime = field_atime;
    static const LstatField mtime = field_mtime;
    static const LstatField ctime = field_ctime;
    const struct {
        const char* name;
        int arguments;
        int flags;
        void (*function)(sqlite3_context*, int, sqlite3_value**);
        const LstatField* field;
    } functions[] = {
        {"b64num", 1, flags, b64num, nullptr},
        {"lstat_field", 2, flags, lstat_field, nullptr},
        {"filemode", 1, flags, filemode, nullptr},
        {"lstat_type", 1, flags, lstat_type, nullptr},
        {"lstat_atime", 1, flags, lstat_time, &atime},
        {"lstat_mtime", 1, flags, lstat_time, &mtime},
        {"lstat_ctime", 1, flags, lstat_time, &ctime},
        {"lstat_json", 1, flags, lstat_json, nullptr},
        {"b64num_library_version", 0, SQLITE_UTF8, b64num_library_version, nullptr},
    };
    for (const auto& f : functions) {
        // The field is read, never written: SQLite's user data is not const.
        void* const data =
            const_cast<LstatField*>(f.field); // NOLINT(cppcoreguidelines-pro-type-const-cast)
        const int status = sqlite3_create_function(db, f.name, f.arguments, f.flags, data,
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
