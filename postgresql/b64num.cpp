// The b64num extension: SQL functions that decode base-64 numerals and LStat
// values with the tools' own decoder, compiled in.
//
// Inside a backend, a fault takes the server down, so:
// - a text value is not NUL-terminated: the decoder reads a terminated copy,
//   on the stack for the usual short value;
// - ereport unwinds with longjmp: no object with a destructor is alive when
//   it may be called, and this file is built without exceptions;
// - everything allocated lives in the per-call memory context, except the
//   row descriptor and the last field name looked up, cached per call site.
extern "C" {
#include "postgres.h"

#include "access/htup_details.h"
#include "fmgr.h"
#include "funcapi.h"
}

#include "base64.h"
#include "lstat.h"

#include <cstring>

extern "C" {
PG_MODULE_MAGIC;
PG_FUNCTION_INFO_V1(b64num_numeral);
PG_FUNCTION_INFO_V1(b64num_lstat_field_by_name);
PG_FUNCTION_INFO_V1(b64num_lstat_field_by_position);
PG_FUNCTION_INFO_V1(b64num_lstat);
}

namespace {

// Long enough for any LStat value a catalog holds (MySQL keeps them in 255
// bytes); longer texts are copied into palloc'd memory.
constexpr std::size_t stack_copy = 256;

// `length` bytes of `data` as a NUL-terminated string: in `buffer` when they
// fit, else in the per-call memory context.
const char* terminated(const char* data, std::size_t length, char (&buffer)[stack_copy])
{
    char* const copy = length < stack_copy ? buffer : static_cast<char*>(palloc(length + 1));
    std::memcpy(copy, data, length);
    copy[length] = '\0';
    return copy;
}

const char* terminated(const text* value, char (&buffer)[stack_copy])
{
    return terminated(VARDATA_ANY(value), VARSIZE_ANY_EXHDR(value), buffer);
}

// "dev, ino, ..., stream", for error messages.
struct FieldList {
    char text[256];
};

FieldList known_fields()
{
    FieldList list{};
    std::size_t used = 0;
    for (int index = 0; index < lstat_field_count; ++index) {
        used += static_cast<std::size_t>(snprintf(list.text + used, sizeof list.text - used, "%s%s",
                                                  index > 0 ? ", " : "", lstat_field_names[index]));
    }
    return list;
}

[[noreturn]] void unknown_position(int position)
{
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("there is no LStat field %d: the fields are %s, at positions 1 to %d",
                           position, known_fields().text, lstat_field_count)));
    pg_unreachable();
}

// A field of the LStat value in argument 0, or SQL NULL when it has none.
Datum field_of(FunctionCallInfo fcinfo, int index)
{
    char buffer[stack_copy];
    const text* const value = PG_GETARG_TEXT_PP(0);
    std::int64_t decoded = 0;
    if (!decode_lstat_field(terminated(value, buffer), index, decoded)) {
        PG_RETURN_NULL();
    }
    PG_RETURN_INT64(decoded);
}

// The index of the field named by argument 1. The name is nearly always the
// same constant for every row, so the last one looked up is kept.
struct NamedField {
    int index;
    std::size_t length;
    char name[16];
};

int named_field(FunctionCallInfo fcinfo)
{
    const text* const field = PG_GETARG_TEXT_PP(1);
    const char* const name = VARDATA_ANY(field);
    const std::size_t length = VARSIZE_ANY_EXHDR(field);
    auto* cached = static_cast<NamedField*>(fcinfo->flinfo->fn_extra);
    if (cached != nullptr && cached->length == length &&
        std::memcmp(cached->name, name, length) == 0) {
        return cached->index;
    }
    const int index = lstat_field_index(name, length);
    if (index < 0) {
        ereport(ERROR,
                (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                 errmsg("unknown LStat field \"%.*s\": the fields are %s, or their positions "
                        "1 to %d",
                        static_cast<int>(length < 64 ? length : 64), name, known_fields().text,
                        lstat_field_count)));
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

// b64num(text): the numeral that starts the text, as b64num prints it. It
// ends at the first space, so only the bytes before one are copied.
Datum b64num_numeral(PG_FUNCTION_ARGS)
{
    char buffer[stack_copy];
    const text* const numeral = PG_GETARG_TEXT_PP(0);
    const char* const data = VARDATA_ANY(numeral);
    const std::size_t length = VARSIZE_ANY_EXHDR(numeral);
    const auto* const space = static_cast<const char*>(std::memchr(data, ' ', length));
    std::int64_t value = 0;
    from_base64(&value,
                terminated(data, space != nullptr ? static_cast<std::size_t>(space - data) : length,
                           buffer));
    PG_RETURN_INT64(value);
}

// lstat_field(text, text)
Datum b64num_lstat_field_by_name(PG_FUNCTION_ARGS)
{
    return field_of(fcinfo, named_field(fcinfo));
}

// lstat_field(text, integer)
Datum b64num_lstat_field_by_position(PG_FUNCTION_ARGS)
{
    const int32 position = PG_GETARG_INT32(1);
    if (position < 1 || position > lstat_field_count) {
        unknown_position(position);
    }
    return field_of(fcinfo, position - 1);
}

// lstat(text): every field, as a b64num_lstat row.
Datum b64num_lstat(PG_FUNCTION_ARGS)
{
    const TupleDesc descriptor = row_descriptor(fcinfo);
    char buffer[stack_copy];
    const text* const value = PG_GETARG_TEXT_PP(0);
    LstatRow row;
    decode_lstat(terminated(value, buffer), row);
    Datum values[lstat_field_count];
    bool nulls[lstat_field_count];
    for (int index = 0; index < lstat_field_count; ++index) {
        values[index] = Int64GetDatum(index < row.count ? row.values[index] : 0);
        nulls[index] = index >= row.count;
    }
    PG_RETURN_DATUM(HeapTupleGetDatum(heap_form_tuple(descriptor, values, nulls)));
}

} // extern "C"
