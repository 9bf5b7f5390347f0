// The b64num loadable functions for MariaDB and MySQL: b64num(),
// lstat_field() and filemode() decode with the tools' own code, compiled in.
//
// The server calls loadable functions from many threads at once, so:
// - values are decoded with read_numeral_text and read_lstat_value over
//   [begin, end), which read a table built at compile time and write
//   nothing shared;
// - what a statement keeps, the index of a constant field, lives in its own
//   UDF_INIT;
// - arguments are not NUL-terminated and may hold any byte: exactly the
//   bytes the server gives are read.
//
// The module is built with hidden visibility: only the functions and their
// _init and _deinit leave it, so that nothing else collides with another
// library's names in the server.
#include <mysql.h>

#include "base64.h"
#include "field_text.h"
#include "file_mode.h"
#include "lstat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define B64NUM_EXPORT __attribute__((visibility("default")))

namespace {

constexpr std::size_t message_size = MYSQL_ERRMSG_SIZE;

void write_message(char* message, const char* text)
{
    (void)std::snprintf(message, message_size, "%s", text);
}

// What a statement keeps of its field argument.
struct FieldArgument {
    bool constant; // the same for every row: looked up once
    int index;
};

// The index of the field that argument 1 names, by name or by position 1 to
// 16, or -1 when there is none.
int field_index(const UDF_ARGS* args)
{
    if (args->arg_type[1] == INT_RESULT) {
        const long long position = *reinterpret_cast<const long long*>(args->args[1]);
        return position >= 1 && position <= lstat_field_count ? static_cast<int>(position - 1) : -1;
    }
    return lstat_field_index(args->args[1], args->lengths[1]);
}

// Says that argument 1 names no field, and which fields there are. The
// server shows only the first 80 characters of the message, after its own
// words that name the function: the field and the numbering come first.
void unknown_field(const UDF_ARGS* args, char* message)
{
    char fields[160];
    list_field_names(fields, sizeof fields, " ");
    if (args->arg_type[1] == INT_RESULT) {
        (void)std::snprintf(message, message_size, "no field at position %lld; fields 1-%d: %s",
                            *reinterpret_cast<const long long*>(args->args[1]), lstat_field_count,
                            fields);
    } else {
        const unsigned long length = args->lengths[1] < 32 ? args->lengths[1] : 32;
        (void)std::snprintf(message, message_size, "unknown field '%.*s'; fields 1-%d: %s",
                            static_cast<int>(length), args->args[1], lstat_field_count, fields);
    }
}

// The LStat value in argument 0 into `row`; false for NULL and for a text
// that is no LStat value.
bool read_argument(const UDF_ARGS* args, LstatRow& row)
{
    const char* const lstat = args->args[0];
    return lstat != nullptr && is_lstat_value(lstat, lstat + args->lengths[0], row);
}

// The _init of a function of one LStat value, `name`, that returns text of
// at most `length` bytes.
my_bool init_of_value(UDF_INIT* initid, UDF_ARGS* args, char* message, const char* name,
                      std::size_t length)
{
    if (args->arg_count != 1) {
        (void)std::snprintf(message, message_size, "%s() takes one argument: an LStat value", name);
        return 1;
    }
    args->arg_type[0] = STRING_RESULT;
    initid->maybe_null = 1;
    initid->max_length = static_cast<unsigned>(length);
    return 0;
}

// A time field of the LStat value as "YYYY-MM-DD HH:MM:SS" in UTC, in the
// server's buffer of 255 bytes, or NULL.
char* time_text(LstatField field, UDF_ARGS* args, char* result, unsigned long* length,
                char* is_null)
{
    LstatRow row;
    char text[utc_time_size];
    if (!read_argument(args, row) || !write_utc_time(row.values[field], text)) {
        *is_null = 1;
        return nullptr;
    }
    std::memcpy(result, text, sizeof text);
    *length = sizeof text - 1;
    return result;
}

} // namespace

extern "C" {

// b64num(numeral): the numeral that starts the text, as b64num prints it.
B64NUM_EXPORT my_bool b64num_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    if (args->arg_count != 1) {
        write_message(message, "b64num() takes one argument: a base-64 numeral");
        return 1;
    }
    args->arg_type[0] = STRING_RESULT;
    initid->maybe_null = 1;
    return 0;
}

B64NUM_EXPORT long long b64num(UDF_INIT* /*initid*/, UDF_ARGS* args, char* is_null, char* /*error*/)
{
    const char* const numeral = args->args[0];
    if (numeral == nullptr) {
        *is_null = 1;
        return 0;
    }
    std::int64_t value = 0;
    if (!read_numeral_text(&value, numeral, numeral + args->lengths[0])) {
        *is_null = 1;
        return 0;
    }
    return value;
}

// lstat_field(lstat, field): one field of an LStat value, by name or by
// position 1 to 16, or NULL when the value lacks it. A constant field that
// names none is refused when the statement starts.
B64NUM_EXPORT my_bool lstat_field_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    if (args->arg_count != 2) {
        write_message(message, "lstat_field() takes two arguments: an LStat value and a field, "
                               "by name or by position 1 to 16");
        return 1;
    }
    args->arg_type[0] = STRING_RESULT;
    if (args->arg_type[1] != INT_RESULT) {
        args->arg_type[1] = STRING_RESULT;
    }
    const bool constant = args->args[1] != nullptr;
    const int index = constant ? field_index(args) : -1;
    if (constant && index < 0) {
        unknown_field(args, message);
        return 1;
    }
    auto* const field = static_cast<FieldArgument*>(std::malloc(sizeof(FieldArgument)));
    if (field == nullptr) {
        write_message(message, "lstat_field: out of memory");
        return 1;
    }
    *field = {constant, index};
    initid->ptr = reinterpret_cast<char*>(field);
    initid->maybe_null = 1;
    return 0;
}

B64NUM_EXPORT void lstat_field_deinit(UDF_INIT* initid)
{
    std::free(initid->ptr);
}

// A field that is not constant and names none makes that row's value NULL,
// never a number. Not the error flag: the server would make every later
// row of the statement NULL too, and a SUM over them silently short.
B64NUM_EXPORT long long lstat_field(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                    char* /*error*/)
{
    const char* const lstat = args->args[0];
    if (lstat == nullptr || args->args[1] == nullptr) {
        *is_null = 1;
        return 0;
    }
    const auto* const field = reinterpret_cast<const FieldArgument*>(initid->ptr);
    const int index = field->constant ? field->index : field_index(args);
    LstatRow row;
    if (index < 0 || !is_lstat_value(lstat, lstat + args->lengths[0], row) ||
        !row.has(static_cast<LstatField>(index))) {
        *is_null = 1;
        return 0;
    }
    return row.values[index];
}

// filemode(mode): the mode as the ten characters of ls -l, as
// b64num-lstat -l shows it.
B64NUM_EXPORT my_bool filemode_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    if (args->arg_count != 1) {
        write_message(message, "filemode() takes one argument: a mode, such as "
                               "lstat_field(LStat, 'mode')");
        return 1;
    }
    args->arg_type[0] = INT_RESULT;
    initid->maybe_null = 1;
    initid->max_length = 10;
    return 0;
}

B64NUM_EXPORT char* filemode(UDF_INIT* /*initid*/, UDF_ARGS* args, char* result,
                             unsigned long* length, char* is_null, char* /*error*/)
{
    if (args->args[0] == nullptr) {
        *is_null = 1;
        return nullptr;
    }
    char shown[10];
    mode_string(*reinterpret_cast<const long long*>(args->args[0]), shown);
    std::memcpy(result, shown, sizeof shown); // the server's buffer holds 255 bytes
    *length = sizeof shown;
    return result;
}

// b64num_library_version(): the version of the library that the server
// runs, which stays the one it loaded until the functions are created again.
B64NUM_EXPORT my_bool b64num_library_version_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    if (args->arg_count != 0) {
        write_message(message, "b64num_library_version() takes no argument");
        return 1;
    }
    initid->max_length = sizeof B64NUM_LIBRARY_VERSION - 1;
    initid->const_item = 1;
    return 0;
}

B64NUM_EXPORT char* b64num_library_version(UDF_INIT* /*initid*/, UDF_ARGS* /*args*/, char* result,
                                           unsigned long* length, char* /*is_null*/,
                                           char* /*error*/)
{
    std::memcpy(result, B64NUM_LIBRARY_VERSION, sizeof B64NUM_LIBRARY_VERSION - 1);
    *length = sizeof B64NUM_LIBRARY_VERSION - 1;
    return result;
}

// lstat_type(lstat): the type of the file as find -type names it.
B64NUM_EXPORT my_bool lstat_type_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    return init_of_value(initid, args, message, "lstat_type", 1);
}

B64NUM_EXPORT char* lstat_type(UDF_INIT* /*initid*/, UDF_ARGS* args, char* result,
                               unsigned long* length, char* is_null, char* /*error*/)
{
    LstatRow row;
    if (!read_argument(args, row)) {
        *is_null = 1;
        return nullptr;
    }
    result[0] = find_type_letter(row.values[field_mode]);
    *length = 1;
    return result;
}

// lstat_atime(lstat), lstat_mtime(lstat) and lstat_ctime(lstat): a time as
// "YYYY-MM-DD HH:MM:SS" in UTC, or NULL outside the years 1 to 9999.
B64NUM_EXPORT my_bool lstat_atime_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    return init_of_value(initid, args, message, "lstat_atime", utc_time_size - 1);
}

B64NUM_EXPORT char* lstat_atime(UDF_INIT* /*initid*/, UDF_ARGS* args, char* result,
                                unsigned long* length, char* is_null, char* /*error*/)
{
    return time_text(field_atime, args, result, length, is_null);
}

B64NUM_EXPORT my_bool lstat_mtime_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    return init_of_value(initid, args, message, "lstat_mtime", utc_time_size - 1);
}

B64NUM_EXPORT char* lstat_mtime(UDF_INIT* /*initid*/, UDF_ARGS* args, char* result,
                                unsigned long* length, char* is_null, char* /*error*/)
{
    return time_text(field_mtime, args, result, length, is_null);
}

B64NUM_EXPORT my_bool lstat_ctime_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    return init_of_value(initid, args, message, "lstat_ctime", utc_time_size - 1);
}

B64NUM_EXPORT char* lstat_ctime(UDF_INIT* /*initid*/, UDF_ARGS* args, char* result,
                                unsigned long* length, char* is_null, char* /*error*/)
{
    return time_text(field_ctime, args, result, length, is_null);
}

// lstat_json(lstat): every field as one JSON object, null for those the
// value lacks, or NULL. Longer than the server's buffer: written into the
// statement's own, which _init allocates.
B64NUM_EXPORT my_bool lstat_json_init(UDF_INIT* initid, UDF_ARGS* args, char* message)
{
    if (init_of_value(initid, args, message, "lstat_json", lstat_json_size - 1) != 0) {
        return 1;
    }
    initid->ptr = static_cast<char*>(std::malloc(lstat_json_size));
    if (initid->ptr == nullptr) {
        write_message(message, "lstat_json: out of memory");
        return 1;
    }
    return 0;
}

B64NUM_EXPORT void lstat_json_deinit(UDF_INIT* initid)
{
    std::free(initid->ptr);
}

B64NUM_EXPORT char* lstat_json(UDF_INIT* initid, UDF_ARGS* args, char* /*result*/,
                               unsigned long* length, char* is_null, char* /*error*/)
{
    LstatRow row;
    if (!read_argument(args, row)) {
        *is_null = 1;
        return nullptr;
    }
    char json[lstat_json_size];
    *length = write_lstat_json(row, json);
    std::memcpy(initid->ptr, json, *length);
    return initid->ptr;
}

} // extern "C"
