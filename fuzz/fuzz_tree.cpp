// Feeds rows made from arbitrary bytes to the modes that build a tree,
// --du, --ncdu, --qdirstat, --treemap, --by and --diff, with --latest and --all-versions,
// sorted first in runs spilled to temporary files, against a brute-force
// model of --du where the rows allow one, and the same rows in path order
// with and without --sorted, which must agree:
// paths of a few troublesome names, often the same or one below another,
// files that become directories and back, sizes and counts from 0 to past
// 2^63 and below 0, hard links, and lines that are no rows at all. Under
// the sanitizers, any undefined behaviour aborts the run; and what a mode
// writes must hold together.
#include "base64.h"
#include "base64_encoder.h"
#include "diff_writer.h"
#include "path_order.h"
#include "row_filter.h"
#include "sorted_tree_writers.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

void fail(const char* what)
{
    (void)std::fprintf(stderr, "tree modes: %s\n", what);
    std::abort();
}

// The bytes of the input, handed out one at a time; 0 past the end.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Names that make trouble: escapes of both clients, a name of numerals, one
// that is not UTF-8, and kinds of files for the treemap's legend.
const char* const names[] = {
    "a",    "b",     "x.so.6", "back\\\\slash", "lf\\nname", "tab\\tname", "raw\rcr", "caf\xc3\xa9",
    "\xff", "gB BA", "1.2",    ".hidden",       "T.MKV",     "a.tar.gz",   "\\N",     "<&>"};

// Values where totals, units and encodings change, and some no file has.
const std::int64_t sizes[] = {0,         1,
                              5,         4096,
                              1 << 20,   (std::int64_t{1} << 60) - 1,
                              INT64_MAX, -1,
                              INT64_MIN, std::int64_t{1} << 40,
                              1023,      1025,
                              10240,     3,
                              7,         (std::int64_t{1} << 62) + 1};

const std::int64_t modes[] = {040755, 0100644, 0100644, 0100755, 0120777, 010644, 020644, 0644};

std::int64_t size_from(std::uint8_t byte)
{
    return byte < 0xF0 ? sizes[byte % 16]
                       : from_twos_complement(std::uint64_t{byte} << (byte % 64));
}

// What the model of --du knows of a row.
struct ModelRow {
    std::string path; // as written, a directory's maybe with its '/'
    std::int64_t mode, nlink, size, blocks, ino, dev;
};

// One catalog row: a path of one to four names, a TAB, and an LStat value.
std::string row_from(std::uint8_t first, Bytes& bytes, ModelRow& model)
{
    const std::int64_t mode = modes[(first >> 2) % 8];
    std::string path;
    for (int level = 0; level <= (first & 3); ++level) {
        path += "/";
        path += names[bytes.next() % 16];
    }
    if ((mode & 0170000) == 040000 && (bytes.next() & 1) != 0) {
        path += "/";
    }
    const std::uint8_t flags = bytes.next();
    const std::int64_t values[] = {
        flags & 1,                                         // dev
        bytes.next() % 4,                                  // ino: hard links
        mode,                                              //
        (flags & 2) != 0 ? size_from(bytes.next()) : 1,    // nlink
        (flags & 4) != 0 ? size_from(bytes.next()) : 1000, // uid
        1000,                                              // gid
        0,                                                 // rdev
        size_from(bytes.next()),                           // size
        4096,                                              // blksize
        (flags & 8) != 0 ? size_from(bytes.next()) : 8,    // blocks
        0,                                                 // atime
        (flags & 16) != 0 ? -3600 : 1765400000,            // mtime
        0,                                                 // ctime
    };
    std::string value;
    for (const std::int64_t field : values) {
        value += (value.empty() ? "" : " ") + encode_lstat_numeral(field);
    }
    model = {path, values[2], values[3], values[7], values[9], values[1], values[0]};
    return path + "\t" + value;
}

// --du's lines of `rows` worked out by brute force, for rows that the rules
// of a tree let through, of plain names, one row a path, no path below a
// file's: every directory that a row that counts lies at or below, with
// the sizes of those rows, a hard-linked file's in the first of its
// inode's links by their paths' bytes, from the deepest directory that
// holds them all down. Empty where it does not apply; `refused` where the
// total passes 2^63 - 1 or no row counts.
std::vector<std::string> modelled_du(const std::vector<ModelRow>& rows, bool& applies,
                                     bool& refused)
{
    applies = false;
    refused = false;
    std::map<std::string, bool> paths; // without '/', whether a directory's
    for (const ModelRow& row : rows) {
        const bool directory = (row.mode & 0170000) == 040000;
        const bool slash = row.path.back() == '/';
        if (row.path.find_first_of("\\\r") != std::string::npos || row.size < 0 || row.blocks < 0 ||
            row.nlink < 0 || (slash && !directory)) {
            return {};
        }
        const std::string path = slash ? row.path.substr(0, row.path.size() - 1) : row.path;
        if (!paths.emplace(path, directory).second) {
            return {};
        }
    }
    for (const auto& [path, directory] : paths) {
        const auto below = paths.lower_bound(path + "/");
        if (!directory && below != paths.end() && below->first.rfind(path + "/", 0) == 0) {
            return {};
        }
    }
    applies = true;
    std::map<std::pair<std::int64_t, std::int64_t>, std::string> first_links;
    const auto inode = [](const ModelRow& row) { return std::make_pair(row.dev, row.ino); };
    for (const ModelRow& row : rows) {
        if ((row.mode & 0170000) != 040000 && row.nlink > 1 && row.ino != 3) {
            const auto [link, added] = first_links.emplace(inode(row), row.path);
            link->second = added ? link->second : std::min(link->second, row.path);
        }
    }
    // Each row that counts, as the directory it is or the one that holds it.
    std::vector<std::pair<std::string, std::int64_t>> counted;
    for (const ModelRow& row : rows) {
        const bool directory = (row.mode & 0170000) == 040000;
        const bool later_link =
            !directory && row.nlink > 1 && row.ino != 3 && first_links.at(inode(row)) != row.path;
        std::string at =
            row.path.back() == '/' ? row.path.substr(0, row.path.size() - 1) : row.path;
        if (directory) {
            at += '/';
        } else {
            at.erase(at.rfind('/') + 1);
        }
        if (row.ino != 3) {
            counted.emplace_back(at, later_link ? 0 : row.size);
        }
    }
    if (counted.empty()) {
        refused = true;
        return {};
    }
    std::string top = counted.front().first;
    for (const auto& [at, size] : counted) {
        while (at.rfind(top, 0) != 0) {
            top.erase(top.rfind('/', top.size() - 2) + 1);
        }
    }
    std::map<std::string, __int128> totals;
    for (const auto& [at, size] : counted) {
        for (std::size_t end = top.size(); end <= at.size(); end = at.find('/', end) + 1) {
            totals[at.substr(0, end)] += size;
            if (end == at.size()) {
                break;
            }
        }
    }
    std::vector<std::string> lines;
    for (const auto& [directory, total] : totals) {
        if (total > INT64_MAX) {
            refused = true;
            return {};
        }
        const std::string shown =
            directory == "/" ? directory : directory.substr(0, directory.size() - 1);
        lines.push_back(std::to_string(static_cast<std::int64_t>(total)) + "\t" + shown);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What the tree modes take: rows to their writer, refusals left aside, as
// b64num-lstat hands them over; the rows of inode 3 as a selection leaves
// them, not counted.
// Lines refused since the count was last set to 0.
unsigned long refused_lines = 0;

class Feeder final : public LineSink {
public:
    explicit Feeder(RowWriter& writer) : writer_(writer) {}

    void take(CatalogLine& line) override
    {
        refused_lines += is_refusal(line.verdict) ? 1 : 0;
        if (!is_refusal(line.verdict)) {
            line.selected = !line.is_entry() || line.fields.values[field_ino] != 3;
            (void)writer_.take(line);
        }
    }

private:
    RowWriter& writer_;
};

void feed(RowFilter& filter, RowWriter& writer, const std::vector<std::string>& lines)
{
    Feeder feeder(writer);
    writer.start_input();
    filter_start(filter, feeder, RowRules{true});
    unsigned long number = 0;
    for (const std::string& text : lines) {
        std::string line = text;
        filter_line(filter, ++number, line.data(), line.size());
    }
    filter_finish(filter);
    writer.end_input(true);
}

// The two inputs of --sorted --diff as b64num-lstat merges them: a line at
// a time of the one the writer asks for.
void feed_merged(RowWriter& writer, const std::vector<std::string> (&sides)[2])
{
    static RowFilter old_filter;
    static RowFilter new_filter;
    RowFilter* const side_filters[] = {&old_filter, &new_filter};
    Feeder feeder(writer);
    std::size_t next[2] = {0, 0};
    bool open[2] = {true, true};
    for (int side = 0; side < 2; ++side) {
        writer.reading_input(side);
        writer.start_input();
        filter_start(*side_filters[side], feeder, RowRules{true});
    }
    for (int side; (side = writer.next_input()) >= 0 && open[side];) {
        writer.reading_input(side);
        const auto at = static_cast<std::size_t>(side);
        RowFilter& side_filter = *side_filters[at];
        if (next[at] < sides[at].size()) {
            std::string line = sides[at][next[at]++];
            filter_line(side_filter, next[at], line.data(), line.size());
        } else {
            filter_finish(side_filter);
            open[at] = false;
            writer.end_input(true);
        }
    }
}

// The key of a line in path order.
std::string order_key(const std::string& text)
{
    std::string copy = text;
    CatalogLine line{};
    read_catalog_line(line, 1, copy.data(), copy.size());
    std::string key;
    path_order_key(line, key);
    return key;
}

// The totals of --du, each line's first column: never negative, and none
// above the top's, which comes last.
void check_du(const std::string& out)
{
    std::vector<long long> totals;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = out.find('\n', at);
        if (end == std::string::npos) {
            fail("--du ends without a line feed");
        }
        totals.push_back(std::strtoll(out.c_str() + at, nullptr, 10));
        at = end + 1;
    }
    if (totals.empty()) {
        fail("--du wrote nothing of a tree of rows");
    }
    if (*std::min_element(totals.begin(), totals.end()) < 0 ||
        *std::max_element(totals.begin(), totals.end()) != totals.back()) {
        fail("--du wrote a negative total, or one above the top's");
    }
}

// The lines of a QDirStat cache file: each whole in QDirStat's 1022 bytes,
// each entry's of a type, a path, a size and an mtime, never blank.
void check_cache(const std::string& out)
{
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = out.find('\n', at);
        if (end == std::string::npos || end - at > 1022) {
            fail("--qdirstat wrote a line that QDirStat cannot read whole");
        }
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == '[') {
            continue;
        }
        int fields = 0;
        for (std::size_t i = 0; i < line.size(); ++fields) {
            const std::size_t field_end = std::min(line.find_first_of(" \t", i), line.size());
            if (field_end == i) {
                fail("--qdirstat wrote an empty field");
            }
            i = field_end + 1;
        }
        if (fields < 4 || (fields % 2) != 0) {
            fail("--qdirstat wrote an entry of other fields than QDirStat reads");
        }
    }
}

// The lines of a text, in byte order: what --sorted writes in another order.
// --diff's lines of two sides worked out by brute force, for rows that are
// all rows and none refused, every field compared, a path compared where a
// side's row is selected: a path (its real bytes,
// without a trailing '/') differs where one side lacks it or their LStat
// values differ, each side's last row standing with --latest, without the
// rows below a path that a later row of their side made a file; the lines come
// in path order of the row printed, NEW's where both sides have the path.
// Empty with `repeated` where a side gives a path twice without --latest.
std::vector<std::string> modelled_diff(const std::vector<std::string> (&sides)[2], bool latest,
                                       bool& repeated)
{
    struct Version {
        std::string key; // in path order
        std::string given;
        std::string value;
        bool selected; // as the Feeder selects: not of inode 3
    };
    std::map<std::string, Version> rows[2];
    repeated = false;
    for (int side = 0; side < 2; ++side) {
        // With --latest, the place of each file's last row, by its key, and
        // the rows that such a file took away.
        std::map<std::string, std::size_t> files;
        std::vector<bool> gone(sides[side].size(), false);
        for (std::size_t at = 0; latest && at < sides[side].size(); ++at) {
            const std::string key = order_key(sides[side][at]);
            if (key.back() != '/') {
                files[key] = at;
            }
        }
        // A file taken away itself takes nothing: shorter paths first.
        std::vector<std::pair<std::string, std::size_t>> by_length(files.begin(), files.end());
        std::stable_sort(by_length.begin(), by_length.end(), [](const auto& a, const auto& b) {
            return a.first.size() < b.first.size();
        });
        for (const auto& [file, file_at] : by_length) {
            if (gone[file_at]) {
                continue;
            }
            for (std::size_t at = 0; at < file_at; ++at) {
                const std::string key = order_key(sides[side][at]);
                gone[at] = gone[at] || (key.size() > file.size() + 1 &&
                                        key.compare(0, file.size() + 1, file + "/") == 0);
            }
        }
        for (std::size_t at = 0; at < sides[side].size(); ++at) {
            if (gone[at]) {
                continue;
            }
            const std::string& text = sides[side][at];
            std::string key = order_key(text);
            std::string identity = key;
            if (identity.size() > 1 && identity.back() == '/') {
                identity.pop_back();
            }
            const std::size_t tab = text.find('\t');
            std::string copy = text;
            CatalogLine line{};
            read_catalog_line(line, 1, copy.data(), copy.size());
            Version version{key, text.substr(0, tab), text.substr(tab + 1),
                            line.fields.values[field_ino] != 3};
            const auto [stored, added] = rows[side].emplace(identity, version);
            repeated |= !added && !latest;
            if (!added) {
                stored->second = version;
            }
        }
    }
    std::vector<std::pair<std::string, std::string>> differing; // key, line
    for (int side = 0; side < 2; ++side) {
        for (const auto& entry : rows[side]) {
            const Version& version = entry.second;
            const auto other = rows[1 - side].find(entry.first);
            const bool alone = other == rows[1 - side].end();
            if (!version.selected && (alone || !other->second.selected)) {
                continue;
            }
            if (side == 0 && alone) {
                differing.emplace_back(version.key, "-\t" + version.given);
            } else if (side == 1 && (alone || other->second.value != version.value)) {
                differing.emplace_back(version.key, (alone ? "+\t" : "?\t") + version.given);
            }
        }
    }
    std::sort(differing.begin(), differing.end());
    std::vector<std::string> lines(differing.size());
    std::transform(differing.begin(), differing.end(), lines.begin(),
                   [](const auto& keyed_line) { return keyed_line.second; });
    return lines;
}

std::vector<std::string> sorted_lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        line.erase(0, line.find_first_not_of(' ')); // where ncdu's brackets were
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
        at = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// `lines` in path order, as a catalog gives them for --sorted.
std::vector<std::string> in_path_order(const std::vector<std::string>& lines)
{
    std::vector<std::pair<std::string, std::string>> keyed(lines.size());
    std::transform(lines.begin(), lines.end(), keyed.begin(),
                   [](const std::string& text) { return std::make_pair(order_key(text), text); });
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> ordered(keyed.size());
    std::transform(keyed.begin(), keyed.end(), ordered.begin(),
                   [](auto& keyed_line) { return std::move(keyed_line.second); });
    return ordered;
}

std::string written(int fd)
{
    std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        fail("cannot read back what a mode wrote");
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int fd = memfd_create("tree-mode", MFD_CLOEXEC);
    static RowFilter filter;
    if (size > 2048 || fd < 0) {
        return 0;
    }
    Bytes bytes(data, size);
    const std::uint8_t options = bytes.next();
    const int mode = options % 4;
    const TreeScope scope{static_cast<Versions>((options >> 2) % 3),
                          (options & 0x10) != 0 ? "/a" : ""};
    std::vector<std::string> sides[2];
    std::vector<ModelRow> modelled; // of OLD's rows, while no junk comes
    bool all_rows = true;
    int side = 0;
    while (bytes.more()) {
        const std::uint8_t first = bytes.next();
        if (first == 0xFF) {
            side = 1; // the rows of NEW, for --diff
        } else if (first >= 0xF0) {
            std::string junk; // a line that is no row
            for (std::uint8_t byte = bytes.next(); byte != 0 && byte != '\n'; byte = bytes.next()) {
                junk += static_cast<char>(byte);
            }
            sides[side].push_back(junk);
            all_rows = false;
        } else {
            ModelRow model;
            sides[side].push_back(row_from(first, bytes, model));
            modelled.push_back(model);
        }
    }
    const auto out = std::make_unique<OutputBuffer>();
    out->fd = fd;
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
        fail("cannot empty the output");
    }
    const bool human = (options & 0x20) != 0;
    // Rows sorted first, in runs of a few rows spilled to temporary files.
    const TreeSort spilling{false, 512, "/tmp"};
    std::unique_ptr<RowWriter> writer;
    switch (mode) {
    case 0:
        // Depths -1 to 1, and --by in place of the depth 2.
        if ((options >> 6) == 3) {
            writer = make_sorted_by_writer(*out, scope, spilling,
                                           {ByKey::type, ByKey::kind, ByKey::month, ByKey::size},
                                           {ByReport::lines, true, human});
        } else {
            writer = make_sorted_du_writer(*out, scope, spilling, (options >> 6) - 1, human);
        }
        break;
    case 1:
        writer = (options >> 6) % 2 == 0 ? make_sorted_ncdu_writer(*out, scope, spilling, "0")
                                         : make_sorted_qdirstat_writer(*out, scope, spilling, "0");
        break;
    case 2:
        writer = make_treemap_writer(*out, scope, spilling, 320 + (options >> 6) * 300, 200);
        break;
    default:
        writer = make_diff_writer(*out, {all_fields(), static_cast<DiffReport>((options >> 6) % 3),
                                         human, (options & 0x10) != 0, (options & 0x20) != 0, false,
                                         spilling.buffer_size, spilling.directory});
        break;
    }
    refused_lines = 0;
    feed(filter, *writer, sides[0]);
    if (mode == 3) {
        feed(filter, *writer, sides[1]);
    }
    const Ending ending = writer->finish();
    output_flush(*out);
    const std::string text = written(fd);
    // A cache file leaves out what QDirStat could not read, and says so.
    const bool in_part = ending.refusal.find("left out of the cache file") != std::string::npos;
    if (!ending.refusal.empty() && !text.empty() && !in_part) {
        fail("a mode that refused its report wrote some of it");
    }
    if (mode == 1 && text.rfind("[qdirstat", 0) == 0) {
        check_cache(text);
    }
    if (ending.refusal.empty() && mode == 0 && !human && (options >> 6) != 3) {
        check_du(text);
    }
    // --du over the whole tree, against its brute-force model.
    if (mode == 0 && (options >> 6) == 0 && !human && scope.versions == Versions::first &&
        scope.top_path.empty() && all_rows && side == 0) {
        bool applies = false;
        bool refused = false;
        const std::vector<std::string> expected = modelled_du(modelled, applies, refused);
        if (applies &&
            (refused != !ending.refusal.empty() || (!refused && sorted_lines(text) != expected))) {
            (void)std::fprintf(stderr, "--du:\n%s\nrefusal: %s\nmodel:\n", text.c_str(),
                               ending.refusal.c_str());
            for (const std::string& line : expected) {
                (void)std::fprintf(stderr, "%s\n", line.c_str());
            }
            fail("--du totals otherwise than its model");
        }
    }
    // --diff's paths, their + and - and their order, against its model.
    if (mode == 3 && (options >> 6) % 3 == 0 && all_rows && refused_lines == 0 &&
        !sides[0].empty() && !sides[1].empty()) {
        bool repeated = false;
        const std::vector<std::string> expected =
            modelled_diff(sides, (options & 0x20) != 0, repeated);
        std::vector<std::string> listed;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            const std::string line = text.substr(at, end - at);
            const char status = line[0];
            listed.push_back(std::string(status == '+' || status == '-' ? 1 : 0, status) +
                             (status == '+' || status == '-' ? "\t" : "?\t") +
                             line.substr(line.find('\t', 2) + 1));
            at = end + 1;
        }
        // A DELTA past 2^63 - 1 may stop it first, which the model does not see.
        const bool too_large = ending.refusal.rfind(total_passes, 0) == 0;
        if ((!too_large &&
             repeated != (ending.refusal.find("again on line") != std::string::npos)) ||
            (ending.refusal.empty() && listed != expected)) {
            (void)std::fprintf(stderr, "--diff:\n%s\nrefusal: %s\nmodel:\n", text.c_str(),
                               ending.refusal.c_str());
            for (const std::string& line : expected) {
                (void)std::fprintf(stderr, "%s\n", line.c_str());
            }
            for (const auto& rows : sides) {
                (void)std::fprintf(stderr, "side:\n");
                for (const std::string& row : rows) {
                    (void)std::fprintf(stderr, "%s\n", row.c_str());
                }
            }
            fail("--diff lists otherwise than its model");
        }
    }
    // In path order, --sorted gives what the same rows give without it.
    if (mode <= 2) {
        // As b64num-lstat hands them over: with --under, only the rows at or
        // below its path.
        std::vector<std::string> ordered = in_path_order(sides[0]);
        if (!scope.top_path.empty()) {
            ordered.erase(std::remove_if(ordered.begin(), ordered.end(),
                                         [](const std::string& text) {
                                             const std::string path =
                                                 text.substr(0, text.find('\t'));
                                             return path != "/a" && path.rfind("/a/", 0) != 0 &&
                                                    text.find('\t') != std::string::npos;
                                         }),
                          ordered.end());
        }
        std::string outputs[2];
        std::string refusals[2];
        for (const bool sorted : {false, true}) {
            if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
                fail("cannot empty the output");
            }
            std::unique_ptr<RowWriter> run;
            if (mode == 0 && (options >> 6) == 3) {
                const ByStyle style{ByReport::lines, false, human};
                const std::vector<ByKey> keys{ByKey::type, ByKey::kind};
                run =
                    make_sorted_by_writer(*out, scope, sorted ? TreeSort{} : spilling, keys, style);
            } else if (mode == 2) {
                run = make_treemap_writer(*out, scope, sorted ? TreeSort{} : spilling,
                                          320 + (options >> 6) * 300, 200);
            } else if (mode == 0) {
                const int depth = static_cast<int>(options >> 6) - 1;
                run = make_sorted_du_writer(*out, scope, sorted ? TreeSort{} : spilling, depth,
                                            human);
            } else if ((options >> 6) % 2 == 0) {
                run = make_sorted_ncdu_writer(*out, scope, sorted ? TreeSort{} : spilling, "0");
            } else {
                run = make_sorted_qdirstat_writer(*out, scope, sorted ? TreeSort{} : spilling, "0");
            }
            feed(filter, *run, ordered);
            refusals[sorted ? 1 : 0] = run->finish().refusal;
            output_flush(*out);
            outputs[sorted ? 1 : 0] = written(fd);
        }
        // Path order cannot tell whether a file or the paths below it came
        // later, and the report stops there.
        if (refusals[1].rfind("--sorted --latest: the report stops", 0) == 0) {
            return 0;
        }
        // --sorted --du says that what it listed before a refused total stays.
        const std::string stops = "; the listing stops here";
        if (refusals[1].size() > stops.size() &&
            refusals[1].compare(refusals[1].size() - stops.size(), stops.size(), stops) == 0) {
            refusals[1].resize(refusals[1].size() - stops.size());
        }
        if (refusals[0] != refusals[1]) {
            (void)std::fprintf(stderr, "refusals: '%s' and '%s'\n", refusals[0].c_str(),
                               refusals[1].c_str());
            fail("--sorted refuses otherwise");
        }
        // ncdu's timestamps differ; its entries and the other lines may
        // come in another order.
        const std::string stamp = "\"timestamp\":";
        for (std::string& output : outputs) {
            const std::size_t at = output.find(stamp);
            if (at != std::string::npos) {
                output.erase(at, output.find('}', at) - at);
            }
            for (std::size_t comma; (comma = output.find(",\n")) != std::string::npos;) {
                output.replace(comma, 2, "\n");
            }
            std::replace(output.begin(), output.end(), '[', ' ');
            std::replace(output.begin(), output.end(), ']', ' ');
        }
        if (refusals[0].empty() && sorted_lines(outputs[0]) != sorted_lines(outputs[1])) {
            (void)std::fprintf(stderr, "unsorted:\n%s\nsorted:\n%s\n", outputs[0].c_str(),
                               outputs[1].c_str());
            fail("--sorted writes otherwise");
        }
    }
    // Both inputs in path order: --sorted --diff lists what --diff lists.
    const std::vector<std::string> ordered_sides[2] = {in_path_order(sides[0]),
                                                       in_path_order(sides[1])};
    if (mode == 3 && (options >> 6) % 3 == 0) {
        std::string outputs[2];
        std::string refusals[2];
        for (const bool sorted : {false, true}) {
            if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
                fail("cannot empty the output");
            }
            const DiffStyle style{all_fields(),          DiffReport::lines,     human,
                                  (options & 0x10) != 0, (options & 0x20) != 0, sorted,
                                  spilling.buffer_size,  spilling.directory};
            const std::unique_ptr<RowWriter> run = make_diff_writer(*out, style);
            if (sorted) {
                feed_merged(*run, ordered_sides);
            } else {
                feed(filter, *run, ordered_sides[0]);
                feed(filter, *run, ordered_sides[1]);
            }
            refusals[sorted ? 1 : 0] = run->finish().refusal;
            output_flush(*out);
            outputs[sorted ? 1 : 0] = written(fd);
        }
        // What --sorted merged before a path that stops it stays written;
        // and path order cannot tell a side's later row where a path
        // changed between file and directory.
        const bool stopped = refusals[1].find("stops here") != std::string::npos ||
                             refusals[1].find("cannot tell") != std::string::npos;
        if (!refusals[0].empty() && !outputs[0].empty()) {
            fail("--diff refused and wrote some of its report");
        }
        // Where one side holds no rows, the other is not read to its end,
        // and the message names only the one.
        if (!stopped && (refusals[0].empty() != refusals[1].empty() ||
                         (refusals[0].empty() && outputs[0] != outputs[1]))) {
            (void)std::fprintf(stderr, "--diff: '%s'\n%s\n--sorted --diff: '%s'\n%s\n",
                               refusals[0].c_str(), outputs[0].c_str(), refusals[1].c_str(),
                               outputs[1].c_str());
            fail("--sorted --diff lists otherwise");
        }
    }
    if (ending.refusal.empty() && mode == 2 &&
        (text.rfind("<?xml", 0) != 0 || text.size() < 7 ||
         text.compare(text.size() - 7, 7, "</svg>\n") != 0)) {
        fail("--treemap wrote no whole document");
    }
    return 0;
}
