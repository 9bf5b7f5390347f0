#include "sorted_tree.h"

#include "client_escapes.h"
#include "file_mode.h"
#include "path_identity.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int64_t block_bytes = 512;

std::uint32_t deepest(const SortedTree& tree)
{
    return static_cast<std::uint32_t>(tree.open.size() - 1);
}

// Whether a file can still be taken out by a row that comes after it in
// path order: a later version of its path, or with the first versions
// counting, a row below it that came first in the input. Without the
// input order (--sorted), the first versions' file stays, and the rows
// below it are refused.
bool files_may_go(const SortedTree& tree)
{
    return tree.versions != Versions::first || tree.order_known;
}

// Whether `text` starts with `head`. Neighbours in path order share most
// of their bytes and differ near their ends, so the last eight bytes of
// `head` are compared first.
bool starts_with(std::string_view text, std::string_view head)
{
    const std::size_t length = head.size();
    if (length > text.size()) {
        return false;
    }
    if (length >= 8) {
        std::uint64_t text_tail = 0;
        std::uint64_t head_tail = 0;
        std::memcpy(&text_tail, text.data() + length - 8, 8);
        std::memcpy(&head_tail, head.data() + length - 8, 8);
        if (text_tail != head_tail) {
            return false;
        }
    }
    return std::memcmp(text.data(), head.data(), length) == 0;
}

bool same_path(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && starts_with(a, b);
}

// The directory that a path without its trailing '/' lies in: up to its
// last '/', or "" above every path.
std::string_view directory_of(std::string_view identity)
{
    const std::size_t slash = identity.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : identity.substr(0, slash + 1);
}

void hand_over(SortedTree& tree, ClosedDirectoryVisitor& visitor)
{
    for (const ClosedDirectory& directory : tree.held) {
        visitor.closed(directory);
    }
    tree.held.clear();
}

// A row that counts, in the directory `depth` levels down the open ones:
// the deepest directory that holds every such row so far moves up to the
// one that holds this one too (a bound on the top, exact while no row is
// taken out again).
void count_row(SortedTree& tree, std::uint32_t depth, ClosedDirectoryVisitor& visitor, bool may_go)
{
    tree.lca_depth =
        tree.any_counted ? std::min({tree.lca_depth, tree.lowest_since, depth}) : depth;
    tree.lowest_since = deepest(tree);
    tree.any_counted = true;
    ++tree.counted_rows;
    ++tree.open[depth].own_counted;
    // The directories held are closed, so that this row lies outside
    // them: they are below the top, unless a later row takes it out.
    if (!may_go && tree.max_levels < 0) {
        hand_over(tree, visitor);
    }
}

// Opens, for the entries written, the directories from the top down to
// `depth` that are not yet, for an entry that counts there.
void write_open(SortedTree& tree, std::uint32_t depth)
{
    if (tree.entries == nullptr) {
        return;
    }
    for (std::uint32_t at = tree.entry_top; at <= depth && at < tree.open.size(); ++at) {
        SortedTree::Open& directory = tree.open[at];
        if (!directory.written && at == 0) {
            directory.written = true;
            tree.entries->open_root(root_above_tops(tree.tops_absolute));
        } else if (!directory.written) {
            directory.written = true;
            tree.entries->open_directory(std::string_view(tree.path).substr(0, directory.path_end),
                                         directory.has_row ? &directory.attributes : nullptr,
                                         directory.row_counts);
        }
    }
}

// Writes a file that no later row can put paths below, where its
// directory is the deepest open one, or holds it until it is. Files of one
// job's rows were written as they came.
void settle_file(SortedTree& tree, const SortedTree::Candidate& file, std::string_view path)
{
    if (tree.entries == nullptr || !file.counts || !files_may_go(tree)) {
        return;
    }
    if (file.depth == deepest(tree)) {
        write_open(tree, file.depth);
        tree.entries->file(path, file.attributes, file.tallied);
    } else {
        tree.unwritten.push_back({file.depth, std::string(path), file.attributes, file.tallied});
    }
}

// Writes the files held for the deepest open directory.
void write_unwritten(SortedTree& tree)
{
    while (!tree.unwritten.empty() && tree.unwritten.back().depth == deepest(tree)) {
        write_open(tree, deepest(tree));
        const SortedTree::Unwritten& file = tree.unwritten.back();
        tree.entries->file(file.path, file.attributes, file.counted);
        tree.unwritten.pop_back();
    }
}

// Drops the last file that could hold paths: `settled` a file for good, or
// taken out.
void pop_candidate(SortedTree& tree, bool settled)
{
    const SortedTree::Candidate& file = tree.candidates.back();
    if (settled && file.counts && files_may_go(tree)) {
        --tree.counting_candidates;
    }
    tree.candidates.pop_back();
    tree.candidate_path.resize(tree.candidates.empty() ? 0 : tree.candidates.back().path_end);
}

// Ends the deepest open directory for the entries written: the files in it
// that could still have held paths are files.
void end_entries(SortedTree& tree)
{
    if (tree.entries == nullptr) {
        return;
    }
    while (!tree.candidates.empty() && tree.candidates.back().depth == deepest(tree)) {
        const SortedTree::Candidate file = tree.candidates.back();
        settle_file(tree, file, std::string_view(tree.candidate_path).substr(0, file.path_end));
        pop_candidate(tree, true);
    }
    write_unwritten(tree);
    if (tree.open.back().written) {
        tree.entries->close_directory();
    }
}

// Closes the deepest open directory.
void close_deepest(SortedTree& tree, ClosedDirectoryVisitor& visitor, bool at_end)
{
    end_entries(tree);
    const SortedTree::Open closing = tree.open.back();
    tree.open.pop_back();
    SortedTree::Open& parent = tree.open.back();
    parent.bytes += closing.bytes;
    parent.counted_rows += closing.counted_rows;
    if (closing.counted_rows > 0) {
        ++parent.nonempty_children;
        parent.child_top = closing.own_counted == 0 && closing.nonempty_children == 1
                               ? closing.child_top
                               : static_cast<std::uint32_t>(tree.open.size());
    }
    if (closing.bytes > static_cast<ByteSum>(INT64_MAX)) {
        tree.too_large = true;
    }
    const auto depth = static_cast<std::uint32_t>(tree.open.size());
    if (tree.lists_directories && closing.counted_rows > 0 && !tree.too_large && !tree.link_lost) {
        ClosedDirectory directory{tree.path, depth, static_cast<std::uint64_t>(closing.bytes)};
        // Below the top for sure where a row that counts, and that no later
        // row can take out, lies outside it. Within DEPTH levels of the
        // deepest top there can be, while no row can be taken out.
        if (!at_end && tree.max_levels < 0 && tree.held.empty() &&
            tree.counted_rows - closing.counted_rows > tree.counting_candidates) {
            visitor.closed(directory);
        } else if (at_end || tree.max_levels < 0 || files_may_go(tree) ||
                   depth <=
                       tree.lca_depth + static_cast<std::uint32_t>(tree.max_levels) +
                           (tree.lca_depth == 0 ? 1U : 0U)) { // several tops: levels below each
            tree.held.push_back(std::move(directory));
        }
    }
    tree.path.resize(parent.path_end);
}

// Closes the open directories that `needed` (a directory's path with its
// '/') does not lie in.
void close_outside(SortedTree& tree, std::string_view needed, ClosedDirectoryVisitor& visitor)
{
    while (tree.open.size() > 1 && !starts_with(needed, tree.path)) {
        close_deepest(tree, visitor, false);
    }
    if (tree.entries != nullptr) {
        write_unwritten(tree);
    }
    tree.lowest_since = std::min(tree.lowest_since, deepest(tree));
}

// Opens the directories down to `needed`, which the deepest open one holds.
void open_down_to(SortedTree& tree, std::string_view needed)
{
    while (tree.path.size() < needed.size()) {
        const std::size_t end = needed.find('/', tree.path.size()) + 1;
        tree.path.append(needed.substr(tree.path.size(), end - tree.path.size()));
        const std::uint64_t cleared = tree.open.back().cleared_before;
        SortedTree::Open& opened = tree.open.emplace_back();
        opened.path_end = end;
        opened.cleared_before = cleared;
        if (tree.clearing != 0 && deepest(tree) == tree.clearing_depth) {
            opened.cleared_before = std::max(cleared, tree.clearing);
            tree.clearing = 0;
        }
    }
}

// A row that the rows settled as its inode's first link (see
// first_links.h) and that never counts: the next link of its inode to
// count takes its place.
void lose_first_link(SortedTree& tree, LinkClaim claim, const EntryAttributes& attributes)
{
    if (claim == LinkClaim::first) {
        tree.orphans.emplace(inode_key(attributes), true);
    }
}

// Whether a row that the rows settled as a later link of its inode takes
// the place of a first link that never counted.
bool adopts(SortedTree& tree, const EntryAttributes& attributes)
{
    if (tree.orphans.empty()) {
        return false;
    }
    const auto orphan = tree.orphans.find(inode_key(attributes));
    if (orphan == tree.orphans.end()) {
        return false;
    }
    tree.orphans.erase(orphan);
    return true;
}

// Puts the row read last where it belongs, now that no later row can
// replace it.
void commit(SortedTree& tree, ClosedDirectoryVisitor& visitor)
{
    SortedTree::Row& row = tree.pending;
    if (!row.valid) {
        return;
    }
    row.valid = false;
    const std::uint32_t depth = deepest(tree);
    SortedTree::Open& directory = tree.open.back();
    const auto size = static_cast<std::uint64_t>(row.attributes.size);
    if (row.is_directory) {
        const auto own_blocks = static_cast<std::uint64_t>(row.attributes.blocks);
        if (directory.has_row && tree.versions == Versions::all) {
            // A file's rows that this directory took (see Inherited).
            row.attributes.size += directory.attributes.size;
            row.attributes.blocks += directory.attributes.blocks;
        }
        directory.has_row = true;
        directory.row_counts = row.counts || (directory.has_row && directory.row_counts);
        directory.attributes = row.attributes;
        if (row.counts) {
            directory.bytes += size;
            ++directory.counted_rows;
            add_to_tally(tree.tallies, row.tally, size, 1);
            count_row(tree, depth, visitor, false);
            write_open(tree, depth);
            tree.entry_blocks += own_blocks;
        }
        return;
    }
    // Built where it stays: a copy of a struct filled field by field is
    // read back before its stores are done, which costs more than the rest.
    SortedTree::Candidate& file = tree.candidates.emplace_back();
    file.depth = depth;
    file.counts = row.counts;
    file.first_link = false;
    file.link_settled = false;
    file.tallied = false;
    file.tally = row.tally;
    file.line = row.line;
    file.order = row.order;
    file.counted = 0;
    file.attributes = row.attributes;
    if (row.counts) {
        // Over several jobs every row's bytes count, however linked; ncdu
        // and QDirStat count each link themselves.
        const bool linked = tree.merges_links && links_merge(tree.versions) &&
                            is_hard_link(row.attributes) && row.link != LinkClaim::none;
        if (linked && row.link == LinkClaim::undecided) {
            const auto [inode, first] = tree.linked.try_emplace(inode_key(row.attributes), 0);
            file.first_link = first;
            inode->second += first ? 0 : 1;
        } else if (linked) {
            file.first_link = row.link == LinkClaim::first || adopts(tree, row.attributes);
            file.link_settled = true;
        }
        if (!linked || file.first_link) {
            file.tallied = true;
            file.counted = size;
            directory.bytes += size;
            add_to_tally(tree.tallies, row.tally, size, 1);
        }
        ++directory.counted_rows;
        const bool may_go = files_may_go(tree);
        count_row(tree, depth, visitor, may_go);
        tree.counting_candidates += may_go ? 1 : 0;
        tree.entry_blocks += static_cast<std::uint64_t>(row.attributes.blocks);
        // Written once it stays a file (see settle_file).
        if (tree.entries != nullptr && !may_go) {
            write_open(tree, depth);
            tree.entries->file(row.identity, row.attributes, file.tallied);
        }
    }
    file.path_end = row.identity.size();
    tree.candidate_path.swap(row.identity); // the candidates before it are its prefixes
}

// Takes a file that paths below it turn into a directory out of its
// directory: with Versions::all its bytes become the directory's own, in
// `directory_row`, the row of that directory, where that is the row that
// comes (the path holds the sizes of its rows, in the class of its last),
// or else as the row that the directory is left with.
void take_out(SortedTree& tree, const SortedTree::Candidate& file, EntryAttributes* directory_row)
{
    SortedTree::Open& directory = tree.open[file.depth];
    directory.bytes -= file.counted;
    if (file.counts) {
        --directory.counted_rows;
        --directory.own_counted;
        --tree.counted_rows;
        tree.counting_candidates -= files_may_go(tree) ? 1U : 0U;
        if (file.tallied) {
            add_to_tally(tree.tallies, file.tally, file.counted, -1);
        }
        if (tree.versions != Versions::all || directory_row != nullptr) {
            tree.entry_blocks -= static_cast<std::uint64_t>(file.attributes.blocks);
        }
    }
    if (file.link_settled) {
        // Links of its inode that came after it may have gone by.
        tree.taken_links.push_back(file.order);
        tree.link_lost |= file.first_link;
    } else if (file.first_link) {
        // The entry its inode got when it came.
        const auto inode = tree.linked.find(inode_key(file.attributes));
        if (inode != tree.linked.end()) {
            tree.link_lost |= inode->second > 0;
            tree.linked.erase(inode);
        }
    }
    if (tree.versions == Versions::all && directory_row != nullptr) {
        tree.too_large |=
            __builtin_add_overflow(directory_row->size, file.attributes.size, &directory_row->size);
        tree.blocks_wrapped |= __builtin_add_overflow(directory_row->blocks, file.attributes.blocks,
                                                      &directory_row->blocks);
    } else if (tree.versions == Versions::all) {
        // Of a file that does not count, only the sizes are kept.
        EntryAttributes kept = file.counts ? file.attributes : EntryAttributes{};
        kept.size = file.attributes.size;
        kept.blocks = file.attributes.blocks;
        tree.inherited = {true, file.depth + 1, file.counts, file.tally, file.counted, kept};
    }
}

// Settles the files that could hold paths, now that a row needs the
// directory `needed`: a file whose path `needed` lies below is refused a
// place or gives it up, as the versions say; those that no later row can
// lie below are settled as files.
Placement settle_candidates(SortedTree& tree, std::string_view needed, bool is_directory,
                            std::string_view identity, EntryAttributes& attributes,
                            std::uint64_t order, unsigned long line,
                            ClosedDirectoryVisitor& visitor, bool& passed_over, Placement& refused)
{
    while (!tree.candidates.empty()) {
        const SortedTree::Candidate& file = tree.candidates.back();
        const std::string_view path(tree.candidate_path.data(), file.path_end);
        if (needed.size() > path.size() && starts_with(needed, path) &&
            needed[path.size()] == '/') {
            const bool same = is_directory && same_path(identity, path);
            if (tree.versions == Versions::first && order > file.order) {
                return {same ? Verdict::path_given_twice : Verdict::below_a_file, file.line};
            }
            if (tree.versions == Versions::first) {
                // The row below came first: the file is the one refused,
                // and gives up its place.
                refused = {same ? Verdict::path_given_twice : Verdict::file_over_paths, line,
                           file.order};
                take_out(tree, file, nullptr);
                pop_candidate(tree, false);
                continue;
            }
            if (tree.versions == Versions::latest) {
                // Path order puts a file's rows before the rows below its
                // path: which is the later version, only their order says.
                if (!tree.order_known) {
                    return {Verdict::order_unknown, file.line};
                }
                if (order < file.order) {
                    passed_over = true; // the file came later and took it away
                    return {Verdict::row, 0};
                }
                tree.clearing = file.order;
                tree.clearing_depth = file.depth + 1;
            }
            take_out(tree, file, same ? &attributes : nullptr);
            pop_candidate(tree, false);
            continue;
        }
        if (starts_with(identity, path)) {
            break; // a later row may still lie below it
        }
        settle_file(tree, file, path);
        if (file.counts && files_may_go(tree) && tree.max_levels < 0) {
            hand_over(tree, visitor); // it stays: see count_row
        }
        pop_candidate(tree, true);
    }
    return {Verdict::row, 0};
}

// The depth of --under's directory among the open ones, before they close
// at the end; 0 where there is none.
std::uint32_t under_depth(const SortedTree& tree)
{
    if (tree.top_path.empty()) {
        return 0;
    }
    std::string real;
    for (std::uint32_t depth = 1; depth < tree.open.size(); ++depth) {
        real.assign(tree.path, 0, tree.open[depth].path_end - 1);
        if (real.empty()) {
            real = "/";
        }
        real.resize(unescape_column(real.data(), real.size()));
        if (real == tree.top_path) {
            return depth;
        }
    }
    return 0;
}

} // namespace

void start_sorted_tree(SortedTree& tree, const TreeScope& scope, bool lists_directories,
                       int max_levels, SortedEntryVisitor* entries)
{
    tree = SortedTree{};
    tree.versions = scope.versions;
    tree.disk_usage = scope.disk_usage;
    tree.top_path = scope.top_path;
    tree.lists_directories = lists_directories;
    tree.max_levels = max_levels;
    tree.entries = entries;
    tree.open.emplace_back(); // the root above every path
}

namespace {

Placement place_row(SortedTree& tree, const TreeRow& row, ClosedDirectoryVisitor& visitor)
{
    EntryAttributes attributes = row.attributes;
    if (tree.disk_usage) {
        tree.too_large |= __builtin_mul_overflow(attributes.blocks, block_bytes, &attributes.size);
    }
    const std::string_view identity = path_identity(row.path, tree.copy_form).path;
    const bool is_dir = is_directory(attributes.mode);
    tree.any_row = true;
    SortedTree::Row& pending = tree.pending;
    // A file's row and a directory's of one path come apart in path order,
    // but side by side where nothing sorts between them: see
    // settle_candidates.
    if (pending.valid && pending.is_directory == is_dir && same_path(pending.identity, identity)) {
        if (tree.versions == Versions::first) {
            return {Verdict::path_given_twice, pending.line};
        }
        if (tree.versions == Versions::all) {
            tree.too_large |=
                __builtin_add_overflow(attributes.size, pending.attributes.size, &attributes.size);
            tree.blocks_wrapped |= __builtin_add_overflow(
                attributes.blocks, pending.attributes.blocks, &attributes.blocks);
        }
        lose_first_link(tree, pending.link, pending.attributes);
        pending.valid = false; // replaced, or summed into this row
    } else {
        commit(tree, visitor);
    }
    // The directory that the row needs: its own, or the one that holds it.
    std::string_view needed = directory_of(identity);
    if (is_dir) {
        needed = tree.scratch.assign(identity).append(1, '/');
    }
    if (row.selected) {
        tree.every_path_absolute = tree.every_path_absolute && is_absolute_path(needed);
    }
    bool passed_over = false;
    Placement refused{Verdict::row, 0};
    const Placement placement =
        settle_candidates(tree, needed, is_dir, identity, attributes, row.order, row.line, visitor,
                          passed_over, refused);
    if (placement.verdict != Verdict::row || passed_over) {
        return placement;
    }
    close_outside(tree, needed, visitor);
    if (row.order < tree.open.back().cleared_before) {
        return {Verdict::row, 0}; // a later file at a path above it took it away
    }
    open_down_to(tree, needed);
    if (tree.inherited.valid && tree.inherited.depth < tree.open.size()) {
        // The file's rows are the directory's own now, and count there.
        SortedTree::Open& directory = tree.open[tree.inherited.depth];
        directory.bytes += tree.inherited.counted;
        directory.has_row = true;
        directory.row_counts = tree.inherited.counts;
        directory.attributes = tree.inherited.attributes;
        directory.attributes.mode = S_IFDIR | mode_without_type(directory.attributes.mode);
        if (tree.inherited.counts) {
            ++directory.counted_rows;
            add_to_tally(tree.tallies, tree.inherited.tally, tree.inherited.counted, 1);
            count_row(tree, tree.inherited.depth, visitor, false);
            write_open(tree, tree.inherited.depth);
        }
        tree.inherited.valid = false;
    }
    std::string real;
    if (!is_dir && !tree.top_path.empty() && tree.under_file.empty() &&
        real_bytes(identity, real) == tree.top_path) {
        tree.under_file.assign(identity.data(), identity.size());
    }
    pending.valid = true;
    pending.is_directory = is_dir;
    pending.counts = row.selected;
    pending.tally = row.tally;
    pending.link = row.link;
    pending.line = row.line;
    pending.order = row.order;
    pending.identity.assign(identity.data(), identity.size()); // reusing its storage
    pending.attributes = attributes;
    return refused;
}

} // namespace

Placement add_sorted_row(SortedTree& tree, const TreeRow& row, ClosedDirectoryVisitor& visitor)
{
    const Placement placement = place_row(tree, row, visitor);
    const bool waits = tree.pending.valid && tree.pending.order == row.order;
    if (!waits) {
        lose_first_link(tree, row.link, row.attributes); // refused, or taken away
    }
    return placement;
}

void finish_sorted_tree(SortedTree& tree, ClosedDirectoryVisitor& visitor)
{
    commit(tree, visitor);
    const std::uint32_t under = under_depth(tree);
    while (tree.open.size() > 1) {
        close_deepest(tree, visitor, true);
    }
    end_entries(tree);
    // The top: the first directory down from the root that has a row of
    // its own that counts, holds a file that counts, or holds more than one
    // directory that holds such rows; --under's, where it is above.
    const SortedTree::Open& root = tree.open.front();
    const std::uint32_t deepest_top =
        root.own_counted == 0 && root.nonempty_children == 1 ? root.child_top : 0;
    const std::uint32_t top = under > 0 ? std::min(under, deepest_top) : deepest_top;
    tree.top_depth = top;
    // With several tops, the levels below each, and the root's total.
    const auto levels = [top](std::uint32_t depth) {
        return top == 0 && depth > 0 ? depth - 1 : depth - top;
    };
    if (tree.open.front().bytes > static_cast<ByteSum>(INT64_MAX)) {
        tree.too_large = true;
    }
    // ncdu and QDirStat sum the disk usage too.
    constexpr unsigned block_bytes_unsigned = 512;
    if (tree.sums_blocks && (tree.blocks_wrapped || tree.entry_blocks * block_bytes_unsigned >
                                                        static_cast<ByteSum>(INT64_MAX))) {
        tree.too_large = true;
    }
    // No total is right, or there is nothing to list.
    if (tree.too_large || tree.link_lost || tree.open.front().counted_rows == 0) {
        tree.held.clear();
    } else if (!tree.under_file.empty() && under == 0) { // --under a file: itself alone
        tree.held.assign(
            1, {tree.under_file, top, static_cast<std::uint64_t>(tree.open.front().bytes), true});
    } else if (tree.lists_directories && tree.open.front().counted_rows > 0) {
        tree.held.push_back({"", 0, static_cast<std::uint64_t>(tree.open.front().bytes)});
    }
    for (const ClosedDirectory& directory : tree.held) {
        if (directory.depth >= top &&
            (tree.max_levels < 0 ||
             levels(directory.depth) <= static_cast<std::uint32_t>(tree.max_levels))) {
            visitor.closed(directory);
        }
    }
    tree.held.clear();
}
