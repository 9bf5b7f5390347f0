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
#include "catalog/pg_type.h"
#include "fmgr.h"
#include "funcapi.h"
#include "nodes/makefuncs.h"
#include "nodes/supportnodes.h"
#include "parser/parse_func.h"
#include "tcop/pquery.h"
#include "utils/builtins.h"
#include "utils/lsyscache.h"
#include "utils/timestamp.h"
}

#include "base64.h"
#include "field_text.h"
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
PG_FUNCTION_INFO_V1(b64num_lstat_field_support);
PG_FUNCTION_INFO_V1(b64num_library_version);
PG_FUNCTION_INFO_V1(b64num_lstat_type);
PG_FUNCTION_INFO_V1(b64num_lstat_atime);
PG_FUNCTION_INFO_V1(b64num_lstat_mtime);
PG_FUNCTION_INFO_V1(b64num_lstat_ctime);
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

[[noreturn]] void unknown_name(const char* name, std::size_t length)
{
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("unknown LStat field \"%.*s\"",
                           static_cast<int>(length < 64 ? length : 64), name),
                    errhint("The fields are %s, or their positions 1 to %d.", known_fields().text,
                            lstat_field_count)));
    pg_unreachable();
}

// Field `index` of the LStat value in argument 0 into *value; false when the
// text is no LStat value or lacks the field.
bool read_field(FunctionCallInfo fcinfo, int index, std::int64_t* value)
{
    const Bytes text = text_argument(fcinfo, 0);
    LstatRow row;
    if (!is_lstat_value(text.begin, text.end, row) || !row.has(static_cast<LstatField>(index))) {
        return false;
    }
    *value = row.values[index];
    return true;
}

// A field of the LStat value in argument 0, or SQL NULL when the text is no
// LStat value or lacks the field.
Datum field_of(FunctionCallInfo fcinfo, int index)
{
    std::int64_t value = 0;
    if (!read_field(fcinfo, index, &value)) {
        PG_RETURN_NULL();
    }
    PG_RETURN_INT64(value);
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
        unknown_name(name, length);
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

// A time field of the LStat value in argument 0 as a timestamp with time
// zone, or SQL NULL where there is none, or it falls outside the years
// 1 to 9999.
Datum time_of(FunctionCallInfo fcinfo, LstatField field)
{
    std::int64_t seconds = 0;
    if (!read_field(fcinfo, field, &seconds) || !is_shown_time(seconds)) {
        PG_RETURN_NULL();
    }
    constexpr std::int64_t unix_to_postgres =
        static_cast<std::int64_t>(POSTGRES_EPOCH_JDATE - UNIX_EPOCH_JDATE) * SECS_PER_DAY;
    PG_RETURN_TIMESTAMPTZ((seconds - unix_to_postgres) * USECS_PER_SEC);
}

// Whether a misspelled constant field is an error now: when a query is
// planned (the planner passes its root), or when a statement defines an
// index, a table or a column. Not when a session loads the expressions of
// an index made before fields were checked here: one of a misspelled
// field, which earlier versions let be made on an empty table, must not
// stop every read of its table; its inserts fail on their rows, as they did.
bool checks_fields_now(const SupportRequestSimplify* request)
{
    if (request->root != nullptr) {
        return true;
    }
    if (ActivePortal == nullptr) {
        return false;
    }
    switch (ActivePortal->commandTag) {
    case CMDTAG_CREATE_INDEX:
    case CMDTAG_CREATE_TABLE:
    case CMDTAG_ALTER_TABLE:
        return true;
    default:
        return false;
    }
}

// The OID of lstat_field(text, integer), beside the function `sibling`
// in its schema, wherever the extension was put.
Oid by_position_function(Oid sibling)
{
    const char* const schema = get_namespace_name(get_func_namespace(sibling));
    const Oid arguments[] = {TEXTOID, INT4OID};
    return LookupFuncName(
        list_make2(makeString(pstrdup(schema)), makeString(pstrdup("lstat_field"))), 2, arguments,
        false);
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

// The planner's support of lstat_field: a constant field is checked when
// a query or an index expression is planned, so that a misspelled name
// fails CREATE INDEX at once, even on an empty table, instead of the first
// INSERT (see checks_fields_now); and a field named 'size' or '8' becomes
// lstat_field(lstat, 8), so that one index serves every spelling of it.
PGDLLEXPORT Datum b64num_lstat_field_support(PG_FUNCTION_ARGS)
{
    Node* const request = reinterpret_cast<Node*>(PG_GETARG_POINTER(0));
    if (!IsA(request, SupportRequestSimplify)) {
        PG_RETURN_POINTER(nullptr);
    }
    const auto* const simplify = reinterpret_cast<SupportRequestSimplify*>(request);
    FuncExpr* const call = simplify->fcall;
    if (list_length(call->args) != 2 || !IsA(lsecond(call->args), Const)) {
        PG_RETURN_POINTER(nullptr);
    }
    const Const* const field = static_cast<Const*>(lsecond(call->args));
    if (field->constisnull) {
        PG_RETURN_POINTER(nullptr);
    }
    if (field->consttype == INT4OID) {
        const int32 position = DatumGetInt32(field->constvalue);
        if ((position < 1 || position > lstat_field_count) && checks_fields_now(simplify)) {
            unknown_position(position);
        }
        PG_RETURN_POINTER(nullptr); // the form every spelling takes
    }
    if (field->consttype != TEXTOID) {
        PG_RETURN_POINTER(nullptr);
    }
    const text* const name = DatumGetTextPP(field->constvalue);
    const std::size_t length = VARSIZE_ANY_EXHDR(name);
    const int index = lstat_field_index(VARDATA_ANY(name), length);
    if (index < 0) {
        if (checks_fields_now(simplify)) {
            unknown_name(VARDATA_ANY(name), length);
        }
        PG_RETURN_POINTER(nullptr); // an error on the first row, as before
    }
    Const* const position =
        makeConst(INT4OID, -1, InvalidOid, sizeof(int32), Int32GetDatum(index + 1), false, true);
    FuncExpr* const rewritten = makeFuncExpr(by_position_function(call->funcid), INT8OID,
                                             list_make2(linitial(call->args), position), InvalidOid,
                                             call->inputcollid, COERCE_EXPLICIT_CALL);
    // Equal, node for node, to what the parser makes of lstat_field(lstat,
    // 8): the collation of the text argument too.
    rewritten->location = call->location;
    PG_RETURN_POINTER(rewritten);
}

// b64num_library_version(): the version of the library this session runs,
// which stays the one it loaded first until the session ends.
PGDLLEXPORT Datum b64num_library_version(PG_FUNCTION_ARGS)
{
    PG_RETURN_TEXT_P(cstring_to_text(B64NUM_LIBRARY_VERSION));
}

// lstat_type(text): the type of the file as find -type names it.
PGDLLEXPORT Datum b64num_lstat_type(PG_FUNCTION_ARGS)
{
    std::int64_t mode = 0;
    if (!read_field(fcinfo, field_mode, &mode)) {
        PG_RETURN_NULL();
    }
    const char letter = find_type_letter(mode);
    PG_RETURN_TEXT_P(cstring_to_text_with_len(&letter, 1));
}

// lstat_atime(text), lstat_mtime(text) and lstat_ctime(text): a time as
// a timestamp with time zone, or NULL outside the years 1 to 9999.
PGDLLEXPORT Datum b64num_lstat_atime(PG_FUNCTION_ARGS)
{
    return time_of(fcinfo, field_atime);
}

PGDLLEXPORT Datum b64num_lstat_mtime(PG_FUNCTION_ARGS)
{
    return time_of(fcinfo, field_mtime);
}

PGDLLEXPORT Datum b64num_lstat_ctime(PG_FUNCTION_ARGS)
{
    return time_of(fcinfo, field_ctime);
}

} // extern "C"
