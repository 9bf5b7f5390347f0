#include "backup_tree.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "keyed_hash.h"
#include "path_identity.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace {

EntryAttributes attributes_of(const LstatRow& row)
{
    const std::int64_t* const v = row.values;
    return {v[field_dev], v[field_ino],  v[field_mode],   v[field_nlink], v[field_uid],
            v[field_gid], v[field_size], v[field_blocks], v[field_mtime]};
}

// The directory that holds `path` (with its trailing '/'): the path up to
// the '/' before its last component, or "" above every path.
std::string_view parent_path(std::string_view path)
{
    const std::size_t slash =
        path.size() < 2 ? std::string_view::npos : path.rfind('/', path.size() - 2);
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// The directory of a path that ends in '/', or -1 when there is none yet.
std::int64_t find_directory(const BackupTree& tree, std::string_view path, std::uint32_t hash)
{
    return find_path(tree.directory_index, path, hash,
                     [&tree](std::uint32_t index) { return tree.directory_paths[index]; });
}

// The row of a path given without its trailing '/', or -1.
std::int64_t find_row(const BackupTree& tree, std::string_view path)
{
    return find_path(tree.row_index, path, path_hash(path),
                     [&tree](std::uint32_t row) { return tree.rows[row].path; });
}

// Finds the directory of `path` (with its trailing '/'), whose hash is
// `path_hash_of`, or the deepest one above it that there is, and lists in
// tree.missing those below that one that are not there yet, deepest first;
// iterative, since a path may hold thousands of levels. Returns the one
// found.
std::uint32_t find_needed(BackupTree& tree, std::string_view path, std::uint32_t path_hash_of)
{
    tree.missing.clear();
    for (std::string_view at = path;; at = parent_path(at)) {
        const std::uint32_t hash = at.size() == path.size() ? path_hash_of : path_hash(at);
        const std::int64_t known = find_directory(tree, at, hash);
        if (known >= 0) {
            return static_cast<std::uint32_t>(known);
        }
        tree.missing.emplace_back(at, hash);
    }
}

// Makes the directories that find_needed listed below `found`, for the row
// of `line`, and returns the deepest.
std::uint32_t make_missing(BackupTree& tree, std::uint32_t found, unsigned long line)
{
    for (auto it = tree.missing.rbegin(); it != tree.missing.rend(); ++it) {
        const std::string_view kept = keep(tree.store, it->first.data(), it->first.size());
        const auto index = static_cast<std::uint32_t>(tree.directories.size());
        TreeDirectory directory{};
        directory.path = kept;
        directory.parent = found;
        directory.depth = tree.directories[found].depth + 1;
        directory.line = line;
        ++tree.directories[found].child_nodes;
        tree.directories.push_back(std::move(directory));
        tree.bytes.push_back(0);
        tree.directory_paths.push_back(kept);
        insert_path(tree.directory_index, it->second, index);
        found = index;
    }
    return found;
}

// Takes what `placed` put into the tree out again.
void take_out(BackupTree& tree, BackupTree::Placed& placed)
{
    if (placed.counts && placed.live && placed.link == BackupTree::none) {
        add_to_tally(tree.tallies, placed.tally, placed.counted, -1);
    }
    if (placed.is_directory) {
        tree.directories[placed.directory].has_row = false;
        tree.directories[placed.directory].row_counts = false;
    } else {
        tree.directories[placed.directory].file_rows -= placed.counts ? 1 : 0;
        if (placed.link != BackupTree::none) {
            tree.links[placed.link].live = false;
        }
        if (placed.file != BackupTree::none) {
            tree.files[placed.file].gone = true;
        }
    }
    tree.bytes[placed.directory] -= placed.counted;
    placed.counted = 0;
    placed.link = BackupTree::none;
    placed.live = false;
}

// Puts an entry with `attributes` into `directory`, the one it is or the
// one that holds it, for `row`, whose path is `path`, and notes in
// `placed` what it put in; a new row's path is kept here.
void put_in(BackupTree& tree, BackupTree::Row& row, BackupTree::Placed& placed,
            std::string_view path, std::uint32_t directory, bool is_new,
            const EntryAttributes& attributes)
{
    const auto size = static_cast<std::uint64_t>(attributes.size);
    placed.size = size;
    placed.blocks = static_cast<std::uint64_t>(attributes.blocks);
    placed.is_directory = is_directory(attributes.mode);
    placed.directory = directory;
    placed.live = true;
    placed.counted = 0;
    if (placed.is_directory) {
        TreeDirectory& entry = tree.directories[directory];
        entry.has_row = true;
        entry.row_counts = placed.counts;
        entry.attributes = attributes;
        if (is_new) {
            row.path = entry.path.substr(0, entry.path.size() - 1);
        }
        if (placed.counts) {
            tree.bytes[directory] += size;
            placed.counted = size;
            add_to_tally(tree.tallies, placed.tally, size, 1);
        }
        return;
    }
    const std::size_t slash = path.rfind('/');
    if (is_new) {
        row.path = keep(tree.store, path.data(), path.size());
    }
    if (!placed.counts) {
        return;
    }
    ++tree.directories[directory].file_rows;
    if (tree.keeps_files) {
        const TreeFile file{row.path.substr(slash + 1), directory, false, true, attributes};
        if (placed.file == BackupTree::none) {
            placed.file = static_cast<std::uint32_t>(tree.files.size());
            tree.files.push_back(file);
        } else {
            tree.files[placed.file] = file;
        }
    }
    // Over several jobs every row's bytes count, however linked.
    // Kept files carry what merging their links needs, when the tree is finished.
    if (tree.merges_links && !tree.keeps_files && tree.versions != Versions::all &&
        attributes.nlink > 1) {
        placed.link = static_cast<std::uint32_t>(tree.links.size());
        tree.links.push_back(
            {attributes.dev, attributes.ino, row.path, directory, placed.tally, true, size});
        placed.counted = 0;
    } else {
        tree.bytes[directory] += size;
        placed.counted = size;
        add_to_tally(tree.tallies, placed.tally, size, 1);
    }
}

// Finds where the row `row_index` of `path` would make a path a file's and
// a directory's: a directory about to be made at a file's path, or a file
// at a directory's path. With Versions::first the row is refused; otherwise
// the file is noted, to be settled when the tree is finished, and with
// Versions::latest the row of a file takes what earlier rows put below it.
Placement find_clashes(BackupTree& tree, std::string_view path, std::uint32_t row_index,
                       std::uint32_t found, bool is_directory)
{
    for (const auto& missing : tree.missing) {
        const std::string_view directory = missing.first.substr(0, missing.first.size() - 1);
        const std::int64_t file = find_row(tree, directory);
        if (file < 0 || static_cast<std::uint32_t>(file) == row_index) {
            continue;
        }
        if (tree.versions == Versions::first) {
            return {Verdict::below_a_file, tree.rows[static_cast<std::size_t>(file)].line};
        }
        tree.conflicts.push_back(static_cast<std::uint32_t>(file));
    }
    // A file's path can be a directory's only where the directory that holds
    // it has directories: most files' directories have none.
    if (is_directory || !tree.missing.empty() || tree.directories[found].child_nodes == 0) {
        return {Verdict::row, 0};
    }
    tree.below_path.assign(path.data(), path.size()).push_back('/');
    const std::int64_t below = find_directory(tree, tree.below_path, path_hash(tree.below_path));
    if (below < 0) {
        return {Verdict::row, 0};
    }
    TreeDirectory& directory = tree.directories[static_cast<std::size_t>(below)];
    if (tree.versions == Versions::first) {
        return {Verdict::file_over_paths, directory.line};
    }
    if (tree.versions == Versions::latest) {
        directory.cleared_at = tree.rows_taken;
        tree.has_clearings = true;
    }
    tree.conflicts.push_back(row_index);
    return {Verdict::row, 0};
}

// A path's real bytes, which order the links of a file as path order does
// (escapes do not: psql writes a TAB as \t, after a blank).
std::string real_path(std::string_view escaped)
{
    std::string real(escaped);
    real.resize(unescape_column(real.data(), real.size()));
    return real;
}

// Of the links in [begin, end) of one hard-linked file, the one that counts:
// the one whose path comes first by its real bytes, as finish_tree counts
// the links of a tree that keeps no files.
void count_one_link(BackupTree& tree, std::vector<std::uint32_t>::const_iterator begin,
                    std::vector<std::uint32_t>::const_iterator end)
{
    const auto full_path = [&tree](std::uint32_t index) {
        const TreeFile& file = tree.files[index];
        return real_path(std::string(tree.directories[file.directory].path) +
                         std::string(file.name));
    };
    std::uint32_t first = *begin;
    std::string first_path = full_path(first);
    for (auto it = begin; it != end; ++it) {
        const std::uint32_t link = *it;
        std::string path = full_path(link);
        if (path < first_path) {
            first = link;
            first_path = std::move(path);
        }
    }
    for (auto it = begin; it != end; ++it) {
        const std::uint32_t link = *it;
        if (link != first) {
            TreeFile& file = tree.files[link];
            file.counted = false;
            tree.bytes[file.directory] -= static_cast<std::uint64_t>(file.attributes.size);
        }
    }
}

// Counts each hard-linked file of the kept files once; the others leave
// their directory's bytes. Done from the files themselves once all are
// read, in 16 bytes a linked file for the time it takes, less than a tree
// that keeps its files then takes to sort them: a hash of the device and
// inode beside each finds the few that may share them.
void merge_kept_links(BackupTree& tree)
{
    const auto is_linked = [](const TreeFile& file) {
        return !file.gone && file.attributes.nlink > 1;
    };
    // Keyed, so that inodes chosen to share a key cannot make a run of
    // them that each inode's partition goes through again.
    const auto inode_key = [](const TreeFile& file) {
        return KeyedHash{}(std::make_pair(file.attributes.dev, file.attributes.ino));
    };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> linked; // counted first, not grown
    linked.reserve(
        static_cast<std::size_t>(std::count_if(tree.files.begin(), tree.files.end(), is_linked)));
    for (std::size_t i = 0; i < tree.files.size(); ++i) {
        if (is_linked(tree.files[i])) {
            linked.emplace_back(inode_key(tree.files[i]), static_cast<std::uint32_t>(i));
        }
    }
    std::sort(linked.begin(), linked.end());
    std::vector<std::uint32_t> run;
    for (std::size_t start = 0; start < linked.size();) {
        std::size_t end = start + 1;
        while (end < linked.size() && linked[end].first == linked[start].first) {
            ++end;
        }
        // Among those of one key, the links of each inode.
        run.clear();
        for (std::size_t i = start; i < end && end - start > 1; ++i) {
            run.push_back(linked[i].second);
        }
        while (!run.empty()) {
            const std::int64_t dev = tree.files[run.front()].attributes.dev;
            const std::int64_t ino = tree.files[run.front()].attributes.ino;
            const auto other = std::partition(run.begin(), run.end(), [&](std::uint32_t file) {
                const EntryAttributes& a = tree.files[file].attributes;
                return a.dev != dev || a.ino != ino;
            });
            if (run.end() - other > 1) {
                count_one_link(tree, other, run.end());
            }
            run.erase(other, run.end());
        }
        start = end;
    }
}

// The first eight bytes of `name`, zero-padded, read big-endian: names
// compare as their keys do, unless the keys are equal.
std::uint64_t name_key(std::string_view name)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key = key << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
    }
    return key;
}

// Sorts files by name, comparing keys first so that most comparisons stay
// in the cache instead of following two pointers to the names' bytes.
void sort_by_name(std::vector<const TreeFile*>& files)
{
    std::vector<std::pair<std::uint64_t, const TreeFile*>> keyed(files.size());
    std::transform(files.begin(), files.end(), keyed.begin(),
                   [](const TreeFile* file) { return std::make_pair(name_key(file->name), file); });
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second->name < b.second->name;
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i] = keyed[i].second;
    }
}

// With Versions::latest, what the clearings took away (see cleared_at),
// then the files whose paths later rows made directories again.
void settle_latest(BackupTree& tree)
{
    const std::vector<TreeDirectory>& directories = tree.directories;
    const std::size_t count = directories.size();
    std::vector<std::uint32_t> cleared(count); // by the directory or one above it
    for (std::size_t i = 0; i < count; ++i) {
        cleared[i] = std::max(directories[i].cleared_at, cleared[directories[i].parent]);
    }
    for (BackupTree::Placed& placed : tree.placed) {
        const std::uint32_t holder =
            placed.is_directory ? directories[placed.directory].parent : placed.directory;
        if (placed.live && placed.order < cleared[holder]) {
            take_out(tree, placed);
        }
    }
    std::vector<std::uint32_t> latest(count); // the last row left at or below each
    for (const BackupTree::Placed& placed : tree.placed) {
        if (placed.live) {
            latest[placed.directory] = std::max(latest[placed.directory], placed.order);
        }
    }
    for (std::size_t i = count - 1; i > 0; --i) {
        latest[directories[i].parent] = std::max(latest[directories[i].parent], latest[i]);
    }
    for (const std::uint32_t row : tree.conflicts) {
        BackupTree::Placed& placed = tree.placed[row];
        if (!placed.live || placed.is_directory) {
            continue;
        }
        tree.below_path.assign(tree.rows[row].path).push_back('/');
        const std::int64_t below =
            find_directory(tree, tree.below_path, path_hash(tree.below_path));
        if (below >= 0 && latest[static_cast<std::size_t>(below)] > placed.order) {
            take_out(tree, placed);
        }
    }
}

// With Versions::all, a file whose path holds paths becomes the directory
// there, with the bytes of all its rows as its own.
void settle_all(BackupTree& tree)
{
    for (const std::uint32_t row : tree.conflicts) {
        BackupTree::Placed& placed = tree.placed[row];
        tree.below_path.assign(tree.rows[row].path).push_back('/');
        const std::int64_t below =
            find_directory(tree, tree.below_path, path_hash(tree.below_path));
        if (!placed.live || placed.is_directory || below < 0) {
            continue;
        }
        // Of a path whose last row does not count, only the sizes are kept,
        // not the attributes of an earlier row that did.
        EntryAttributes attributes{};
        if (placed.file != BackupTree::none && placed.counts) {
            attributes = tree.files[placed.file].attributes;
        }
        take_out(tree, placed);
        attributes.mode = S_IFDIR | mode_without_type(attributes.mode);
        attributes.size = from_twos_complement(placed.size);
        attributes.blocks = from_twos_complement(placed.blocks);
        const auto directory = static_cast<std::uint32_t>(below);
        tree.directories[directory].has_row = true;
        tree.directories[directory].row_counts = placed.counts;
        tree.directories[directory].attributes = attributes;
        const std::uint64_t counted = placed.counts ? placed.size : 0;
        tree.bytes[directory] += counted;
        if (placed.counts) {
            add_to_tally(tree.tallies, placed.tally, counted, 1);
        }
        placed = {directory,    BackupTree::none, BackupTree::none, placed.order, true,
                  true,         placed.counts,    placed.tally,     counted,      placed.size,
                  placed.blocks};
    }
}

// Marks the directories that nothing is left in, now that later rows took
// their rows away: they are not listed.
void mark_empty(BackupTree& tree)
{
    std::vector<TreeDirectory>& directories = tree.directories;
    for (TreeDirectory& directory : directories) {
        directory.empty = !directory.row_counts && directory.file_rows == 0;
    }
    // Children come after their parents.
    for (std::size_t i = directories.size() - 1; i > 0; --i) {
        if (!directories[i].empty) {
            directories[directories[i].parent].empty = false;
        }
    }
}

} // namespace

void start_tree(BackupTree& tree, bool keeps_files, bool merges_links, const TreeScope& scope)
{
    tree.keeps_files = keeps_files;
    tree.merges_links = merges_links;
    tree.versions = scope.versions;
    tree.top_path = scope.top_path;
    tree.disk_usage = scope.disk_usage;
    tree.directories.emplace_back();
    tree.bytes.push_back(0);
    tree.directory_paths.emplace_back();
    insert_path(tree.directory_index, path_hash(std::string_view()), 0);
}

Placement add_to_tree(BackupTree& tree, const CatalogLine& line, std::uint32_t tally)
{
    EntryAttributes attributes = attributes_of(line.fields);
    // Disk usage counts where sizes count: every total, area and class.
    if (tree.disk_usage) {
        constexpr std::int64_t block_bytes = 512;
        tree.sum_wrapped |=
            __builtin_mul_overflow(attributes.blocks, block_bytes, &attributes.size);
    }
    const std::string_view path = path_identity(line.first_column(), tree.copy_form).path;
    // The directory that the row needs: its own, or the one that holds it.
    const bool directory_row = is_directory(attributes.mode);
    std::string_view needed;
    if (directory_row) {
        needed = tree.with_slash.assign(path.data(), path.size()).append(1, '/');
    } else {
        const std::size_t slash = path.rfind('/');
        needed = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    }
    // Both hashes first, and the slots they lead to fetched at once: a row
    // waits for one cache miss of the index rather than two in a row.
    const std::uint32_t hash = path_hash(path);
    prefetch_slot(tree.row_index, hash);
    const std::uint32_t needed_hash = path_hash(needed);
    prefetch_slot(tree.directory_index, needed_hash);
    const std::int64_t earlier =
        find_path(tree.row_index, path, hash,
                  [&tree](std::uint32_t placed) { return tree.rows[placed].path; });
    if (earlier >= 0 && tree.versions == Versions::first) {
        return {Verdict::path_given_twice, tree.rows[static_cast<std::size_t>(earlier)].line};
    }
    const bool is_new = earlier < 0;
    const auto row_index =
        static_cast<std::uint32_t>(is_new ? tree.rows.size() : static_cast<std::size_t>(earlier));
    ++tree.rows_taken;
    const std::uint32_t found = find_needed(tree, needed, needed_hash);
    const Placement placement = find_clashes(tree, path, row_index, found, directory_row);
    if (placement.verdict != Verdict::row) {
        return placement;
    }
    BackupTree::Row new_row{{}, line.number};
    BackupTree::Placed new_placed{
        0, BackupTree::none, BackupTree::none, tree.rows_taken, false, true, true, tally, 0, 0, 0};
    BackupTree::Row& row = is_new ? new_row : tree.rows[row_index];
    BackupTree::Placed& placed =
        is_new || tree.versions == Versions::first ? new_placed : tree.placed[row_index];
    if (!is_new) {
        if (tree.versions == Versions::all) {
            // Sizes add up over the rows: every one of them counts in the
            // end, so a sum that wraps makes the total pass 2^63 - 1 too.
            tree.sum_wrapped |= __builtin_add_overflow(
                attributes.size, from_twos_complement(placed.size), &attributes.size);
            tree.blocks_wrapped |= __builtin_add_overflow(
                attributes.blocks, from_twos_complement(placed.blocks), &attributes.blocks);
        }
        take_out(tree, placed);
        row.line = line.number;
        placed.order = tree.rows_taken;
    }
    placed.counts = line.selected;
    placed.tally = tally;
    const std::uint32_t directory = make_missing(tree, found, line.number);
    put_in(tree, row, placed, path, directory, is_new, attributes);
    if (is_new) {
        insert_path(tree.row_index, hash, row_index);
        tree.rows.push_back(row);
        if (tree.versions != Versions::first) {
            tree.placed.push_back(placed);
        }
    }
    return {Verdict::row, 0};
}

void finish_tree(BackupTree& tree)
{
    std::sort(tree.conflicts.begin(), tree.conflicts.end());
    tree.conflicts.erase(std::unique(tree.conflicts.begin(), tree.conflicts.end()),
                         tree.conflicts.end());
    if (tree.versions == Versions::latest && (tree.has_clearings || !tree.conflicts.empty())) {
        settle_latest(tree);
    } else if (tree.versions == Versions::all) {
        settle_all(tree);
    }
    mark_empty(tree);
    tree.links.erase(std::remove_if(tree.links.begin(), tree.links.end(),
                                    [](const BackupTree::Link& link) { return !link.live; }),
                     tree.links.end());
    // Each file counts once, in the directory of its link whose path comes
    // first by its real bytes.
    std::sort(tree.links.begin(), tree.links.end(),
              [](const BackupTree::Link& a, const BackupTree::Link& b) {
                  return std::tie(a.dev, a.ino) < std::tie(b.dev, b.ino);
              });
    for (std::size_t start = 0; start < tree.links.size();) {
        const BackupTree::Link& first = tree.links[start];
        std::size_t counted = start;
        std::string counted_path = real_path(first.path);
        std::size_t end = start + 1;
        for (; end < tree.links.size() && tree.links[end].dev == first.dev &&
               tree.links[end].ino == first.ino;
             ++end) {
            std::string path = real_path(tree.links[end].path);
            if (path < counted_path) {
                counted = end;
                counted_path = std::move(path);
            }
        }
        const BackupTree::Link& link = tree.links[counted];
        tree.bytes[link.directory] += link.size;
        add_to_tally(tree.tallies, link.tally, link.size, 1);
        start = end;
    }
    if (tree.keeps_files && tree.merges_links && tree.versions != Versions::all) {
        merge_kept_links(tree);
    }
    std::vector<TreeDirectory>& directories = tree.directories;
    // Children come after their parents, so one backward pass sums subtrees.
    std::vector<ByteSum>& totals = tree.bytes;
    for (std::size_t i = directories.size() - 1; i > 0; --i) {
        totals[directories[i].parent] += totals[i];
        if (!directories[i].empty) {
            directories[directories[i].parent].children.push_back(static_cast<std::uint32_t>(i));
        }
    }
    // Every total is at most the root's: nothing below it is negative.
    tree.too_large = tree.sum_wrapped || totals[0] > static_cast<ByteSum>(INT64_MAX);
    for (std::size_t i = 0; i < directories.size(); ++i) {
        directories[i].total = static_cast<std::uint64_t>(totals[i]);
    }
    tree.directory_files.assign(directories.size(), {});
    for (const TreeFile& file : tree.files) {
        if (!file.gone) {
            tree.directory_files[file.directory].push_back(&file);
        }
    }
    for (std::uint32_t i = 0; i < directories.size(); ++i) {
        std::sort(directories[i].children.begin(), directories[i].children.end(),
                  [&directories](std::uint32_t a, std::uint32_t b) {
                      return last_component(directories[a].path) <
                             last_component(directories[b].path);
                  });
        sort_by_name(tree.directory_files[i]);
    }
    // The top: the first directory down from the root that has a row of
    // its own, holds a file, or holds more than one directory.
    std::uint32_t top = 0;
    while (!directories[top].row_counts && directories[top].file_rows == 0 &&
           directories[top].children.size() == 1) {
        top = directories[top].children.front();
    }
    // With --under, every row lies at or below its path: its directory, if
    // there is one, is at or above that top.
    for (std::uint32_t at = top; !tree.top_path.empty(); at = directories[at].parent) {
        std::string real(path_without_slash(directories[at].path));
        real.resize(unescape_column(real.data(), real.size()));
        if (real == tree.top_path) {
            top = at;
        }
        if (real == tree.top_path || at == 0) {
            break;
        }
    }
    tree.top = top;
    tree.tops_absolute = directories[0].file_rows == 0 &&
                         std::all_of(directories[0].children.begin(), directories[0].children.end(),
                                     [&directories](std::uint32_t child) {
                                         return is_absolute_path(directories[child].path);
                                     });
}

void add_to_tally(std::vector<BackupTree::Tally>& tallies, std::uint32_t index, std::uint64_t bytes,
                  int sign)
{
    if (index == BackupTree::none) {
        return;
    }
    if (index >= tallies.size()) {
        tallies.resize(std::size_t{index} + 1);
    }
    BackupTree::Tally& counted = tallies[index];
    if (sign > 0) {
        counted.bytes += bytes;
        ++counted.entries;
    } else {
        counted.bytes -= bytes;
        --counted.entries;
    }
}

bool disk_usage_fits(const BackupTree& tree)
{
    constexpr unsigned block_bytes = 512; // the unit of st_blocks
    const ByteSum file_blocks = std::accumulate(
        tree.files.begin(), tree.files.end(), ByteSum{0}, [](ByteSum sum, const TreeFile& file) {
            return sum + (file.gone ? 0 : static_cast<std::uint64_t>(file.attributes.blocks));
        });
    const ByteSum blocks = std::accumulate(
        tree.directories.begin(), tree.directories.end(), file_blocks,
        [](ByteSum sum, const TreeDirectory& directory) {
            return sum + (directory.row_counts
                              ? static_cast<std::uint64_t>(directory.attributes.blocks)
                              : 0);
        });
    return !tree.blocks_wrapped && blocks * block_bytes <= static_cast<ByteSum>(INT64_MAX);
}

int levels_below_top(const BackupTree& tree, std::uint32_t directory)
{
    const int levels =
        static_cast<int>(tree.directories[directory].depth - tree.directories[tree.top].depth);
    return has_several_tops(tree) ? levels - 1 : levels; // the root above them is -1
}

std::string_view under_file(const BackupTree& tree)
{
    if (tree.top_path.empty()) {
        return {};
    }
    std::string scratch;
    if (real_bytes(path_without_slash(tree.directories[tree.top].path), scratch) == tree.top_path) {
        return {}; // a directory's
    }
    // The rows below --under: this file's alone.
    const auto file =
        std::find_if(tree.rows.begin(), tree.rows.end(), [&](const BackupTree::Row& row) {
            return real_bytes(row.path, scratch) == tree.top_path;
        });
    return file != tree.rows.end() ? file->path : std::string_view();
}

bool has_several_tops(const BackupTree& tree)
{
    return tree.top == 0;
}

std::string_view shown_path(const BackupTree& tree, std::uint32_t directory)
{
    return directory == 0 ? root_above_tops(tree.tops_absolute)
                          : path_without_slash(tree.directories[directory].path);
}

std::string_view last_component(std::string_view directory_path)
{
    const std::string_view path = path_without_slash(directory_path);
    const std::size_t slash = path.rfind('/');
    return path == "/" ? std::string_view()
                       : path.substr(slash == std::string_view::npos ? 0 : slash + 1);
}

std::string_view path_without_slash(std::string_view directory_path)
{
    if (directory_path.empty()) {
        return ".";
    }
    return directory_path.size() == 1 ? directory_path
                                      : directory_path.substr(0, directory_path.size() - 1);
}
