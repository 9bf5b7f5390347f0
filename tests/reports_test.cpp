// What the reports read from a file's name: its kind, for --by=kind and
// the treemap's colours; and the treemap's tree, which folds what it cannot
// draw as it is built.
#include "file_kind.h"
#include "treemap_svg.h"
#include "treemap_tree.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

namespace {

TEST(FileKind, IsTheLastExtensionThatIsNotAllDigits)
{
    const struct {
        const char* name;
        const char* kind;
    } cases[] = {
        {"talk.MKV", ".mkv"},
        {"libc.so.6", ".so"},
        {"libfoo.so.1.2.3", ".so"},
        {"x.tar.gz", ".gz"},
        {"README", "(none)"},
        {".bashrc", "(none)"},
        {"1.2", "(none)"},
        {".config.JSON", ".json"},
        {"trailing.", "(none)"},
        {"a..b", ".b"},
        {"caf\xc3\xa9.\xc3\x89T\xc3\x89", ".\xc3\x89t\xc3\x89"},
        {"v2.0.1-rc1.tar", ".tar"},
        {"photo.2024", "(none)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kind_label(file_kind(c.name)), c.kind) << c.name;
    }
}

// A random tree, as the engine writes its entries: most files tiny, some
// empty or links counted elsewhere, a few large, in directories of a few
// levels, some of them tiny as a whole.
void build(TreemapBuilder& builder, std::mt19937_64& random, const std::string& path, int depth)
{
    EntryAttributes attributes{1, 1, S_IFDIR | 0755, 2, 0, 0, 4096, 8, 0};
    builder.open_directory(path, &attributes, true);
    attributes.mode = S_IFREG | 0644;
    const std::uint64_t files = random() % 40;
    for (std::uint64_t i = 0; i < files; ++i) {
        const std::uint64_t pick = random() % 100;
        attributes.size = pick < 80   ? static_cast<std::int64_t>(random() % 2000)
                          : pick < 90 ? 0
                                      : static_cast<std::int64_t>(random() % (1ULL << 36));
        builder.file(path + "f" + std::to_string(i) + (pick % 3 == 0 ? ".dat" : ".txt"), attributes,
                     pick % 7 != 0);
    }
    const std::uint64_t children = depth < 4 ? random() % 5 : 0;
    for (std::uint64_t i = 0; i < children; ++i) {
        build(builder, random, path + "d" + std::to_string(i) + "/", depth + 1);
    }
    builder.close_directory();
}

std::string document(const TreemapTree& tree, int width, int height)
{
    const int fd = memfd_create("treemap", MFD_CLOEXEC);
    const auto out = std::make_unique<OutputBuffer>();
    out->fd = fd;
    write_treemap(*out, tree, width, height);
    output_flush(*out);
    std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(pread(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    close(fd);
    return text;
}

TEST(Treemap, FoldsOnlyWhatItWouldNotDrawAlone)
{
    std::size_t kept = 0;
    std::size_t kept_folding = 0;
    for (const auto& [width, height] : {std::pair{320, 200}, {1280, 800}, {16384, 16384}}) {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            TreemapTree whole;
            TreemapTree folded;
            TreemapBuilder keeping(whole, 0);
            TreemapBuilder folding(folded, least_drawn_share(width, height));
            std::mt19937_64 random(seed);
            build(keeping, random, "/top/", 0);
            random.seed(seed);
            build(folding, random, "/top/", 0);
            set_top(whole, 0, "");
            set_top(folded, 0, "");
            EXPECT_EQ(document(whole, width, height), document(folded, width, height))
                << width << "x" << height << ", seed " << seed;
            kept += whole.files.size() + whole.directories.size();
            kept_folding += folded.files.size() + folded.directories.size();
        }
    }
    EXPECT_LT(kept_folding, kept / 2);
}

} // namespace
