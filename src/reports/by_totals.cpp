#include "by_totals.h"

#include "client_escapes.h"
#include "file_kind.h"
#include "file_mode.h"
#include "human_size.h"
#include "json_text.h"
#include "row_formats.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <tuple>

namespace {

const char* const key_names[] = {"type", "uid", "gid", "kind", "year", "month", "size"};

const char* name_of(ByKey key)
{
    return key_names[static_cast<int>(key)];
}

// The keys that hold regular files only.
bool of_regular_files(ByKey key)
{
    return key == ByKey::kind || key == ByKey::year || key == ByKey::month || key == ByKey::size;
}

// The last component of a path, without its trailing '/'.
std::string_view last_component_of(std::string_view path)
{
    if (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The size class of a file: 0 when it is empty, otherwise the power of
// two N with N <= size < 2N.
std::int64_t size_class(std::int64_t size)
{
    if (size <= 0) {
        return 0;
    }
    return std::int64_t{1} << (63 - __builtin_clzll(static_cast<std::uint64_t>(size)));
}

// A text as COPY escapes it.
std::string copy_escaped(const std::string& text)
{
    std::string escaped;
    append_copy_escaped(escaped, text);
    return escaped;
}

void write_size(OutputBuffer& out, std::int64_t bytes, bool human_sizes)
{
    if (human_sizes) {
        char text[24];
        output_bytes(out, text, human_size(bytes, text));
    } else {
        output_number(out, bytes);
    }
}

} // namespace

bool parse_by_keys(const char* text, std::vector<ByKey>& keys, std::string& error)
{
    keys.clear();
    const std::string_view list = text;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = list.substr(start, comma - start);
        const auto* const known = std::find(std::begin(key_names), std::end(key_names), name);
        if (known == std::end(key_names)) {
            error = "unknown key '" + std::string(name) +
                    "' for --by: type, uid, gid, kind, year, month or size";
            return false;
        }
        const auto key = static_cast<ByKey>(known - std::begin(key_names));
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
            error = "key '" + std::string(name) + "' is given twice";
            return false;
        }
        keys.push_back(key);
        start = comma + 1;
    }
    return true;
}

ClassTable::ClassTable(std::vector<ByKey> keys)
    : keys_(std::move(keys)),
      regular_files_only_(std::any_of(keys_.begin(), keys_.end(), of_regular_files))
{
}

std::pair<std::int64_t, std::int64_t> ClassTable::year_and_month(std::int64_t seconds)
{
    auto month = months_.upper_bound(seconds);
    if (month != months_.begin() && seconds < std::prev(month)->second.end) {
        const Month& found = std::prev(month)->second;
        return {found.year, found.month};
    }
    // A month not met yet: its bounds in local time, once.
    const std::time_t when = seconds;
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return {0, 0};
    }
    std::tm first{};
    first.tm_year = local.tm_year;
    first.tm_mon = local.tm_mon;
    first.tm_mday = 1;
    first.tm_isdst = -1;
    std::tm next = first;
    ++next.tm_mon;
    const std::int64_t start = std::mktime(&first);
    const std::int64_t end = std::mktime(&next);
    const std::int64_t year = local.tm_year + std::int64_t{1900};
    const std::int64_t number = local.tm_mon + std::int64_t{1};
    if (start <= seconds && seconds < end) {
        months_[start] = {end, year, number};
    }
    return {year, number};
}

std::uint32_t ClassTable::class_of(const CatalogLine& line)
{
    const std::int64_t* const values = line.fields.values;
    if (regular_files_only_ && !is_regular_file(values[field_mode])) {
        return no_tally;
    }
    key_.clear();
    std::int64_t numbers[std::size(key_names)] = {};
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        std::int64_t& number = numbers[i];
        switch (keys_[i]) {
        case ByKey::type:
            number = static_cast<unsigned char>(find_type_letter(values[field_mode]));
            break;
        case ByKey::uid:
            number = values[field_uid];
            break;
        case ByKey::gid:
            number = values[field_gid];
            break;
        case ByKey::kind: {
            name_.assign(last_component_of(line.first_column()));
            name_.resize(unescape_column(name_.data(), name_.size()));
            const std::string kind = file_kind(name_);
            number = static_cast<std::int64_t>(kind.size());
            key_ += kind;
            break;
        }
        case ByKey::year:
        case ByKey::month: {
            const auto [year, month] = year_and_month(values[field_mtime]);
            number = keys_[i] == ByKey::year ? year : year * 100 + month;
            break;
        }
        case ByKey::size:
            number = size_class(values[field_size]);
            break;
        }
    }
    key_.append(reinterpret_cast<const char*>(numbers), keys_.size() * sizeof numbers[0]);
    const auto known = numbers_.find(key_); // a class met before: nothing to allocate
    if (known != numbers_.end()) {
        return known->second;
    }
    std::vector<Value> values_of_class;
    std::size_t kind_at = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        Value value{numbers[i], {}};
        if (keys_[i] == ByKey::kind) {
            value.text = key_.substr(kind_at, static_cast<std::size_t>(numbers[i]));
            kind_at += value.text.size();
        }
        values_of_class.push_back(value);
    }
    const auto number = static_cast<std::uint32_t>(classes_.size());
    classes_.push_back(std::move(values_of_class));
    numbers_.emplace(key_, number);
    return number;
}

void ClassTable::write(OutputBuffer& out, const std::vector<Tally>& tallies,
                       const ByStyle& style) const
{
    // The text of each value, as a line shows it.
    const auto shown = [&style](const Value& value, ByKey key) -> std::string {
        switch (key) {
        case ByKey::type:
            return std::string(1, static_cast<char>(value.number));
        case ByKey::kind:
            return kind_label(value.text);
        case ByKey::month: {
            // The class is year * 100 + month, months 1 to 12 before year 1 too.
            const std::int64_t month = (value.number % 100 + 100) % 100;
            char text[32];
            (void)std::snprintf(text, sizeof text, "%lld-%02lld",
                                static_cast<long long>((value.number - month) / 100),
                                static_cast<long long>(month));
            return text;
        }
        case ByKey::size:
            if (style.human_sizes) {
                char text[24];
                return {text, human_size(value.number, text)};
            }
            return std::to_string(value.number);
        default:
            return std::to_string(value.number);
        }
    };
    std::vector<std::uint32_t> held;
    for (std::uint32_t i = 0; i < classes_.size() && i < tallies.size(); ++i) {
        if (tallies[i].entries > 0) {
            held.push_back(i);
        }
    }
    const bool in_class_order = std::all_of(keys_.begin(), keys_.end(), [](ByKey key) {
        return key == ByKey::year || key == ByKey::month || key == ByKey::size;
    });
    std::vector<std::string> texts(classes_.size()); // each class's values, TAB after each
    for (const std::uint32_t i : held) {
        for (std::size_t k = 0; k < keys_.size(); ++k) {
            texts[i] += copy_escaped(shown(classes_[i][k], keys_[k])) + '\t';
        }
    }
    std::sort(held.begin(), held.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (in_class_order) {
            for (std::size_t k = 0; k < keys_.size(); ++k) {
                if (classes_[a][k].number != classes_[b][k].number) {
                    return classes_[a][k].number < classes_[b][k].number;
                }
            }
            return false;
        }
        const ByteSum bytes_a = tallies[a].bytes;
        const ByteSum bytes_b = tallies[b].bytes;
        return bytes_a != bytes_b ? bytes_a > bytes_b : texts[a] < texts[b];
    });
    if (style.header && style.report == ByReport::lines) {
        for (const ByKey key : keys_) {
            output_text(out, name_of(key));
            output_char(out, '\t');
        }
        output_text(out, "entries\tbytes\n");
    }
    for (const std::uint32_t i : held) {
        const auto entries = static_cast<std::int64_t>(tallies[i].entries);
        const auto bytes = static_cast<std::int64_t>(tallies[i].bytes);
        if (style.report == ByReport::json) {
            output_char(out, '{');
            for (std::size_t k = 0; k < keys_.size(); ++k) {
                output_char(out, '"');
                output_text(out, name_of(keys_[k]));
                output_text(out, "\":");
                const Value& value = classes_[i][k];
                if (keys_[k] == ByKey::type || keys_[k] == ByKey::kind ||
                    keys_[k] == ByKey::month) {
                    const std::string text = shown(value, keys_[k]);
                    write_json_string(out, text.data(), text.size());
                } else {
                    output_number(out, value.number);
                }
                output_char(out, ',');
            }
            output_text(out, "\"entries\":");
            output_number(out, entries);
            output_text(out, ",\"bytes\":");
            output_number(out, bytes);
            output_text(out, "}\n");
            continue;
        }
        write_columns(out, texts[i].data(), texts[i].size());
        output_number(out, entries);
        output_char(out, '\t');
        write_size(out, bytes, style.human_sizes);
        output_char(out, '\n');
    }
}
