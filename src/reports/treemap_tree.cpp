#include "treemap_tree.h"

#include "client_escapes.h"
#include "file_kind.h"

namespace {

// Where an entry's area is below half the smallest drawn alone, as a share
// of the top's, it is folded: the half keeps rounding in the layout from
// drawing one that was folded.
constexpr double fold_margin = 0.5;

} // namespace

std::string kind_of(std::string_view escaped_name)
{
    std::string scratch;
    return file_kind(std::string(real_bytes(escaped_name, scratch)));
}

std::string_view shown_path(const TreemapTree& tree, std::uint32_t directory)
{
    if (directory == tree.top && !tree.root_name.empty()) {
        return tree.root_name;
    }
    const TreemapDirectory& entry = tree.directories[directory];
    return path_without_slash(std::string_view(tree.text).substr(entry.path_at, entry.path_length));
}

std::string_view directory_name(const TreemapTree& tree, std::uint32_t directory)
{
    const TreemapDirectory& entry = tree.directories[directory];
    return last_component(std::string_view(tree.text).substr(entry.path_at, entry.path_length));
}

std::string_view file_name(const TreemapTree& tree, const TreemapFile& file)
{
    return std::string_view(tree.text).substr(file.name_at, file.name_length);
}

void file_path(const TreemapTree& tree, const TreemapFile& file, std::string& path)
{
    const TreemapDirectory& directory = tree.directories[file.directory];
    path.assign(tree.text, directory.path_at, directory.path_length);
    path.append(file_name(tree, file));
}

void set_top(TreemapTree& tree, std::uint32_t depth, std::string_view root_name)
{
    std::uint32_t top = 0;
    for (std::uint32_t level = 0; level < depth && !tree.directories[top].children.empty();
         ++level) {
        top = tree.directories[top].children.front();
    }
    tree.top = top;
    tree.above = depth;
    tree.root_name.assign(depth == 0 ? root_name : std::string_view());
}

void TreemapBuilder::reset()
{
    const bool disk_usage = tree_.disk_usage;
    tree_ = TreemapTree{};
    tree_.disk_usage = disk_usage;
    met_bytes_ = 0;
    open_.clear();
}

std::uint32_t TreemapBuilder::open_one(std::string_view path)
{
    const auto index = static_cast<std::uint32_t>(tree_.directories.size());
    TreemapDirectory& directory = tree_.directories.emplace_back();
    directory.path_at = tree_.text.size();
    directory.path_length = static_cast<std::uint32_t>(path.size());
    directory.parent = open_.empty() ? 0 : open_.back();
    directory.total = 0;
    directory.folded_entries = 0;
    directory.folded_bytes = 0;
    directory.first_file = tree_.files.size();
    ++tree_.entries;
    tree_.text.append(path);
    if (!open_.empty()) {
        tree_.directories[open_.back()].children.push_back(index);
    }
    open_.push_back(index);
    return index;
}

void TreemapBuilder::open_directory(std::string_view path, const EntryAttributes* own, bool counts)
{
    const std::uint32_t index = open_one(path);
    if (own != nullptr && counts) {
        tree_.directories[index].total = static_cast<std::uint64_t>(own->size);
        met_bytes_ += static_cast<std::uint64_t>(own->size);
    }
}

void TreemapBuilder::open_root(std::string_view name)
{
    tree_.root_name.assign(name);
    open_one({});
}

void TreemapBuilder::file(std::string_view path, const EntryAttributes& attributes, bool counted)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = path.substr(slash + 1);
    const std::uint64_t bytes = counted ? static_cast<std::uint64_t>(attributes.size) : 0;
    met_bytes_ += bytes;
    ++tree_.entries;
    tree_.kind_bytes[kind_of(name)] += bytes;
    TreemapDirectory& directory = tree_.directories[open_.back()];
    directory.total += bytes;
    if (folds(bytes)) {
        ++directory.folded_entries;
        directory.folded_bytes += bytes;
        return;
    }
    TreemapFile& file = tree_.files.emplace_back();
    file.name_at = tree_.text.size();
    file.name_length = static_cast<std::uint32_t>(name.size());
    file.directory = open_.back();
    file.bytes = bytes;
    tree_.text.append(name);
    directory.files.push_back(static_cast<std::uint32_t>(tree_.files.size() - 1));
}

// An entry's area is its share of its directory's total of its directory's
// area, less the bands of names: no more than its share of the top's total
// of the whole, which the bytes met so far bound from below.
bool TreemapBuilder::folds(std::uint64_t bytes) const
{
    return static_cast<double>(bytes) <
           fold_margin * least_share_ * static_cast<double>(met_bytes_);
}

// Folds `directory`, the last one opened below its parent, and everything
// below it, which come after it, into its parent's rest.
void TreemapBuilder::fold(std::uint32_t directory)
{
    const TreemapDirectory& folded = tree_.directories[directory];
    TreemapDirectory& parent = tree_.directories[folded.parent];
    parent.children.pop_back();
    ++parent.folded_entries;
    parent.folded_bytes += folded.total;
    tree_.files.resize(folded.first_file);
    tree_.text.resize(folded.path_at);
    tree_.directories.resize(directory);
}

void TreemapBuilder::close_directory()
{
    const std::uint32_t closing = open_.back();
    open_.pop_back();
    if (!open_.empty()) {
        // The engine refuses a total past 2^63 - 1 before anything is drawn.
        tree_.directories[open_.back()].total += tree_.directories[closing].total;
        if (folds(tree_.directories[closing].total)) {
            fold(closing);
        }
    }
}
