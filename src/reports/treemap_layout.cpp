#include "treemap_layout.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string_view>
#include <vector>

namespace {

struct Item {
    enum class Kind { directory, file, own, rest } kind;
    std::uint32_t directory; // the directory, or for the rest its parent
    const TreemapFile* file;
    std::uint64_t bytes;
    std::uint64_t entries; // in the rest
    double area;
    std::string_view name; // for a stable order among equal sizes
};

// Squarifies `items`, sorted largest first, into `space`: each row along
// the shorter side takes the next item while the row's worst aspect ratio
// gets no worse.
void squarify(const std::vector<Item>& items, Rect space, std::vector<Rect>& rects)
{
    rects.assign(items.size(), Rect{space.x, space.y, 0, 0});
    std::size_t start = 0;
    while (start < items.size()) {
        const double side = std::min(space.width, space.height);
        if (side <= 0) {
            return;
        }
        const double largest = items[start].area;
        double sum = 0;
        double worst_so_far = std::numeric_limits<double>::infinity();
        std::size_t end = start;
        for (; end < items.size(); ++end) {
            const double area = items[end].area; // the row's smallest, as items shrink
            const double with = sum + area;
            const double worst =
                std::max(side * side * largest / (with * with), with * with / (side * side * area));
            if (end > start && worst > worst_so_far) {
                break;
            }
            worst_so_far = worst;
            sum = with;
        }
        const double thickness = sum / side;
        const bool column = space.width >= space.height; // the row stands on the left
        // Each rectangle starts where the one before ends, to the last bit.
        double at = column ? space.y : space.x;
        for (std::size_t i = start; i < end; ++i) {
            const double length = items[i].area / thickness;
            rects[i] = column ? Rect{space.x, at, thickness, length}
                              : Rect{at, space.y, length, thickness};
            at += length;
        }
        if (column) {
            space.x += thickness;
            space.width = std::max(0.0, space.width - thickness);
        } else {
            space.y += thickness;
            space.height = std::max(0.0, space.height - thickness);
        }
        start = end;
    }
}

class Layout {
public:
    Layout(const TreemapTree& tree, double smallest, TreemapVisitor* visitor)
        : tree_(tree), smallest_(smallest), visitor_(visitor)
    {
    }

    // Draws `directory` in `rect` and its entries inside it. A directory
    // too small for a band shows no entries, and a band and its padding take
    // four pixels at least, so that nesting, however deep the paths, stops
    // within a quarter of the canvas's height.
    void directory(std::uint32_t directory, const Rect& rect)
    {
        const bool named = rect.height >= 3 * name_band && rect.width >= 2 * name_band;
        const bool banded = rect.height >= 12 && rect.width >= 12;
        const double band = named ? name_band : 3;
        const double pad = 1;
        ++drawn_;
        if (visitor_ != nullptr) {
            visitor_->open_directory(directory, rect,
                                     Rect{rect.x, rect.y, rect.width, named ? band : 0});
        }
        if (!banded) {
            if (visitor_ != nullptr) {
                visitor_->close_directory();
            }
            return;
        }
        const Rect inner{rect.x + pad, rect.y + band, std::max(0.0, rect.width - 2 * pad),
                         std::max(0.0, rect.height - band - pad)};
        std::vector<Item> items = entries(directory, inner);
        std::vector<Rect> rects;
        squarify(items, inner, rects);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Item& item = items[i];
            if (item.kind == Item::Kind::directory) {
                this->directory(item.directory, rects[i]);
                continue;
            }
            ++drawn_;
            if (visitor_ == nullptr) {
                continue;
            }
            if (item.kind == Item::Kind::file) {
                visitor_->file(*item.file, item.bytes, rects[i]);
            } else if (item.kind == Item::Kind::own) {
                visitor_->own(directory, item.bytes, rects[i]);
            } else {
                visitor_->rest(directory, item.entries, item.bytes, rects[i]);
            }
        }
        if (visitor_ != nullptr) {
            visitor_->close_directory();
        }
    }

    std::size_t drawn() const { return drawn_; }

private:
    // The entries of `directory` to draw in `inner`, largest first, the
    // small ones folded into one rest.
    std::vector<Item> entries(std::uint32_t directory, const Rect& inner) const
    {
        const std::vector<std::uint32_t>& children = tree_.directories[directory].children;
        const std::vector<std::uint32_t>& files = tree_.directories[directory].files;
        std::vector<Item> items(children.size() + files.size());
        std::transform(children.begin(), children.end(), items.begin(),
                       [this](std::uint32_t child) {
                           return Item{Item::Kind::directory,          child, nullptr,
                                       tree_.directories[child].total, 0,     0,
                                       directory_name(tree_, child)};
                       });
        std::transform(files.begin(), files.end(),
                       items.begin() + static_cast<long>(children.size()),
                       [this, directory](std::uint32_t index) {
                           const TreemapFile& file = tree_.files[index];
                           return Item{Item::Kind::file,      directory, &file, file.bytes, 0, 0,
                                       file_name(tree_, file)};
                       });
        const TreemapDirectory& entry = tree_.directories[directory];
        const std::uint64_t entries_bytes =
            std::accumulate(items.begin(), items.end(), entry.folded_bytes,
                            [](std::uint64_t sum, const Item& item) { return sum + item.bytes; });
        // What the directory's total holds beside its entries: its own.
        const std::uint64_t total = entry.total;
        if (total > entries_bytes) {
            items.push_back({Item::Kind::own, directory, nullptr, total - entries_bytes, 0, 0,
                             std::string_view()});
        }
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return a.bytes != b.bytes ? a.bytes > b.bytes : a.name < b.name;
        });
        const double scale =
            total > 0 ? inner.width * inner.height / static_cast<double>(total) : 0;
        // The entries folded as the tree was built would be too small here.
        Item rest{Item::Kind::rest,     directory, nullptr, entry.folded_bytes,
                  entry.folded_entries, 0,         {}};
        std::size_t kept = 0;
        for (Item& item : items) {
            item.area = static_cast<double>(item.bytes) * scale;
            if (item.bytes > 0 && item.area >= smallest_) {
                items[kept++] = item;
            } else {
                rest.bytes += item.bytes;
                ++rest.entries;
            }
        }
        items.resize(kept);
        if (rest.bytes > 0) {
            rest.area = static_cast<double>(rest.bytes) * scale;
            const auto at = std::find_if(items.begin(), items.end(), [&rest](const Item& item) {
                return item.bytes < rest.bytes;
            });
            items.insert(at, rest);
        }
        return items;
    }

    const TreemapTree& tree_;
    double smallest_;
    TreemapVisitor* visitor_;
    std::size_t drawn_ = 0;
};

} // namespace

std::size_t lay_out_treemap(const TreemapTree& tree, const Rect& canvas, double smallest,
                            TreemapVisitor* visitor)
{
    Layout layout(tree, smallest, visitor);
    layout.directory(tree.top, canvas);
    return layout.drawn();
}
