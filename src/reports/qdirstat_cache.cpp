#include "qdirstat_cache.h"

#include "client_escapes.h"
#include "file_mode.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t block_bytes = 512; // the unit of st_blocks

// The word that QDirStat reads as the type of a non-directory; F for any
// type it has no word for, as qdirstat-cache-writer writes it.
const char* type_word(std::int64_t mode)
{
    switch (file_type(mode)) {
    case S_IFLNK:
        return "L";
    case S_IFBLK:
        return "BlockDev";
    case S_IFCHR:
        return "CharDev";
    case S_IFIFO:
        return "FIFO";
    case S_IFSOCK:
        return "Socket";
    default:
        return "F";
    }
}

// QDirStat reads a line of at most this many bytes and its line feed; a
// longer one falls apart into lines it cannot read.
constexpr std::size_t longest_line = 1022;

// Appends the real bytes of `escaped` (a path as the client escaped it),
// each byte that would end the field, end the line or change the terminal
// as %XX, and '%' too, so that QDirStat reads back every byte.
void append_path(std::string& line, std::string_view escaped, std::string& buffer)
{
    std::string_view bytes = escaped;
    if (std::memchr(escaped.data(), '\\', escaped.size()) != nullptr) {
        buffer.assign(escaped);
        buffer.resize(unescape_column(buffer.data(), buffer.size()));
        bytes = buffer;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    const auto encoded = [](unsigned char byte) {
        return byte <= ' ' || byte == '%' || byte >= 0x7F;
    };
    std::size_t plain = 0; // the start of the bytes not yet appended, which need no code
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (encoded(byte)) {
            const char code[] = {'%', hex[byte >> 4], hex[byte & 0xF]};
            line.append(bytes.data() + plain, i - plain);
            line.append(code, sizeof code);
            plain = i + 1;
        }
    }
    line.append(bytes.data() + plain, bytes.size() - plain);
}

// Appends TAB, the size, TAB and the mtime as 0x and hexadecimal, a time
// before 1970 as its 64 bits, as Perl's printf "%x" writes it.
void append_size_and_time(std::string& line, std::int64_t size, std::int64_t mtime)
{
    char digits[24];
    line += '\t';
    line.append(digits, std::to_chars(digits, digits + sizeof digits, size).ptr);
    line += "\t0x";
    line.append(
        digits,
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(mtime), 16).ptr);
}

// Appends a field that QDirStat reads after the mtime, as "\tblocks: 17".
void append_optional(std::string& line, const char* name, std::int64_t value)
{
    char digits[24];
    line += name;
    line.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// Appends the fields of a file after its path: sizes summed over several
// jobs' rows are no one inode's, so that then no file has links, which
// QDirStat would share its size out among.
void append_file_fields(std::string& line, const BackupTree& tree, const EntryAttributes& a)
{
    append_size_and_time(line, a.size, a.mtime);
    // Without blocks QDirStat takes a file to fill its size, so that a file
    // of holes only gets "blocks: 0" too, which qdirstat-cache-writer leaves out.
    const auto allocated = static_cast<ByteSum>(static_cast<std::uint64_t>(a.blocks)) * block_bytes;
    if (allocated < static_cast<ByteSum>(static_cast<std::uint64_t>(a.size))) {
        append_optional(line, "\tblocks: ", a.blocks);
    }
    if (a.nlink > 1 && tree.versions != Versions::all) {
        append_optional(line, "\tlinks: ", a.nlink);
    }
}

class CacheWriter {
public:
    CacheWriter(OutputBuffer& out, const BackupTree& tree) : out_(out), tree_(tree) {}

    // Writes the directory's line, then those of its files; false when its
    // path makes a line too long, and nothing is written.
    bool write_directory(const TreeDirectory& directory)
    {
        directory_path_.clear();
        append_path(directory_path_, path_without_slash(directory.path), buffer_);
        line_ = "D ";
        line_ += directory_path_;
        const bool counts = directory.has_row && directory.row_counts;
        append_size_and_time(line_, counts ? directory.attributes.size : 0,
                             directory.has_row ? directory.attributes.mtime : 0);
        if (line_.size() > longest_line) {
            return false;
        }
        write_line();
        if (directory.path != "/") {
            directory_path_ += '/';
        }
        return true;
    }

    // Writes a file's line, with its full path, or with its name alone
    // (which QDirStat reads as one in the directory of the line before)
    // where the full path makes the line too long; false when even that is.
    bool write_file(const TreeFile& file)
    {
        name_.clear();
        append_path(name_, file.name, buffer_);
        fields_.clear();
        append_file_fields(fields_, tree_, file.attributes);
        const char* const type = type_word(file.attributes.mode);
        line_ = type;
        line_ += ' ';
        line_ += directory_path_;
        line_ += name_;
        line_ += fields_;
        if (line_.size() > longest_line) {
            line_ = type;
            line_ += '\t';
            line_ += name_;
            line_ += fields_;
            if (line_.size() > longest_line) {
                return false;
            }
        }
        write_line();
        return true;
    }

private:
    void write_line()
    {
        line_ += '\n';
        output_text(out_, line_);
    }

    OutputBuffer& out_;
    const BackupTree& tree_;
    std::string line_;
    std::string directory_path_; // with a '/' to append a name to, once written
    std::string name_;
    std::string fields_;
    std::string buffer_; // a path with the client's escapes undone
};

} // namespace

CacheOmissions write_qdirstat_cache(OutputBuffer& out, const BackupTree& tree, const char* version)
{
    output_text(out, "[qdirstat 1.0 cache file]\n# Generated by b64num-lstat ");
    output_text(out, version);
    output_text(out, " from a backup catalog's rows\n#\n"
                     "# Type  path            size    mtime           <optional fields>\n\n");
    CacheWriter writer(out, tree);
    CacheOmissions omissions;
    std::vector<std::uint32_t> pending{tree.top}; // directories still to write, next last
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        const TreeDirectory& directory = tree.directories[index];
        if (!writer.write_directory(directory)) {
            omissions.note(path_without_slash(directory.path), {});
            continue;
        }
        for (const TreeFile* file : tree.directory_files[index]) {
            if (!writer.write_file(*file)) {
                omissions.note(directory.path, file->name);
            }
        }
        pending.insert(pending.end(), directory.children.rbegin(), directory.children.rend());
    }
    return omissions;
}
