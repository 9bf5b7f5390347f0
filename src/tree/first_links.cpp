#include "first_links.h"

#include "external_sort.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr std::size_t place_bytes = 8;
constexpr std::size_t inode_bytes = 24; // the machine, the device and the inode

// `value`'s bytes, most significant first, so that keys compare as the
// numbers do; signed numbers with their sign bit turned, to put the
// negative ones first.
void put_ordered(std::string& key, std::uint64_t value)
{
    for (int shift = 56; shift >= 0; shift -= 8) {
        key.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

std::uint64_t signed_ordered(std::int64_t value)
{
    return static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63);
}

std::uint64_t get_ordered(std::string_view key)
{
    const std::string_view bytes = key.substr(0, place_bytes);
    return std::accumulate(bytes.begin(), bytes.end(), std::uint64_t{0},
                           [](std::uint64_t value, char byte) {
                               return (value << 8) | static_cast<unsigned char>(byte);
                           });
}

} // namespace

FirstLinks::FirstLinks(std::size_t budget, std::string directory)
    : budget_(budget), directory_(std::move(directory))
{
}

FirstLinks::~FirstLinks() = default;

bool FirstLinks::is_link(const TreeRow& row) const
{
    return row.selected && is_hard_link(row.attributes) &&
           !std::binary_search(unclaiming_.begin(), unclaiming_.end(), row.order);
}

bool FirstLinks::settle(ExternalSort& rows, const std::vector<std::uint64_t>& unclaiming)
{
    unclaiming_ = unclaiming;
    may_be_taken_out_ = false;
    std::sort(unclaiming_.begin(), unclaiming_.end());
    // The two sorts take turns at the budget: the links by inode are read
    // while the first places are sorted.
    ExternalSort by_inode(budget_ / 2, directory_);
    firsts_ = std::make_unique<ExternalSort>(budget_ / 2, directory_);
    std::string key;
    std::string_view row_key;
    std::string_view payload;
    TreeRow row{};
    // The links whose paths the rows' keys still start with: the rows
    // after a path and before its '/' all do.
    std::vector<std::string> open_links;
    rows.rewind();
    for (std::uint64_t place = 0; rows.next(row_key, payload); ++place) {
        decode_link_fields(payload, row);
        while (!open_links.empty() &&
               row_key.compare(0, open_links.back().size(), open_links.back()) != 0) {
            open_links.pop_back();
        }
        const std::size_t below = open_links.empty() ? 0 : open_links.back().size();
        may_be_taken_out_ |= below > 0 && row_key.size() > below && row_key[below] == '/';
        if (is_link(row)) {
            open_links.emplace_back(row_key);
            key.clear();
            put_ordered(key, std::uint64_t{row.attributes.host});
            put_ordered(key, signed_ordered(row.attributes.dev));
            put_ordered(key, signed_ordered(row.attributes.ino));
            put_ordered(key, place);
            if (!by_inode.add(key, {})) {
                error_ = by_inode.error();
                return false;
            }
        }
    }
    by_inode.rewind();
    std::string inode;
    while (by_inode.next(row_key, payload)) {
        if (row_key.compare(0, inode_bytes, inode) != 0) {
            inode.assign(row_key.substr(0, inode_bytes));
            if (!firsts_->add(row_key.substr(inode_bytes), {})) {
                error_ = firsts_->error();
                return false;
            }
        }
    }
    error_ = by_inode.error();
    if (error_ == 0) {
        rewind();
    }
    return error_ == 0 && rows.error() == 0;
}

void FirstLinks::read_next_first()
{
    std::string_view key;
    std::string_view payload;
    any_first_ = firsts_->next(key, payload);
    next_first_ = any_first_ ? get_ordered(key) : 0;
    error_ = error_ != 0 ? error_ : firsts_->error();
}

void FirstLinks::rewind()
{
    place_ = 0;
    firsts_->rewind();
    read_next_first();
}

LinkClaim FirstLinks::claim(const TreeRow& row)
{
    const std::uint64_t place = place_++;
    if (!is_link(row)) {
        return LinkClaim::none;
    }
    if (!any_first_ || place != next_first_) {
        return LinkClaim::later;
    }
    read_next_first();
    return LinkClaim::first;
}
