#include "backup_tree.h"

#include "file_mode.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

constexpr std::size_t store_block = std::size_t{1} << 20;

std::string_view keep(PathStore& store, const char* text, std::size_t length)
{
    if (store.capacity - store.used < length) {
        const std::size_t size = std::max(store_block, length);
        store.blocks.push_back(std::make_unique<char[]>(size));
        store.used = 0;
        store.capacity = size;
    }
    char* const copy = store.blocks.back().get() + store.used;
    std::memcpy(copy, text, length);
    store.used += length;
    return {copy, length};
}

EntryAttributes attributes_of(const LstatRow& row)
{
    const std::int64_t* const v = row.values;
    return {v[field_dev],  v[field_ino],  v[field_mode],   v[field_nlink], v[field_uid],
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

// The directory of `path`, made with the directories above it that have not
// been seen yet; iterative, since a path may hold thousands of levels.
std::uint32_t directory_of(BackupTree& tree, std::string_view path)
{
    const auto path_of = [&tree](std::uint32_t index) { return tree.directory_paths[index]; };
    std::vector<std::pair<std::string_view, std::uint32_t>> missing; // and their hashes
    std::uint32_t found = 0;
    for (std::string_view at = path;; at = parent_path(at)) {
        const std::uint32_t hash = path_hash(at);
        const std::int64_t known = find_path(tree.directory_index, at, hash, path_of);
        if (known >= 0) {
            found = static_cast<std::uint32_t>(known);
            break;
        }
        missing.emplace_back(at, hash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const std::string_view kept = keep(tree.store, it->first.data(), it->first.size());
        const auto index = static_cast<std::uint32_t>(tree.directories.size());
        tree.directories.push_back(
            {kept, found, tree.directories[found].depth + 1, false, 0, {}, 0, {}});
        tree.bytes.push_back(0);
        tree.directory_paths.push_back(kept);
        insert_path(tree.directory_index, it->second, index);
        found = index;
    }
    return found;
}

// Notes that line `number` gave `path`, which no earlier line gave.
void note_row(BackupTree& tree, std::string_view path, std::uint32_t hash, unsigned long number)
{
    const auto index = static_cast<std::uint32_t>(tree.rows.size());
    tree.rows.push_back({path, number});
    insert_path(tree.row_index, hash, index);
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

} // namespace

void start_tree(BackupTree& tree, bool keeps_files)
{
    tree = BackupTree{};
    tree.keeps_files = keeps_files;
    tree.directories.push_back({std::string_view(), 0, 0, false, 0, {}, 0, {}});
    tree.bytes.push_back(0);
    tree.directory_paths.emplace_back();
    insert_path(tree.directory_index, path_hash(std::string_view()), 0);
}

unsigned long add_to_tree(BackupTree& tree, const CatalogLine& line)
{
    const EntryAttributes attributes = attributes_of(line.fields);
    const auto size = static_cast<std::uint64_t>(attributes.size);
    std::string_view path = line.first_column();
    // A directory is one by its mode, whether or not its path ends in '/'.
    const bool directory = is_directory(attributes.mode);
    if (directory && path.back() != '/') {
        tree.with_slash.assign(path.data(), path.size()).push_back('/');
        path = tree.with_slash;
    }
    const std::uint32_t hash = path_hash(path);
    const std::int64_t earlier =
        find_path(tree.row_index, path, hash,
                  [&tree](std::uint32_t placed) { return tree.rows[placed].path; });
    if (earlier >= 0) {
        return tree.rows[static_cast<std::size_t>(earlier)].line;
    }
    if (directory) {
        const std::uint32_t index = directory_of(tree, path);
        TreeDirectory& entry = tree.directories[index];
        entry.has_row = true;
        entry.attributes = attributes;
        tree.bytes[index] += size;
        note_row(tree, entry.path, hash, line.number);
        return 0;
    }
    const std::size_t slash = path.rfind('/');
    const std::uint32_t index = directory_of(
        tree, slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1));
    const std::string_view kept = keep(tree.store, path.data(), path.size());
    note_row(tree, kept, hash, line.number);
    ++tree.directories[index].file_rows;
    if (tree.keeps_files) {
        tree.files.push_back({kept.substr(slash + 1), index, attributes});
    }
    if (attributes.nlink > 1 && !tree.keeps_files) {
        tree.links.push_back({attributes.dev, attributes.ino, kept, index, size});
    } else {
        tree.bytes[index] += size;
    }
    return 0;
}

void finish_tree(BackupTree& tree)
{
    std::sort(tree.links.begin(), tree.links.end(),
              [](const BackupTree::Link& a, const BackupTree::Link& b) {
                  return std::tie(a.dev, a.ino, a.path) < std::tie(b.dev, b.ino, b.path);
              });
    for (std::size_t i = 0; i < tree.links.size(); ++i) {
        const BackupTree::Link& link = tree.links[i];
        if (i == 0 || link.dev != tree.links[i - 1].dev || link.ino != tree.links[i - 1].ino) {
            tree.bytes[link.directory] += link.size;
        }
    }
    std::vector<TreeDirectory>& directories = tree.directories;
    for (std::size_t i = 0; i < directories.size(); ++i) {
        directories[i].total = tree.bytes[i];
    }
    // Children come after their parents, so one backward pass sums subtrees.
    for (std::size_t i = directories.size() - 1; i > 0; --i) {
        directories[directories[i].parent].total += directories[i].total;
        directories[directories[i].parent].children.push_back(static_cast<std::uint32_t>(i));
    }
    tree.directory_files.assign(directories.size(), {});
    for (const TreeFile& file : tree.files) {
        tree.directory_files[file.directory].push_back(&file);
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
    while (!directories[top].has_row && directories[top].file_rows == 0 &&
           directories[top].children.size() == 1) {
        top = directories[top].children.front();
    }
    tree.top = top;
}

int levels_below_top(const BackupTree& tree, std::uint32_t directory)
{
    return static_cast<int>(tree.directories[directory].depth - tree.directories[tree.top].depth);
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
