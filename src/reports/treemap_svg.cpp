#include "treemap_svg.h"

#include "client_escapes.h"
#include "file_kind.h"
#include "human_size.h"
#include "keyed_map.h"
#include "markup_text.h"
#include "terminal_text.h"
#include "treemap_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double heading_height = 24;
constexpr double heading_size = 13;
constexpr double label_size = 11;
constexpr double legend_row = 18;
constexpr int legend_kinds = 8;
// Rectangles of a few hundred bytes each: at most this many keep a document
// near 5 MB. Past it, the smallest area drawn alone doubles until they fit.
constexpr std::size_t most_rectangles = 25000;
constexpr double smallest_area = 16; // about 4 by 4 pixels

const char* const directory_fill = "#f4f4f4";
const char* const directory_stroke = "#808080";
const char* const rest_fill = "#c8c8c8";
// The eight kinds with the most bytes, in the legend's order, and the others.
const char* const kind_fills[legend_kinds] = {"#4e79a7", "#f28e2b", "#e15759", "#76b7b2",
                                              "#59a14f", "#edc948", "#b07aa1", "#9c755f"};
const char* const other_fills[8] = {"#a0cbe8", "#ffbe7d", "#ff9d9a", "#86bcb6",
                                    "#8cd17d", "#f1ce63", "#d4a6c8", "#d7b5a6"};

// The advance of each printable ASCII character in em, the larger of
// DejaVu Sans's and Liberation Sans's (Arial's), the default sans-serif
// fonts of browsers on Linux and elsewhere, rounded up: a label estimated to
// fit in one of them fits.
constexpr double ascii_widths[95] = {
    // space ! " # $ % & ' ( ) * + , - . /
    0.34, 0.42, 0.48, 0.86, 0.66, 0.97, 0.80, 0.30, 0.41, 0.41, 0.52, 0.86, 0.34, 0.38, 0.34, 0.36,
    // 0-9
    0.66, 0.66, 0.66, 0.66, 0.66, 0.66, 0.66, 0.66, 0.66, 0.66,
    // : ; < = > ? @
    0.36, 0.36, 0.86, 0.86, 0.86, 0.61, 1.04,
    // A-Z
    0.71, 0.71, 0.75, 0.79, 0.69, 0.64, 0.80, 0.78, 0.32, 0.52, 0.69, 0.58, 0.89, 0.77, 0.81, 0.69,
    0.81, 0.75, 0.69, 0.64, 0.76, 0.71, 1.01, 0.71, 0.69, 0.71,
    // [ \ ] ^ _ `
    0.41, 0.36, 0.41, 0.86, 0.52, 0.52,
    // a-z
    0.64, 0.66, 0.57, 0.66, 0.64, 0.37, 0.66, 0.66, 0.30, 0.30, 0.60, 0.30, 1.00, 0.66, 0.64, 0.66,
    0.66, 0.43, 0.55, 0.41, 0.66, 0.62, 0.84, 0.62, 0.62, 0.55,
    // { | } ~
    0.66, 0.36, 0.66, 0.86};

// The width of `shown`, text as a reader sees it (escaped for a terminal,
// before entities), at `size` pixels, at most.
double text_width(const std::string& shown, double size)
{
    double em = 0;
    const auto* const bytes = reinterpret_cast<const unsigned char*>(shown.data());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const unsigned char byte = bytes[i];
        if (byte >= 0x20 && byte < 0x7F) {
            em += ascii_widths[byte - 0x20];
        } else if (byte == 0xEF && i + 2 < shown.size() && bytes[i + 1] == 0xBF &&
                   (bytes[i + 2] & 0xFE) == 0xBE) {
            em += 12 * 0.65; // written as three octal escapes
            i += 2;
        } else if (byte >= 0xC0) {
            em += byte < 0xE1 ? 1.0 : 1.3; // wide scripts and symbols from U+1000
        }
    }
    return em * size + 1;
}

bool fits(const std::string& shown, double size, double width)
{
    return text_width(shown, size) + 6 <= width;
}

// A number of hundredths of a pixel, with at most two decimals.
void write_hundredths(OutputBuffer& out, long long hundredths)
{
    if (hundredths < 0) {
        output_char(out, '-');
        hundredths = -hundredths;
    }
    output_number(out, hundredths / 100);
    const auto fraction = static_cast<int>(hundredths % 100);
    if (fraction != 0) {
        const char digits[] = {'.', static_cast<char>('0' + fraction / 10),
                               static_cast<char>('0' + fraction % 10)};
        output_bytes(out, digits, fraction % 10 != 0 ? 3 : 2);
    }
}

long long hundredths(double value)
{
    return std::llround(value * 100);
}

// A rectangle's position and size, from its edges rounded to a hundredth of
// a pixel, so that neighbours that share an edge still share it.
void write_geometry(OutputBuffer& out, const Rect& rect)
{
    const long long left = hundredths(rect.x);
    const long long top = hundredths(rect.y);
    output_text(out, " x=\"");
    write_hundredths(out, left);
    output_text(out, "\" y=\"");
    write_hundredths(out, top);
    output_text(out, "\" width=\"");
    write_hundredths(out, hundredths(rect.x + rect.width) - left);
    output_text(out, "\" height=\"");
    write_hundredths(out, hundredths(rect.y + rect.height) - top);
    output_char(out, '"');
}

// A coordinate of a label.
void write_coordinate(OutputBuffer& out, double value)
{
    write_hundredths(out, hundredths(value));
}

std::string human(std::uint64_t bytes)
{
    char text[24];
    return {text, human_size(from_twos_complement(bytes), text)};
}

// A size as du -h shows it, with a unit where it shows bytes: 110 as 110B.
std::string with_unit(std::string shown)
{
    if (!shown.empty() && shown.back() >= '0' && shown.back() <= '9') {
        shown += 'B';
    }
    return shown;
}

// The entries that the treemap draws, as find and ncdu count them: the top
// and everything below it, directories without a row of their own too, but
// not the root above several tops, which has none.
std::uint64_t entries_drawn(const TreemapTree& tree)
{
    const bool several_tops = !tree.root_name.empty();
    return tree.entries - tree.above - (several_tops ? 1U : 0U);
}

// Where the entries are drawn, below the heading and left of the legend.
Rect canvas_of(int width, int height)
{
    const auto total_width = static_cast<double>(width);
    const double legend_width = std::clamp(total_width / 5, 90.0, 220.0);
    return {0, heading_height, total_width - legend_width - 4,
            static_cast<double>(height) - heading_height};
}

// 10044 as 10,044.
std::string grouped(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, 1, ',');
    }
    return digits;
}

// The real bytes of a name or path as its client escaped it, which labels,
// titles and data-path show, as ncdu and QDirStat show names.
std::string real(std::string_view escaped)
{
    std::string scratch;
    return std::string(real_bytes(escaped, scratch));
}

// The kinds of the tree's files, the bytes of each, and their colors.
class Kinds {
public:
    explicit Kinds(const TreemapTree& tree)
    {
        for (const auto& [kind, bytes] : tree.kind_bytes) {
            if (bytes > 0) {
                top_.emplace_back(kind, bytes);
            }
        }
        std::sort(top_.begin(), top_.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        if (top_.size() > static_cast<std::size_t>(legend_kinds)) {
            others_ = std::accumulate(
                top_.begin() + legend_kinds, top_.end(), std::uint64_t{0},
                [](std::uint64_t sum, const auto& kind) { return sum + kind.second; });
            top_.resize(legend_kinds);
        }
    }

    // The fill of a file whose name is `real_name`, its real bytes.
    const char* fill(const std::string& real_name) const
    {
        const std::string kind = file_kind(real_name);
        for (std::size_t i = 0; i < top_.size(); ++i) {
            if (top_[i].first == kind) {
                return kind_fills[i];
            }
        }
        return other_fills[std::hash<std::string>{}(kind) % std::size(other_fills)];
    }

    const std::vector<std::pair<std::string, std::uint64_t>>& top() const { return top_; }
    // The bytes of the kinds outside the legend, drawn in the lighter colors.
    std::uint64_t others() const { return others_; }

private:
    std::vector<std::pair<std::string, std::uint64_t>> top_;
    std::uint64_t others_ = 0;
};

// Black on light fills, white on dark ones.
const char* ink_on(const char* fill)
{
    const auto channel = [fill](int at) {
        int value = 0;
        std::from_chars(fill + at, fill + at + 2, value, 16);
        return value;
    };
    const int luma = 299 * channel(1) + 587 * channel(3) + 114 * channel(5);
    return luma < 140000 ? "#ffffff" : "#1a1a1a";
}

// A label after its rectangle: the name, at the rectangle's top left.
void write_label(OutputBuffer& out, const Rect& rect, std::string_view name, const char* ink)
{
    output_text(out, "<text x=\"");
    write_coordinate(out, rect.x + 3);
    output_text(out, "\" y=\"");
    write_coordinate(out, rect.y + 12);
    if (std::strcmp(ink, "#1a1a1a") != 0) {
        output_text(out, "\" fill=\"");
        output_text(out, ink);
    }
    output_text(out, "\">");
    write_markup_text(out, name.data(), name.size());
    output_text(out, "</text>\n");
}

bool label_fits(const Rect& rect, std::string_view name)
{
    return rect.height >= name_band &&
           fits(quoted_for_terminal(std::string(name)), label_size, rect.width);
}

class SvgWriter final : public TreemapVisitor {
public:
    SvgWriter(OutputBuffer& out, const TreemapTree& tree, const Kinds& kinds)
        : out_(out), tree_(tree), kinds_(kinds)
    {
    }

    void open_directory(std::uint32_t directory, const Rect& rect, const Rect& band) override
    {
        const TreemapDirectory& entry = tree_.directories[directory];
        const std::string path = real(shown_path(tree_, directory));
        output_text(out_, "<g>\n<rect class=\"dir\"");
        write_geometry(out_, rect);
        write_directory_paint();
        write_entry(path, entry.total);
        // The top shows its whole path; the others their name, and their
        // size after it when both fit.
        const std::string name =
            directory == tree_.top ? path : real(directory_name(tree_, directory));
        if (band.height <= 0) {
            return;
        }
        const std::string sized = name + " " + human(entry.total);
        if (label_fits(band, sized)) {
            write_label(out_, band, sized, "#1a1a1a");
        } else if (label_fits(band, name)) {
            write_label(out_, band, name, "#1a1a1a");
        }
    }

    void file(const TreemapFile& file, std::uint64_t bytes, const Rect& rect) override
    {
        file_path(tree_, file, path_);
        const std::string name = real(file_name(tree_, file));
        const char* const fill = kinds_.fill(name);
        output_text(out_, "<rect class=\"file\"");
        write_geometry(out_, rect);
        output_text(out_, " fill=\"");
        output_text(out_, fill);
        output_text(out_, "\" stroke=\"#ffffff\" stroke-width=\"0.5\"");
        write_entry(real(path_), bytes);
        if (label_fits(rect, name)) {
            write_label(out_, rect, name, ink_on(fill));
        }
    }

    void own(std::uint32_t directory, std::uint64_t bytes, const Rect& rect) override
    {
        const std::string path = real(shown_path(tree_, directory));
        output_text(out_, "<rect class=\"own\"");
        write_geometry(out_, rect);
        write_directory_paint();
        write_entry(path, bytes, ", the directory's own entry: ");
    }

    void rest(std::uint32_t directory, std::uint64_t entries, std::uint64_t bytes,
              const Rect& rect) override
    {
        const std::string more = grouped(entries) + " more";
        const std::string summary = more + ", " + human(bytes);
        output_text(out_, "<rect class=\"rest\"");
        write_geometry(out_, rect);
        output_text(out_, " fill=\"");
        output_text(out_, rest_fill);
        output_text(out_, "\" data-rest=\"");
        output_number(out_, from_twos_complement(entries));
        output_text(out_, "\" data-bytes=\"");
        output_number(out_, from_twos_complement(bytes));
        output_text(out_, "\"><title>" + summary + " in ");
        const std::string path = real(shown_path(tree_, directory));
        write_markup_text(out_, path.data(), path.size());
        output_text(out_, ", too small to draw alone</title></rect>\n");
        if (label_fits(rect, summary)) {
            write_label(out_, rect, summary, "#1a1a1a");
        } else if (label_fits(rect, more)) {
            write_label(out_, rect, more, "#1a1a1a");
        }
    }

    void close_directory() override { output_text(out_, "</g>\n"); }

private:
    // A directory's rectangles, its own entry's among them, in its colors.
    void write_directory_paint()
    {
        output_text(out_, " fill=\"");
        output_text(out_, directory_fill);
        output_text(out_, "\" stroke=\"");
        output_text(out_, directory_stroke);
        output_text(out_, "\" stroke-width=\"0.5\"");
    }

    // The attributes and title of an entry, which end its rectangle: the
    // title is the path, `before_size` and the size.
    void write_entry(const std::string& path, std::uint64_t bytes, const char* before_size = " ")
    {
        output_text(out_, " data-path=\"");
        write_markup_text(out_, path.data(), path.size());
        output_text(out_, "\" data-bytes=\"");
        output_number(out_, from_twos_complement(bytes));
        output_text(out_, "\"><title>");
        write_markup_text(out_, path.data(), path.size());
        output_text(out_, before_size + human(bytes) + "</title></rect>\n");
    }

    OutputBuffer& out_;
    const TreemapTree& tree_;
    const Kinds& kinds_;
    std::string path_;
};

const char ellipsis[] = "\xe2\x80\xa6";

// The heading: the top directory, its total and its number of files, its
// path shortened from the start where the whole does not fit.
void write_heading(OutputBuffer& out, const std::string& path, const std::string& totals,
                   double width)
{
    output_text(out, "<rect class=\"heading\"");
    write_geometry(out, Rect{0, 0, width, heading_height});
    output_text(out, " fill=\"none\"/>\n");
    std::string tail = path;
    const char* lead = "";
    while (!fits(lead + quoted_for_terminal(tail) + totals, heading_size, width)) {
        if (tail.empty()) {
            return; // not even the totals fit
        }
        const std::size_t slash = tail.find('/', 1);
        tail = slash == std::string::npos ? std::string() : tail.substr(slash);
        lead = ellipsis;
    }
    output_text(out, "<text x=\"4\" y=\"17\" font-size=\"13\">");
    output_text(out, lead);
    write_markup_text(out, tail.data(), tail.size());
    write_markup_text(out, totals.data(), totals.size());
    output_text(out, "</text>\n");
}

// A legend's key beside its swatch: the label, cut short with an ellipsis
// where it does not fit before its size.
void write_key(OutputBuffer& out, double left, double y, double width, std::string label,
               std::uint64_t bytes)
{
    const Rect box{left + 16, y, std::max(0.0, width - 20), name_band};
    output_text(out, "<rect class=\"key\"");
    write_geometry(out, box);
    output_text(out, " fill=\"none\"/>\n");
    const std::string size = " " + with_unit(human(bytes));
    if (!fits(quoted_for_terminal(label) + size, label_size, box.width)) {
        const std::string tail = ellipsis + size;
        while (!label.empty() && !fits(quoted_for_terminal(label) + tail, label_size, box.width)) {
            label.pop_back();
        }
        if (!label.empty()) {
            label += ellipsis;
        }
    }
    if (!label.empty()) {
        write_label(out, box, label + size, "#1a1a1a");
    }
}

void write_swatch(OutputBuffer& out, const Rect& rect, const char* fill)
{
    output_text(out, "<rect");
    write_geometry(out, rect);
    output_text(out, " fill=\"");
    output_text(out, fill);
    output_text(out, "\"/>\n");
}

// The legend: the eight kinds with the most bytes, their colors and totals,
// then the lighter colors of all the other kinds, striped in one swatch.
void write_legend(OutputBuffer& out, const Kinds& kinds, double left, double width, double height)
{
    output_text(out, "<g class=\"legend\">\n");
    double y = heading_height + 6;
    for (std::size_t i = 0; i < kinds.top().size() && y + legend_row <= height; ++i) {
        write_swatch(out, Rect{left, y + 2, 12, 12}, kind_fills[i]);
        const std::string& kind = kinds.top()[i].first;
        write_key(out, left, y, width, kind.empty() ? "no extension" : kind_label(kind),
                  kinds.top()[i].second);
        y += legend_row;
    }
    if (kinds.others() > 0 && y + legend_row <= height) {
        const double stripe = 12.0 / static_cast<double>(std::size(other_fills));
        for (std::size_t i = 0; i < std::size(other_fills); ++i) {
            write_swatch(out, Rect{left + stripe * static_cast<double>(i), y + 2, stripe, 12},
                         other_fills[i]);
        }
        write_key(out, left, y, width, "other kinds", kinds.others());
    }
    output_text(out, "</g>\n");
}

} // namespace

void write_treemap(OutputBuffer& out, const TreemapTree& tree, int width, int height)
{
    const auto total_width = static_cast<double>(width);
    const auto total_height = static_cast<double>(height);
    const Rect canvas = canvas_of(width, height);
    const double legend_width = total_width - canvas.width - 4;
    const TreemapDirectory& top = tree.directories[tree.top];
    const std::string path = real(shown_path(tree, tree.top));
    const std::uint64_t entries = entries_drawn(tree);
    const std::string totals = std::string(" \xe2\x80\x94 ") +
                               (tree.disk_usage ? "disk usage " : "apparent size ") +
                               with_unit(human(top.total)) + " in " + grouped(entries) +
                               (entries == 1 ? " entry" : " entries");
    const std::string dimensions = std::to_string(width) + "\" height=\"" + std::to_string(height);
    output_text(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                         dimensions + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                         std::to_string(height) +
                         "\" font-family=\"sans-serif\" font-size=\"11\">\n<title>");
    write_markup_text(out, path.data(), path.size());
    write_markup_text(out, totals.data(), totals.size());
    output_text(out, "</title>\n<rect class=\"background\" width=\"" + dimensions +
                         "\" fill=\"#ffffff\"/>\n");
    write_heading(out, path, totals, canvas.width);
    double smallest = smallest_area;
    while (lay_out_treemap(tree, canvas, smallest, nullptr) > most_rectangles) {
        smallest *= 2;
    }
    const Kinds kinds(tree);
    SvgWriter writer(out, tree, kinds);
    output_text(out, "<g class=\"tree\">\n");
    lay_out_treemap(tree, canvas, smallest, &writer);
    output_text(out, "</g>\n");
    write_legend(out, kinds, canvas.width + 4, legend_width, total_height);
    output_text(out, "</svg>\n");
}

double least_drawn_share(int width, int height)
{
    const Rect canvas = canvas_of(width, height);
    return smallest_area / (canvas.width * canvas.height);
}
