// Writes a catalog-shaped fixture into DIRECTORY, loadable by PostgreSQL's
// COPY FROM and MySQL's LOAD DATA alike (TAB-separated, with \\ \n \r \t
// escaped): path.tsv, file.tsv and job.tsv. File names hold every byte that
// makes trouble. Beside them, what the queries of job 42 must give, made
// from the attributes the LStat values were encoded from, not by decoding:
//  - expected-copy.tsv, expected-mysql.tsv: each file's full name as
//    COPY ... TO STDOUT and mysql -B print it, a TAB and its size;
//  - expected.json: the lines of b64num-lstat --json -f size.
// All three in FileId order. And catalog.sqlite.sql: the same tables for
// the sqlite3 shell, text as hexadecimal literals, byte for byte. And names.bin: each full name's
// real bytes, NUL-terminated, in FileId order; expected-raw.tsv: the rows that the unescaped forms
// (psql -At, mysql -r) cannot cut or widen, those whose names hold no line feed or TAB, as
// b64num-lstat -f size prints them; expected-ncdu.txt: the apparent bytes of every entry of job 42
// below the root and the number of those entries, directories without a row included, as ncdu shows
// them for the export. And numerals.txt: texts for b64num to decode one by one, one a line, the
// decoder's edge cases and thousands of random ones; numerals.copy: the same escaped for COPY FROM.
//
// usage: catalog_fixture DIRECTORY
#include "base64_encoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct File {
    int job;
    int path;
    std::string name;
    std::int64_t mode;
    std::int64_t size;
    std::int64_t mtime;
    std::int64_t rdev;
    bool not_utf8; // JSON shows each byte above 0x7F as \udcXX
};

// The paths of ids 1 to 9.
const std::vector<std::string> paths = {
    "/home/ana/",
    "/home/ana/photos/",
    "/home/ana/music/",
    "/home/ana/video/",
    "/home/ana/.cache/",
    "/dev/",
    "/tmp/",
    "/home/ana/new\nfolder\t2/",
    "/srv/old/",
};
constexpr int first_bulk_path = 10; // then /srv/data/project0/ and on
constexpr int bulk_paths = 97;
constexpr std::int64_t regular = 0100000;
constexpr std::int64_t december = 1765400000; // 2025-12-10 20:53:20 UTC

constexpr std::int64_t day_seconds = 86400;
constexpr std::int64_t week = 7 * day_seconds;

// Job 44, the next full backup of job 42's client, a week later: files gone,
// new, grown, shrunk, one whose type and some whose mode changed. None of it
// is above 10^9 bytes or named odd..., so that the recipes that look for
// those across jobs find what they found before.
void add_next_full_backup(std::vector<File>& list)
{
    const std::size_t job42_files = list.size();
    for (std::size_t i = 0; i < job42_files; ++i) {
        File file = list[i];
        if (file.job != 42 || file.name == "odd\nname.txt" || file.name == "IMG_0412.jpg") {
            continue;
        }
        file.job = 44;
        const std::string& name = file.name;
        if (name == "backup.tar.gz" || name == "talk.mkv" || name == "index.db") {
            file.size = name == "backup.tar.gz" ? 943718400
                        : name == "talk.mkv"    ? 912261120
                                                : 94371840;
            file.mtime += week;
        } else if (name == "thesis.pdf") {
            file.mode = regular | 0600;
        } else if (name == "link") {
            file.mode = regular | 0644; // a link that became a file
            file.size = 120;
            file.mtime += week;
        } else if (name.rfind("file", 0) == 0) {
            const int number = std::stoi(name.substr(4));
            if (number % 10 == 3) {
                continue;
            }
            if (number % 10 == 7) {
                file.size += std::int64_t{number % 1000} * 1000;
                file.mtime += week;
            }
        }
        list.push_back(file);
    }
    const std::int64_t reg = regular | 0644;
    list.push_back({44, 4, "talk-final.mkv", reg, 612368384, december + week, 0, false});
    list.push_back({44, 2, "IMG_0413.jpg", reg, 5242880, december + week, 0, false});
    for (int i = 0; i < 50; ++i) {
        list.push_back({44, first_bulk_path + i, "new" + std::to_string(i) + ".dat", reg,
                        100000 + i, december + week, 0, false});
    }
}

// Jobs 45 to 47, the incrementals after job 44, a day apart: a cache that
// grows, a thesis being written, a video edited twice, and the directories
// whose entries changed.
void add_incrementals(std::vector<File>& list)
{
    const std::int64_t reg = regular | 0644;
    for (int day = 1; day <= 3; ++day) {
        const int job = 44 + day;
        const std::int64_t mtime = december + week + day * day_seconds;
        list.push_back({job, 1, "", 040755, 4096, mtime, 0, false});
        list.push_back({job, 5, "", 040755, 4096, mtime, 0, false});
        list.push_back({job, 5, "index.db", reg, 94371840 + day * 10485760, mtime, 0, false});
        list.push_back(
            {job, 1, "thesis.pdf", regular | 0600, 8812437 + day * 100000, mtime, 0, false});
        if (day != 2) {
            list.push_back({job, 4, "", 040755, 4096, mtime, 0, false});
            list.push_back(
                {job, 4, "talk-final.mkv", reg, 612368384 + day * 1048576, mtime, 0, false});
        }
    }
}

// Job 48, an incremental after job 47 in which /home/ana/video, a
// directory before, is a file: path order puts the file's row apart from
// those below its path, so that only job order tells which came later.
void add_directory_become_file(std::vector<File>& list)
{
    const std::int64_t mtime = december + week + 4 * day_seconds;
    list.push_back({48, 1, "", 040755, 4096, mtime, 0, false});
    list.push_back({48, 1, "video", regular | 0644, 1234, mtime, 0, false});
}

std::vector<File> files()
{
    const std::int64_t reg = regular | 0644;
    std::vector<File> list = {
        // The ten largest files of job 42, two with a line feed or a TAB.
        {42, 1, "backup.tar.gz", reg, 1610612736, december + 49, 0, false},
        {42, 4, "talk.mkv", reg, 734003200, december + 91, 0, false},
        {42, 1, "odd\nname.txt", reg, 104857600, december + 30, 0, false},
        {42, 5, "index.db", reg, 73400320, december + 42, 0, false},
        {42, 3, "track01.flac", reg, 31457280, december + 61, 0, false},
        {42, 3, "track02.flac", reg, 29360128, december + 62, 0, false},
        {42, 1, "tab\tname", reg, 27262976, december + 33, 0, false},
        {42, 1, "thesis.pdf", reg, 8812437, december + 14, 0, false},
        {42, 2, "IMG_0412.jpg", reg, 4718902, december + 21, 0, false},
        {42, 1, "caf\xc3\xa9 \xe2\x98\x83.odt", reg, 3987211, december + 22, 0, false},
        // Names that escaping, splitting or quoting can get wrong. Those with
        // raw control bytes, bytes that are not UTF-8, 4,000 bytes or edge
        // spaces are older than the twenty newest files that the README
        // lists, so that the README holds none of them.
        {42, 1, "cr\rname", reg, 1001, december - 5000001, 0, false},
        {42, 1, "back\\slash", reg, 1002, december + 2, 0, false},
        {42, 1, "back\\nslash", reg, 1003, december + 3, 0, false},
        {42, 1, "trailing\\", reg, 1004, december + 4, 0, false},
        {42, 1, "\\N", reg, 1005, december + 5, 0, false},
        {42, 1, "say \"hi\" it's", reg, 1006, december + 6, 0, false},
        {42, 1, "caf\xe9 \xff\x80", reg, 1007, december - 5000000, 0, true},
        {42, 1, " leading and trailing spaces ", reg, 1008, december - 5000004, 0, false},
        {42, 1, "ctl\b\f\v\x01\x1b\x7f", reg, 1009, december - 5000002, 0, false},
        // A name that sets the terminal's title, one with the C1 control
        // CSI, and a name that differs from another only as Latin-1 and
        // UTF-8 differ.
        {42, 1, "title\x1b]0;owned\a", reg, 0, december - 5000005, 0, false},
        {42, 1,
         "c1\xc2\x9b"
         "31m",
         reg, 0, december - 5000006, 0, false},
        {42, 1, "r\xc3\xa9sum\xc3\xa9.txt", reg, 0, december - 5000007, 0, false},
        {42, 1, "r\xe9sum\xe9.txt", reg, 0, december - 5000008, 0, true},
        {42, 1, "gB FCsB IGk B Po Po A EAAA BAA gA BpOlsk BpOd3A BpOd3A A A C", reg, 1010,
         december + 10, 0, false},
        {42, 1, "long" + std::string(3996, 'x'), reg, 1011, december - 5000003, 0, false},
        {42, 8, "inside", reg, 1012, december + 12, 0, false},
        // Every file type and special bit.
        {42, 1, "", 040755, 4096, december - 1000, 0, false},
        {42, 8, "", 040700, 4096, december - 999, 0, false},
        {42, 7, "", 041777, 4096, december - 998, 0, false},
        {42, 1, "link", 0120777, 10, december - 997, 0, false},
        {42, 6, "null", 020666, 0, december - 996, 0x0103, false},          // 1, 3: old form
        {42, 6, "sda1", 060660, 0, december - 995, 0x0801, false},          // 8, 1: old form
        {42, 6, "nvme0n1p300", 060660, 0, december - 994, 0x11032c, false}, // 259, 300
        {42, 6, "wide", 020600, 0, december - 993, 0x112345600178, false},  // 4097, 0x12345678
        {42, 7, "fifo", 010644, 0, december - 992, 0, false},
        {42, 7, "socket", 0140777, 0, december - 991, 0, false},
        {42, 1, "setuid", regular | 04755, 5001, december - 990, 0, false},
        {42, 1, "setgid", regular | 02755, 5002, december - 989, 0, false},
        {42, 1, "sticky", regular | 01777, 5003, december - 988, 0, false},
        {42, 1, "setuid-noexec", regular | 04644, 5004, december - 987, 0, false},
        {42, 1, "setgid-noexec", regular | 02644, 5005, december - 986, 0, false},
        {42, 1, "sticky-noexec", regular | 01644, 5006, december - 985, 0, false},
        {42, 1, "no-type", 0644, 0, december - 984, 0, false},
        {42, 1, "all-type-bits", 0170644, 0, december - 983, 0, false},
        // Job 43 holds the largest file of all: a query that forgets the
        // job shows it first.
        {43, 9, "huge.img", reg, 9999999999, december - 5000, 0, false},
    };
    std::mt19937_64 random(42); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same fixture every run
    for (int i = 0; i < 10000; ++i) {
        const int path = first_bulk_path + i % bulk_paths;
        const bool directory = i % 50 == 0;
        const auto size = static_cast<std::int64_t>(random() % 1000000);
        const auto mtime = december - 90000000 + static_cast<std::int64_t>(random() % 80000000);
        list.push_back(
            directory
                ? File{42, path, "dir" + std::to_string(i), 040755, 4096, mtime, 0, false}
                : File{42, path, "file" + std::to_string(i) + ".dat", reg, size, mtime, 0, false});
    }
    for (int i = 0; i < 200; ++i) {
        list.push_back(
            {43, 9, "old" + std::to_string(i), reg, 100 + i, december - 6000 + i, 0, false});
    }
    add_next_full_backup(list);
    add_incrementals(list);
    add_directory_become_file(list);
    return list;
}

// An LStat value: 16 numerals, or the 14 of older clients for job 43. The
// projects of /srv/data belong to three owners in turn; the rest to ana.
std::string lstat(const File& file, int inode)
{
    const std::int64_t owner =
        file.path >= first_bulk_path ? 1001 + (file.path - first_bulk_path) % 3 : 1000;
    const std::int64_t values[] = {2049,
                                   inode,
                                   file.mode,
                                   1,
                                   owner,
                                   1000,
                                   file.rdev,
                                   file.size,
                                   4096,
                                   (file.size + 511) / 512,
                                   file.mtime + 100,
                                   file.mtime,
                                   file.mtime,
                                   0,
                                   0,
                                   (file.mode & 0170000) == regular ? 2 : 0};
    const int count = file.job == 43 ? 14 : 16;
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += (i > 0 ? " " : "") + encode_lstat_numeral(values[i]);
    }
    return text;
}

// Writes the bytes of `text` with a backslash escape where `escapes` maps the
// byte to a letter ("\n" "n" ...).
std::string escaped(const std::string& text, const std::string& bytes, const std::string& letters)
{
    std::string out;
    for (const char c : text) {
        const std::size_t at = bytes.find(c);
        out += at == std::string::npos ? std::string(1, c) : std::string{'\\', letters[at]};
    }
    return out;
}

std::string for_loading(const std::string& text)
{
    return escaped(text, "\\\n\r\t", "\\nrt");
}

std::string as_copy_prints(const std::string& text)
{
    return escaped(text, "\\\n\r\t\b\f\v", "\\nrtbfv");
}

std::string as_mysql_prints(const std::string& text)
{
    return escaped(text, "\\\n\t", "\\nt");
}

std::string json_string(const std::string& text, bool not_utf8)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const std::size_t at = std::string("\"\\\b\f\n\r\t").find(c);
        const bool c1_control =
            byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        char escape[8];
        if (at != std::string::npos) {
            out += std::string{'\\', "\"\\bfnrt"[at]};
        } else if (byte < 0x20 || byte == 0x7F) {
            (void)std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else if (byte >= 0x80 && not_utf8) {
            (void)std::snprintf(escape, sizeof escape, "\\udc%02x", byte);
            out += escape;
        } else if (c1_control) {
            (void)std::snprintf(escape, sizeof escape, "\\u%04x",
                                static_cast<unsigned char>(text[++i]));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// `text` as an SQLite text literal that holds its bytes exactly.
std::string sqlite_text(const std::string& text)
{
    std::string hex = "CAST(X'";
    for (const char c : text) {
        char digits[3];
        (void)std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        hex += digits;
    }
    return hex + "' AS TEXT)";
}

std::string path_name(int id)
{
    return id < first_bulk_path ? paths[static_cast<std::size_t>(id - 1)]
                                : "/srv/data/project" + std::to_string(id - first_bulk_path) + "/";
}

// Edge cases, then random texts of up to 16 bytes: digits, minus signs,
// spaces, TABs, CRs, backslashes, control and high bytes; no NUL or line feed,
// and not the help switches -h, --help and -?.
void write_numerals(std::ofstream& raw, std::ofstream& escaped)
{
    std::vector<std::string> texts = {"",
                                      "-",
                                      "A",
                                      "B",
                                      "/",
                                      "BA",
                                      "gB",
                                      "-B",
                                      "--B",
                                      "B C",
                                      " B",
                                      "B=",
                                      "B-",
                                      "B\tC",
                                      "-help",
                                      "-H",
                                      "//////////",
                                      "///////////",
                                      "H//////////",
                                      "IAAAAAAAAAA",
                                      "-IAAAAAAAAAA",
                                      "UUUAn5326080"};
    const std::string odd = "- -\t\r\\=\x01\x7f\x80\xc3\xa9\xff";
    std::mt19937_64 random(64); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same texts every run
    while (texts.size() < 2000) {
        std::string text(random() % 17, ' ');
        for (char& c : text) {
            const std::uint64_t pick = random() % 100;
            c = pick < 80
                    ? "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[pick % 64]
                    : odd[pick % odd.size()];
        }
        if (text != "-h" && text != "--help") {
            texts.push_back(text);
        }
    }
    for (const std::string& text : texts) {
        raw << text << '\n';
        escaped << for_loading(text) << '\n';
    }
}

// StartTime as the catalog writes it, in UTC, which the tests run in.
std::string start_time(std::int64_t seconds)
{
    const std::time_t time = seconds;
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&time, &utc) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc) == 0) {
        return "";
    }
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        (void)std::fputs("usage: catalog_fixture DIRECTORY\n", stderr);
        return 2;
    }
    const std::string directory = argv[1];
    std::ofstream path_table(directory + "/path.tsv", std::ios::binary);
    std::ofstream file_table(directory + "/file.tsv", std::ios::binary);
    std::ofstream job_table(directory + "/job.tsv", std::ios::binary);
    std::ofstream copy(directory + "/expected-copy.tsv", std::ios::binary);
    std::ofstream mysql(directory + "/expected-mysql.tsv", std::ios::binary);
    std::ofstream json(directory + "/expected.json", std::ios::binary);
    std::ofstream raw(directory + "/expected-raw.tsv", std::ios::binary);
    std::ofstream names(directory + "/names.bin", std::ios::binary);
    std::ofstream sqlite(directory + "/catalog.sqlite.sql", std::ios::binary);
    sqlite << "CREATE TABLE Path (PathId INTEGER PRIMARY KEY, Path TEXT NOT NULL);\n"
              "CREATE TABLE File (FileId INTEGER PRIMARY KEY, JobId INTEGER NOT NULL,\n"
              "                   PathId INTEGER NOT NULL, Filename TEXT NOT NULL,\n"
              "                   LStat TEXT NOT NULL, FileIndex INTEGER NOT NULL);\n"
              "CREATE TABLE Job (JobId INTEGER PRIMARY KEY, JobBytes INTEGER NOT NULL,\n"
              "                  JobFiles INTEGER NOT NULL, Type TEXT NOT NULL,\n"
              "                  JobTDate INTEGER NOT NULL, PurgedFiles INTEGER NOT NULL,\n"
              "                  ClientId INTEGER NOT NULL, Level TEXT NOT NULL,\n"
              "                  JobStatus TEXT NOT NULL, StartTime TEXT NOT NULL,\n"
              "                  FileSetId INTEGER NOT NULL);\n"
              "CREATE TABLE Client (ClientId INTEGER PRIMARY KEY, Name TEXT NOT NULL);\n"
              "CREATE TABLE FileSet (FileSetId INTEGER PRIMARY KEY, FileSet TEXT NOT NULL);\n"
              "INSERT INTO Client VALUES (1, 'ana-fd');\n"
              "INSERT INTO FileSet VALUES (1, 'Home');\n"
              "BEGIN;\n";
    std::ofstream numerals(directory + "/numerals.txt", std::ios::binary);
    std::ofstream numerals_escaped(directory + "/numerals.copy", std::ios::binary);
    write_numerals(numerals, numerals_escaped);

    for (int id = 1; id < first_bulk_path + bulk_paths; ++id) {
        path_table << id << '\t' << for_loading(path_name(id)) << '\n';
        sqlite << "INSERT INTO Path VALUES (" << id << ", " << sqlite_text(path_name(id)) << ");\n";
    }
    std::map<int, std::pair<std::int64_t, int>> jobs; // bytes of regular files, files
    std::int64_t apparent_bytes = 0;                  // of job 42, every entry
    std::set<std::string> entries;                    // of job 42, below the root
    int file_id = 0;
    for (const File& file : files()) {
        ++file_id;
        file_table << file_id << '\t' << file.job << '\t' << file.path << '\t'
                   << for_loading(file.name) << '\t' << lstat(file, 1000 + file_id) << '\t'
                   << file_id << '\n';
        sqlite << "INSERT INTO File VALUES (" << file_id << ", " << file.job << ", " << file.path
               << ", " << sqlite_text(file.name) << ", '" << lstat(file, 1000 + file_id) << "', "
               << file_id << ");\n";
        jobs[file.job].first += (file.mode & 0170000) == regular ? file.size : 0;
        jobs[file.job].second += 1;
        if (file.job != 42) {
            continue;
        }
        const std::string name = path_name(file.path) + file.name;
        apparent_bytes += file.size;
        entries.insert(name);
        for (std::size_t slash = name.find('/', 1); slash != std::string::npos;
             slash = name.find('/', slash + 1)) {
            entries.insert(name.substr(0, slash + 1)); // the directories on the way
        }
        copy << as_copy_prints(name) << '\t' << file.size << '\n';
        mysql << as_mysql_prints(name) << '\t' << file.size << '\n';
        json << R"({"columns":[)" << json_string(name, file.not_utf8) << R"(],"size":)" << file.size
             << "}\n";
        names << name << '\0';
        if (name.find_first_of("\n\t") == std::string::npos) {
            raw << name << '\t' << file.size << '\n';
        }
    }
    std::ofstream ncdu(directory + "/expected-ncdu.txt", std::ios::binary);
    ncdu << apparent_bytes << ' ' << entries.size() << '\n';
    std::ofstream(directory + "/client.tsv", std::ios::binary) << "1\tana-fd\n";
    std::ofstream(directory + "/fileset.tsv", std::ios::binary) << "1\tHome\n";
    jobs[49] = {0, 0}; // still running when the catalog is read
    for (const auto& [job, totals] : jobs) {
        // Backups of one client, a day apart in JobId order, none pruned:
        // Fulls 42 and 44, the others Incrementals.
        const std::int64_t time = december + (job - 42) * day_seconds;
        const char* const level = job == 42 || job == 44 ? "F" : "I";
        const char* const status = job == 49 ? "R" : "T";
        const std::string start = start_time(time);
        job_table << job << '\t' << totals.first << '\t' << totals.second << "\tB\t" << time
                  << "\t0\t1\t" << level << '\t' << status << '\t' << start << "\t1\n";
        sqlite << "INSERT INTO Job VALUES (" << job << ", " << totals.first << ", " << totals.second
               << ", 'B', " << time << ", 0, 1, '" << level << "', '" << status << "', '" << start
               << "', 1);\n";
    }
    sqlite << "COMMIT;\n";
    const std::ofstream* const outputs[] = {
        &path_table, &file_table, &job_table, &copy,   &mysql,    &json,
        &raw,        &names,      &ncdu,      &sqlite, &numerals, &numerals_escaped};
    if (!std::all_of(std::begin(outputs), std::end(outputs),
                     [](const std::ofstream* out) { return out->good(); })) {
        (void)std::fprintf(stderr, "catalog_fixture: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
