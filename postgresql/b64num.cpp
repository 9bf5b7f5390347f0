// The b64num extension: SQL functions that decode base-64 numerals and LStat
// values with the tools' own decoder, compiled in.
//
// Inside a backend, a fault takes the server down, so:
// - a text value is not NUL-terminated: it is decoded in place, over its
//   bytes, never past them;
// - ereport unwinds with longjmp: no object with a destructor is alive when
//   it may be called, and this file is built without exceptions;
// - everything allocated lives in the per-call memory context, except the
//   row descriptor and the last field name looked up, kept per call site.
//
// The module is built with hidden visibility: only Pg_magic_func, the
// pg_finfo_ records and the functions, all declared PGDLLEXPORT, leave it,
// so that nothing else collides with another module's names in the server.
extern "C" {
#define PGDLLEXPORT __attribute__((visibility("default")))
#include "postgres.h"

#include "access/htup_details.h"
#include "fmgr.h"
#include "funcapi.h"
#include "utils/builtins.h"
}

#include "base64.h"
#include "file_mode.h"
#include "lstat.h"

#include <cstring>

extern "C" {
PG_MODULE_MAGIC;
PG_FUNCTION_INFO_V1(b64num_numeral);
PG_FUNCTION_INFO_V1(b64num_lstat_field_by_name);
PG_FUNCTION_INFO_V1(b64num_lstat_field_by_position);
PG_FUNCTION_INFO_V1(b64num_lstat);
PG_FUNCTION_INFO_V1(b64num_filemode);
}

namespace {

// The bytes of a text value, which are not NUL-terminated.
struct Bytes {
    const char* begin;
    const char* end;
};

// Argument `n`, a text, detoasted only when it is compressed or stored out
// of line: a catalog's LStat values are short and stored as they are, and
// calling out for each of them showed in the time of a scan.
Bytes text_argument(FunctionCallInfo fcinfo, int n)
{
    auto* value = reinterpret_cast<varlena*>(PG_GETARG_POINTER(n));
    if (VARATT_IS_COMPRESSED(value) || VARATT_IS_EXTERNAL(value)) {
        value = pg_detoast_datum_packed(value);
    }
    const char* const begin = VARDATA_ANY(value);
    return {begin, begin + VARSIZE_ANY_EXHDR(value)};
}

// "dev, ino, ..., stream", for hints.
struct FieldNames {
    char text[256];
};

FieldNames known_fields()
{
    FieldNames names{};
    list_field_names(names.text, sizeof names.text, ", ");
    return names;
}

[[noreturn]] void unknown_position(int position)
{
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("there is no LStat field at position %d", position),
                    errhint("The fields are %s, at positions 1 to %d.", known_fields().text,
                            lstat_field_count)));
    pg_unreachable();
}

// A field of the LStat value in argument 0, or SQL NULL when the text is no
// LStat value or lacks the field.
Datum field_of(FunctionCallInfo fcinfo, int index)
{
    const Bytes value = text_argument(fcinfo, 0);
    LstatRow row;
    if (!is_lstat_value(value.begin, value.end, row) || !row.has(static_cast<LstatField>(index))) {
        PG_RETURN_NULL();
    }
    PG_RETURN_INT64(row.values[index]);
}

// The index of the field named by argument 1. The name is nearly always the
// same for every row, so the last name looked up is kept with its index,
// and compared with each name before it is used: a parameter that the
// planner counts as stable, such as a PL/pgSQL variable, still changes
// from one turn of a loop to the next.
struct NamedField {
    int index;
    std::size_t length;
    char name[16];
};

int named_field(FunctionCallInfo fcinfo)
{
    auto* cached = static_cast<NamedField*>(fcinfo->flinfo->fn_extra);
    const Bytes field = text_argument(fcinfo, 1);
    const char* const name = field.begin;
    const auto length = static_cast<std::size_t>(field.end - field.begin);
    if (cached != nullptr && cached->length == length &&
        std::memcmp(cached->name, name, length) == 0) {
        return cached->index;
    }
    const int index = lstat_field_index(name, length);
    if (index < 0) {
        ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                        errmsg("unknown LStat field \"%.*s\"",
                               static_cast<int>(length < 64 ? length : 64), name),
                        errhint("The fields are %s, or their positions 1 to %d.",
                                known_fields().text, lstat_field_count)));
    }
    if (length <= sizeof cached->name) {
        if (cached == nullptr) {
            cached = static_cast<NamedField*>(
                MemoryContextAlloc(fcinfo->flinfo->fn_mcxt, sizeof(NamedField)));
            fcinfo->flinfo->fn_extra = cached;
        }
        cached->index = index;
        cached->length = length;
        std::memcpy(cached->name, name, length);
    }
    return index;
}

// The descriptor of b64num_lstat rows, looked up once per call site: looking
// it up for every row made a row ten times slower.
TupleDesc row_descriptor(FunctionCallInfo fcinfo)
{
    if (fcinfo->flinfo->fn_extra == nullptr) {
        TupleDesc described = nullptr;
        if (get_call_result_type(fcinfo, nullptr, &described) != TYPEFUNC_COMPOSITE) {
            ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                            errmsg("lstat() must return the composite type b64num_lstat")));
        }
        const MemoryContext caller = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
        TupleDesc kept = CreateTupleDescCopy(described);
        kept = BlessTupleDesc(kept);
        MemoryContextSwitchTo(caller);
        fcinfo->flinfo->fn_extra = kept;
    }
    return static_cast<TupleDesc>(fcinfo->flinfo->fn_extra);
}

} // namespace

extern "C" {

// b64num(text): the numeral that starts the text, as b64num prints it.
PGDLLEXPORT Datum b64num_numeral(PG_FUNCTION_ARGS)
{
    const Bytes numeral = text_argument(fcinfo, 0);
    std::int64_t value = 0;
    if (!read_numeral_text(&value, numeral.begin, numeral.end)) {
        PG_RETURN_NULL();
    }
    PG_RETURN_INT64(value);
}

// lstat_field(text, text)
PGDLLEXPORT Datum b64num_lstat_field_by_name(PG_FUNCTION_ARGS)
{
    return field_of(fcinfo, named_field(fcinfo));
}

// lstat_field(text, integer)
PGDLLEXPORT Datum b64num_lstat_field_by_position(PG_FUNCTION_ARGS)
{
    const int32 position = PG_GETARG_INT32(1);
    if (position < 1 || position > lstat_field_count) {
        unknown_position(position);
    }
    return field_of(fcinfo, position - 1);
}

// lstat(text): every field, as a b64num_lstat row. Numerals after the 16th
// name no field, and are left out, as lstat_field leaves them out; a text
// that is no LStat value has no field at all.
PGDLLEXPORT Datum b64num_lstat(PG_FUNCTION_ARGS)
{
    const TupleDesc descriptor = row_descriptor(fcinfo);
    const Bytes value = text_argument(fcinfo, 0);
    LstatRow row;
    if (!is_lstat_value(value.begin, value.end, row)) {
        row.count = 0;
    }
    Datum values[lstat_field_count];
    bool nulls[lstat_field_count];
    for (int index = 0; index < lstat_field_count; ++index) {
        nulls[index] = index >= row.count;
        values[index] = Int64GetDatum(nulls[index] ? 0 : row.values[index]);
    }
    PG_RETURN_DATUM(HeapTupleGetDatum(heap_form_tuple(descriptor, values, nulls)));
}

// filemode(bigint): the mode as ls -l shows it, as b64num-lstat -l does.
PGDLLEXPORT Datum b64num_filemode(PG_FUNCTION_ARGS)
{
    char shown[10];
    mode_string(PG_GETARG_INT64(0), shown);
    PG_RETURN_TEXT_P(cstring_to_text_with_len(shown, sizeof shown));
}

} // extern "C"
