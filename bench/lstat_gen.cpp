// Writes ROWS generated catalog rows to standard output, each a file name,
// a TAB and a 16-field LStat value, as a catalog query would print them.
// With "long", the values are random numbers of up to 40 bits instead of
// file attributes, so that most numerals are long. With "tree", the rows
// are a backup tree in a shuffled order: directory rows (paths ending in
// '/') for 10,000 leaf directories and the 110 above them, and files spread
// over the leaves. With "next", the next backup of that tree: the same rows
// with 5% of the files gone, 5% new and 10% changed, for --diff. With
// "pile", files in one directory whose paths all hash alike under
// libstdc++'s std::hash; with "scattered", as many of the same length whose
// names are random letters. With "sorted", a tree of the same directories
// in path order, as ORDER BY the path gives it, its files spread evenly over
// the leaves, one in 500 a hard link of the file before it, the others of
// one link: written as they are made, so that ten million rows need no
// memory. With "sorted-next", the next backup of that tree, in path order:
// of its files 5% gone, 10% changed and as many new as gone.
//
// usage: lstat_gen ROWS [long|tree|next|pile|scattered|sorted|sorted-next]
#include "colliding_names.h"
#include "lstat_corpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string lstat_text(const std::vector<std::int64_t>& values)
{
    std::string text;
    for (const std::int64_t value : values) {
        text += (text.empty() ? "" : " ") + lstat_corpus::to_base64(value);
    }
    return text;
}

// The path of directory `index`: 10 top directories of 10 each, and 100
// leaves below each of those.
std::string directory_path(int level, int index)
{
    std::string path = "/srv/tree/";
    const int parts[] = {index / 1000, index / 100 % 10, index % 100};
    for (int i = 0; i < level; ++i) {
        path += "d" + std::to_string(parts[i]) + "/";
    }
    return path;
}

constexpr int leaves = 10000;

struct Row {
    std::string path;
    std::vector<std::int64_t> values;
};

std::vector<Row> tree_rows(long rows, std::mt19937_64& random)
{
    std::vector<Row> tree;
    for (int level = 1; level <= 3; ++level) {
        const int step = level == 1 ? 1000 : level == 2 ? 100 : 1;
        for (int index = 0; index < leaves; index += step) {
            auto values = lstat_corpus::lstat_row(random);
            values[2] = 040755; // mode
            values[7] = 4096;   // size
            tree.push_back({directory_path(level, index), values});
        }
    }
    for (long file = 0; static_cast<long>(tree.size()) < rows; ++file) {
        auto values = lstat_corpus::lstat_row(random);
        values[2] = 0100644;
        tree.push_back({directory_path(3, static_cast<int>(random() % leaves)) + "file" +
                            std::to_string(file) + ".dat",
                        values});
    }
    std::shuffle(tree.begin(), tree.end(), random);
    return tree;
}

// The next backup of `tree`: of its files, 5% gone, 10% changed (grown
// and touched), and as many new as gone.
std::vector<Row> next_backup(const std::vector<Row>& tree, std::mt19937_64& random)
{
    std::vector<Row> next;
    long added = 0;
    for (const Row& row : tree) {
        const std::uint64_t pick = random() % 100;
        if (row.path.back() == '/' || pick >= 15) {
            next.push_back(row);
        } else if (pick >= 5) {
            Row changed = row;
            changed.values[7] += 1 + static_cast<std::int64_t>(random() % 100000); // size
            changed.values[11] += 86400;                                           // mtime
            next.push_back(changed);
        } else {
            auto values = lstat_corpus::lstat_row(random);
            values[2] = 0100644;
            next.push_back({directory_path(3, static_cast<int>(random() % leaves)) + "new" +
                                std::to_string(added++) + ".dat",
                            values});
        }
    }
    return next;
}

// Files in one directory: with `colliding` paths that hash alike under
// libstdc++'s std::hash, otherwise random letters of the same length.
std::vector<Row> pile_rows(long rows, bool colliding, std::mt19937_64& random)
{
    const std::string directory = "/srv/pile/";
    std::vector<Row> pile{{directory, lstat_corpus::lstat_row(random)}};
    pile.front().values[2] = 040755; // mode
    std::vector<std::string> paths = colliding_paths(static_cast<std::size_t>(rows), directory);
    for (std::string& path : paths) {
        if (!colliding) {
            for (std::size_t i = directory.size(); i < path.size(); ++i) {
                path[i] = static_cast<char>('a' + random() % 26);
            }
        }
        auto values = lstat_corpus::lstat_row(random);
        values[2] = 0100644;
        pile.push_back({path, values});
    }
    return pile;
}

// Writes a row; false when standard output fails.
bool write_row(const std::string& path, const std::vector<std::int64_t>& values)
{
    const std::string line = path + "\t" + lstat_text(values) + "\n";
    return std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
}

// The rows of "sorted": each directory, then the files of a leaf, by name;
// or with `next` those of "sorted-next", from the same rows.
bool write_sorted_rows(long rows, bool next, std::mt19937_64& random)
{
    std::mt19937_64 changes(11); // NOLINT(cert-msc32-c,cert-msc51-cpp): same rows every run
    long added = 0;
    std::vector<std::string> directories;
    for (int level = 1; level <= 3; ++level) {
        const int step = level == 1 ? 1000 : level == 2 ? 100 : 1;
        for (int index = 0; index < leaves; index += step) {
            directories.push_back(directory_path(level, index));
        }
    }
    std::sort(directories.begin(), directories.end());
    const long files = rows - static_cast<long>(directories.size());
    long leaf = 0;
    long file = 0;
    std::vector<std::string> names;
    for (const std::string& directory : directories) {
        auto values = lstat_corpus::lstat_row(random);
        values[2] = 040755; // mode
        values[7] = 4096;   // size
        if (!write_row(directory, values)) {
            return false;
        }
        if (std::count(directory.begin(), directory.end(), '/') < 6) {
            continue; // not a leaf
        }
        names.clear();
        for (const long end = files * ++leaf / leaves; file < end; ++file) {
            names.push_back("file" + std::to_string(file) + ".dat");
        }
        std::sort(names.begin(), names.end());
        std::vector<std::int64_t> last;
        std::vector<std::string> new_names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            values = lstat_corpus::lstat_row(random);
            values[2] = 0100644;
            values[3] = 1; // nlink
            if (i % 500 == 1) {
                values[0] = last[0]; // dev and inode of the file before
                values[1] = last[1];
                values[3] = last[3] = 2;
            }
            last = values;
            const std::uint64_t pick = next ? changes() % 100 : 99;
            if (pick < 5) {
                new_names.push_back("new" + std::to_string(added++) + ".dat");
                continue; // gone, and another one new
            }
            if (pick < 15) {
                values[7] += 1 + static_cast<std::int64_t>(changes() % 100000); // size
                values[11] += 86400;                                            // mtime
            }
            if (!write_row(directory + names[i], values)) {
                return false;
            }
        }
        std::sort(new_names.begin(), new_names.end());
        for (const std::string& name : new_names) {
            values = lstat_corpus::lstat_row(changes);
            values[2] = 0100644;
            values[3] = 1;
            if (!write_row(directory + name, values)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string kind = argc == 3 ? argv[2] : "";
    const bool tree = kind == "tree" || kind == "next";
    const bool pile = kind == "pile" || kind == "scattered";
    if ((argc != 2 && argc != 3) || (argc == 3 && kind != "long" && kind != "sorted" &&
                                     kind != "sorted-next" && !tree && !pile)) {
        (void)std::fputs(
            "usage: lstat_gen ROWS [long|tree|next|pile|scattered|sorted|sorted-next]\n", stderr);
        return 2;
    }
    const long rows = std::strtol(argv[1], nullptr, 10);
    std::mt19937_64 random(7); // NOLINT(cert-msc32-c,cert-msc51-cpp): same rows every run
    if (kind == "sorted" || kind == "sorted-next") {
        return write_sorted_rows(rows, kind == "sorted-next", random) && std::fflush(stdout) == 0
                   ? 0
                   : 1;
    }
    if (tree || pile) {
        std::vector<Row> backup =
            pile ? pile_rows(rows, kind == "pile", random) : tree_rows(rows, random);
        if (kind == "next") {
            backup = next_backup(backup, random);
        }
        for (const Row& row : backup) {
            const std::string line = row.path + "\t" + lstat_text(row.values) + "\n";
            if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()) {
                return 1;
            }
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const bool long_numerals = kind == "long";
    for (long row = 0; row < rows; ++row) {
        std::string line = "/srv/data/project" + std::to_string(row % 97) + "/file" +
                           std::to_string(row) + ".dat\t";
        const auto values = long_numerals ? lstat_corpus::long_numeral_row(random)
                                          : lstat_corpus::lstat_row(random);
        line += lstat_text(values) + '\n';
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()) {
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
