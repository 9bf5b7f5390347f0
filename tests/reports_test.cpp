// What the reports read from a file's name: its kind, for --by=kind and
// the treemap's colours.
#include "file_kind.h"

#include <gtest/gtest.h>

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

} // namespace
