#include "sorted_tree_writers.h"

#include "by_totals.h"
#include "du_listing.h"
#include "external_sort.h"
#include "first_links.h"
#include "ncdu_export.h"
#include "path_identity.h"
#include "path_order.h"
#include "qdirstat_cache.h"
#include "sorted_tree.h"
#include "temporary_file.h"
#include "tree_row.h"
#include "treemap_svg.h"
#include "treemap_tree.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const char order_stops[] = "--sorted --latest: the report stops at the row above";

// The memory of the rows held for --sorted --ncdu and --qdirstat, beyond
// which they go to temporary files.
constexpr std::size_t held_rows_buffer = std::size_t{4} << 20;

// Path order cannot follow a hard-linked file whose first link a later row
// makes a directory: its bytes would count nowhere.
const char link_lost[] =
    "a hard-linked file's first link in path order is a directory in a later row, and its "
    "other links went by before: which of them its bytes belong to, a tree read in path order "
    "cannot tell";

// Takes the rows of the tree modes through the one tree engine, in path
// order: as they come (--sorted), or sorted first, in memory up to the
// buffer and in runs on disk beyond it. Only the directories open above the
// current row are held, and --du lists each as it closes.
class SortedTreeWriter : public RowWriter, ClosedDirectoryVisitor {
public:
    // `merges_links`: each hard-linked file counts once, as du counts it;
    // ncdu and QDirStat, given entries, count each link themselves.
    SortedTreeWriter(const TreeScope& scope, const TreeSort& sort, bool lists_directories,
                     int max_levels, SortedEntryVisitor* entries = nullptr,
                     bool merges_links = true)
        : scope_(scope), lists_directories_(lists_directories), max_levels_(max_levels),
          entries_(entries), merges_links_(merges_links), presorted_(sort.presorted)
    {
        // Entries are written from the job's top, which rows in path order
        // give only at their end: they are held until then, in a buffer of
        // their own or in temporary files, in the order they came.
        if (!sort.presorted || entries != nullptr) {
            budget_ =
                sort.presorted ? std::min(sort.buffer_size, held_rows_buffer) : sort.buffer_size;
            sort_ = std::make_unique<ExternalSort>(budget_, sort.directory, sort.presorted);
        }
        restart(entries);
    }

    void set_reporter(RefusalReporter* reporter) final { reporter_ = reporter; }

    void start_input() final { ++input_; }

    bool take(CatalogLine& line) final
    {
        if (!line.is_entry() || stopped_) {
            return true;
        }
        const std::uint32_t tally = line.selected ? tally_of(line) : no_tally;
        const TreeRow row = tree_row(line, input_ - 1, tally);
        if (sort_ != nullptr) {
            any_row_ = true;
            if (line.selected) {
                const std::int64_t* const v = line.fields.values;
                constexpr unsigned block_bytes = 512;
                bound_ += scope_.disk_usage ? static_cast<ByteSum>(v[field_blocks]) * block_bytes
                                            : static_cast<ByteSum>(v[field_size]);
                blocks_bound_ += static_cast<ByteSum>(v[field_blocks]) * block_bytes;
                linked_rows_ += v[field_nlink] > 1 ? 1 : 0;
            }
            path_order_key(line, key_);
            note_top_row(line);
        }
        // A directory's row without its '/' waits for its place in path
        // order, where rows as the catalog sorts them put it early.
        if (presorted_ && (lacks_slash(line) || !slashless_.empty())) {
            path_order_key(line, key_);
            if (lacks_slash(line)) {
                encode_tree_row(row, key_, payload_);
                slashless_.hold(key_, payload_);
                notice(line);
                return true;
            }
            release_slashless(key_, false);
        }
        if (sort_ == nullptr) {
            const Placement placement = add_sorted_row(tree_, row, *this);
            if (placement.verdict != Verdict::row) {
                line.verdict = placement.verdict;
                line.other_line = placement.other_line;
                stopped_ = placement.verdict == Verdict::order_unknown;
                return false;
            }
        } else {
            encode_tree_row(row, key_, payload_);
            if (!sort_->add(key_, payload_)) {
                stopped_ = true;
            }
        }
        notice(line);
        return true;
    }

    Ending finish() final
    {
        release_slashless({}, true);
        if (stopped_ && sort_ != nullptr) {
            return {temporary_file_trouble("write", sort_->directory(), sort_->error()), false};
        }
        if (stopped_) {
            return {order_stops, false};
        }
        if (sort_ != nullptr) {
            if (!any_row_) {
                return {"no rows: nothing to total", false};
            }
            return replay_all();
        }
        if (!tree_.any_row) {
            return {"no rows: nothing to total", false};
        }
        finish_sorted_tree(tree_, *this);
        return ending();
    }

private:
    // The sorted rows through the engine, as often as it takes: a report
    // written as the rows go by is not begun where a total might be refused
    // at the end, so such rows are totalled once quietly first; and where a
    // hard-linked file's first link was taken out, the rows are totalled
    // again with the rows taken out claiming no inode.
    // Notes what tells the top before the rows are read again: the bytes
    // that every key starts with, and the shortest key of a directory's row
    // that counts.
    void note_top_row(const CatalogLine& line)
    {
        if (!any_key_) {
            first_key_ = key_;
            shared_ = key_.size();
            any_key_ = true;
        } else {
            shared_ = static_cast<std::size_t>(
                std::mismatch(first_key_.begin(),
                              first_key_.begin() +
                                  static_cast<std::ptrdiff_t>(std::min(shared_, key_.size())),
                              key_.begin())
                    .first -
                first_key_.begin());
        }
        if (line.selected && !key_.empty() && key_.back() == '/' &&
            (top_key_length_ == 0 || key_.size() < top_key_length_)) {
            top_key_length_ = key_.size();
        }
    }

    // Where one directory's row that counts holds every row, that is the
    // top, and nothing that the first reading finds can go wrong: its
    // depth, or 0 where the rows must be read once to find out.
    std::uint32_t top_known_ahead() const
    {
        const bool holds_every_row = top_key_length_ > 0 && top_key_length_ == shared_;
        const bool fits = bound_ <= static_cast<ByteSum>(INT64_MAX) &&
                          blocks_bound_ <= static_cast<ByteSum>(INT64_MAX);
        if (!holds_every_row || !fits || scope_.versions != Versions::first ||
            !scope_.top_path.empty()) {
            return 0;
        }
        const std::string_view top(first_key_.data(), shared_);
        return static_cast<std::uint32_t>(std::count(top.begin(), top.end(), '/'));
    }

    Ending replay_all()
    {
        if (entries_ != nullptr && keeps_entries()) {
            // Entries kept until the end: from the root, the top found as
            // the rows are read; read again where a link was lost.
            for (bool again = false;; again = true) {
                restart(entries_);
                forget_entries();
                replay();
                if (!read_failure().empty()) {
                    return {read_failure(), false};
                }
                finish_sorted_tree(tree_, *this);
                if (!tree_.link_lost || again || order_unknown_) {
                    return order_unknown_ ? Ending{order_stops, false} : ending();
                }
                reporter_ = nullptr; // each refusal is reported once
                doom_taken_links();
            }
        }
        if (entries_ != nullptr && top_known_ahead() > 0) {
            restart(entries_);
            tree_.entry_top = top_known_ahead();
            replay();
            if (!read_failure().empty()) {
                return {read_failure(), false};
            }
            finish_sorted_tree(tree_, *this);
            return ending();
        }
        if (entries_ != nullptr) {
            // The entries are written from the job's own top: found first.
            restart(nullptr);
            if (!replay_quietly()) {
                return {read_failure(), false};
            }
            if (tree_.link_lost && !order_unknown_) {
                redo_without_taken_links(nullptr);
                if (!replay_quietly()) {
                    return {read_failure(), false};
                }
            }
            if (order_unknown_ || tree_.too_large || tree_.link_lost || tree_.counted_rows == 0) {
                return order_unknown_ ? Ending{order_stops, false} : ending();
            }
            const std::uint32_t top = tree_.top_depth;
            const bool absolute = tree_.every_path_absolute;
            reporter_ = nullptr; // each refusal is reported once
            restart(entries_);
            tree_.entry_top = top;
            tree_.tops_absolute = absolute;
            replay();
            if (!read_failure().empty()) {
                return {read_failure(), false};
            }
            finish_sorted_tree(tree_, *this);
            return ending();
        }
        if (!settle_links()) {
            return {read_failure(), false};
        }
        bool quiet = lists_directories_ && (bound_ > static_cast<ByteSum>(INT64_MAX) ||
                                            scope_.versions != Versions::first ||
                                            (links_ != nullptr && links_->may_be_taken_out()));
        for (bool again = false;; again = true) {
            quiet_ = quiet;
            replay();
            if (!read_failure().empty()) {
                return {read_failure(), false};
            }
            finish_sorted_tree(tree_, *this);
            quiet_ = false;
            const bool lost_once = tree_.link_lost && !again;
            if (!lost_once &&
                (!quiet || tree_.too_large || tree_.link_lost || tree_.counted_rows == 0)) {
                return ending();
            }
            quiet = quiet && lost_once; // once more quietly, to see that it holds now
            reporter_ = nullptr;        // each refusal is reported once
            redo_without_taken_links(entries_);
        }
    }

    // Starts over, with the rows of hard-linked files that later rows took
    // out claiming no inode.
    void redo_without_taken_links(SortedEntryVisitor* entries)
    {
        doom_taken_links();
        restart(entries);
    }

    void doom_taken_links()
    {
        doomed_.insert(doomed_.end(), tree_.taken_links.begin(), tree_.taken_links.end());
        links_.reset();
    }

    // Which link of each inode counts, settled over the rows held, once for
    // each set of rows doomed: false if a temporary file failed.
    bool settle_links()
    {
        if (!links_merged() || linked_rows_ == 0) {
            return true;
        }
        if (links_ != nullptr) {
            links_->rewind();
            return links_->error() == 0;
        }
        // The rows held in memory leave the rest of the budget to the
        // links' sorts, or go to disk where too little is left.
        std::size_t left = budget_ - std::min(budget_, sort_->memory_used());
        if (left < budget_ / 4) {
            spilled_late_ = true;
            if (!sort_->spill_memory()) {
                return false;
            }
            left = budget_;
        }
        links_ = std::make_unique<FirstLinks>(left, sort_->directory());
        return links_->settle(*sort_, doomed_);
    }

    bool links_merged() const { return merges_links_ && links_merge(scope_.versions); }

    // The directory rows held for lack of a '/' whose place comes before the
    // row of `next_key`, or at the end all of them, to the engine or to the
    // rows held.
    void release_slashless(std::string_view next_key, bool at_end)
    {
        std::string key;
        std::string payload;
        while (!stopped_ && slashless_.next_before(next_key, at_end, key, payload)) {
            if (sort_ != nullptr) {
                stopped_ = !sort_->add(key, payload);
                continue;
            }
            TreeRow row{};
            decode_tree_row(key, payload, row);
            const Placement placement = add_sorted_row(tree_, row, *this);
            if (placement.verdict != Verdict::row && reporter_ != nullptr) {
                CatalogLine line{};
                line.number = row.line;
                line.verdict = placement.verdict;
                line.other_line = placement.other_line;
                reporter_->refused(row.input, line);
            }
            stopped_ = placement.verdict == Verdict::order_unknown;
        }
    }

    // A tree that writes `entries`, or none, for the rows that come.
    void restart(SortedEntryVisitor* entries)
    {
        start_sorted_tree(tree_, scope_, lists_directories_, max_levels_, entries);
        tree_.order_known = !presorted_;
        tree_.merges_links = merges_links_;
        tree_.sums_blocks = !merges_links_;
    }

    // The rows through the engine, listing nothing: false if a run could
    // not be read.
    bool replay_quietly()
    {
        quiet_ = true;
        replay();
        if (read_failure().empty()) {
            finish_sorted_tree(tree_, *this);
        }
        quiet_ = false;
        return read_failure().empty();
    }

    std::string read_failure() const
    {
        // The links' sorts and the rows' last run are written as they are read.
        if (links_ != nullptr && links_->error() != 0) {
            return temporary_file_trouble("write", sort_->directory(), links_->error());
        }
        if (sort_ != nullptr && sort_->error() != 0) {
            return temporary_file_trouble(spilled_late_ ? "write" : "read", sort_->directory(),
                                          sort_->error());
        }
        return {};
    }

    // The rows, sorted, through the engine.
    void replay()
    {
        if (!settle_links()) {
            return;
        }
        sort_->rewind();
        std::string_view key;
        std::string_view payload;
        TreeRow row{};
        while (sort_->next(key, payload)) {
            decode_tree_row(key, payload, row);
            if (links_ != nullptr) {
                row.link = links_->claim(row);
            }
            const Placement placement = add_sorted_row(tree_, row, *this);
            if (placement.verdict == Verdict::order_unknown) {
                order_unknown_ = true;
            }
            if (placement.verdict != Verdict::row && reporter_ != nullptr) {
                const std::uint64_t order =
                    placement.refused_order != 0 ? placement.refused_order : row.order;
                CatalogLine line{};
                line.number = line_of_order(order);
                line.verdict = placement.verdict;
                line.other_line = placement.other_line;
                reporter_->refused(input_of_order(order), line);
            }
            if (order_unknown_) {
                return;
            }
        }
    }

    Ending ending()
    {
        if (tree_.counted_rows == 0) {
            return {"no rows selected: nothing to total", false};
        }
        if (tree_.too_large && sort_ == nullptr && lists_directories_) {
            // What --sorted --du listed as the rows went by stays listed.
            return {std::string(total_passes) + "; the listing stops here", false};
        }
        if (tree_.too_large) {
            return {total_passes, false};
        }
        if (tree_.link_lost) {
            return {link_lost, false};
        }
        write_ending(tree_.tallies);
        return {shortfall(), false, false, note()};
    }

protected:
    const SortedTree& tree() const { return tree_; }

private:
    void closed(const ClosedDirectory& directory) final
    {
        if (!quiet_) {
            list(directory);
        }
    }

    // Whether the report keeps its entries to the end, so that the rows can
    // be read once from the root, not from the top.
    virtual bool keeps_entries() const { return false; }
    // Forgets the entries kept, for another reading.
    virtual void forget_entries() {}
    virtual std::uint32_t tally_of(const CatalogLine& /*line*/) { return no_tally; }
    // What the report writes once every row is in: --by's totals.
    virtual void write_ending(const std::vector<Tally>& /*tallies*/) {}
    // Notes what the report needs to know of a row that the tree took.
    virtual void notice(const CatalogLine& /*line*/) {}
    virtual std::string shortfall() const { return {}; }
    virtual std::string note() const { return {}; }
    virtual void list(const ClosedDirectory& /*directory*/) {}

    SortedTree tree_;
    TreeScope scope_;
    bool lists_directories_;
    int max_levels_;
    SortedEntryVisitor* entries_;
    bool merges_links_;
    bool presorted_;                     // the rows come in path order (--sorted)
    std::unique_ptr<ExternalSort> sort_; // unless they come in path order and go straight through
    std::size_t budget_ = 0;             // of sort_ and links_
    std::unique_ptr<FirstLinks> links_;  // of the rows that sort_ holds, once settled
    bool spilled_late_ = false;          // sort_'s memory, for links_
    RefusalReporter* reporter_ = nullptr;
    SlashlessDirectories slashless_;
    // The rows of hard-linked files that later rows took out, which claim no
    // inode when the rows are read again.
    std::vector<std::uint64_t> doomed_;
    std::uint32_t input_ = 0; // inputs begun
    std::string key_;
    std::string payload_;
    ByteSum bound_ = 0;           // of the bytes of the rows that count: no total passes it
    std::size_t linked_rows_ = 0; // that count, of more than one link
    ByteSum blocks_bound_ = 0;    // of their disk usage, which ncdu and QDirStat sum
    std::string first_key_;       // in path order (see path_order.h), of the first row
    bool any_key_ = false;
    std::size_t shared_ = 0;         // bytes that every row's key starts with
    std::size_t top_key_length_ = 0; // of the shortest key of a directory's row that counts
    bool any_row_ = false;
    bool quiet_ = false;         // totalling once to find out, writing nothing
    bool order_unknown_ = false; // a held row that path order cannot place
    bool stopped_ = false;       // by a row that the order cannot place, or a failed write
};

// A QDirStat cache file, each entry as its row goes by.
class SortedQdirstatWriter final : public SortedTreeWriter, SortedEntryVisitor {
public:
    SortedQdirstatWriter(OutputBuffer& out, const TreeScope& scope, const TreeSort& sort,
                         const char* version)
        : SortedTreeWriter(scope, sort, false, -1, this, false), lines_(out, scope.versions),
          version_(version)
    {
    }

private:
    void open_root(std::string_view name) override
    {
        lines_.header(version_);
        lines_.set_root(name);
        ++depth_;
        lines_.directory({}, nullptr, false);
    }

    void open_directory(std::string_view path, const EntryAttributes* own, bool counts) override
    {
        if (depth_++ == 0) {
            lines_.header(version_);
        }
        if (left_out_at_ == 0 && !lines_.directory(path, own, counts)) {
            omissions_.note(path_without_slash(path), {});
            left_out_at_ = depth_; // and all below it
        }
    }

    void file(std::string_view path, const EntryAttributes& attributes, bool /*counted*/) override
    {
        const std::size_t slash = path.rfind('/');
        if (left_out_at_ == 0 &&
            !lines_.file(path.substr(0, slash + 1), path.substr(slash + 1), attributes)) {
            omissions_.note(path.substr(0, slash + 1), path.substr(slash + 1));
        }
    }

    void close_directory() override
    {
        if (depth_-- == left_out_at_) {
            left_out_at_ = 0;
        }
    }

    std::string shortfall() const override { return omission_message(omissions_); }

    QdirstatLines lines_;
    const char* version_;
    CacheOmissions omissions_;
    std::uint32_t depth_ = 0;       // of the directory open
    std::uint32_t left_out_at_ = 0; // the depth of the directory left out, or 0
};

// ncdu's export, each entry as its row goes by: ncdu sorts the entries of a
// directory itself.
class SortedNcduWriter final : public SortedTreeWriter, SortedEntryVisitor {
public:
    SortedNcduWriter(OutputBuffer& out, const TreeScope& scope, const TreeSort& sort,
                     const char* version)
        : SortedTreeWriter(scope, sort, false, -1, this, false), out_(out), version_(version),
          versions_(scope.versions)
    {
    }

private:
    void notice(const CatalogLine& line) override { omissions_.check(line); }

    std::string note() const override { return omissions_.message(); }

    void open_root(std::string_view name) override
    {
        write_ncdu_header(out_, version_, std::time(nullptr));
        output_char(out_, '[');
        write_ncdu_entry(out_, name, nullptr, false, false, versions_, buffer_);
        frames_.push_back({});
    }

    void open_directory(std::string_view path, const EntryAttributes* row, bool counts) override
    {
        EntryAttributes shown{};
        const EntryAttributes* const own =
            row != nullptr ? &with_exported_device(*row, shown) : row;
        Frame frame{};
        if (frames_.empty()) {
            write_ncdu_header(out_, version_, std::time(nullptr));
            output_char(out_, '[');
            write_ncdu_entry(out_, path_without_slash(path), own, own != nullptr, counts, versions_,
                             buffer_);
        } else {
            frame = frames_.back();
            output_text(out_, ",\n[");
            write_ncdu_entry(out_, last_component(path), own,
                             own != nullptr && (!frame.has_dev || own->dev != frame.dev), counts,
                             versions_, buffer_);
        }
        if (own != nullptr) {
            frame = {true, own->dev};
        }
        frames_.push_back(frame);
    }

    void file(std::string_view path, const EntryAttributes& attributes, bool /*counted*/) override
    {
        output_text(out_, ",\n");
        write_ncdu_entry(out_, path.substr(path.rfind('/') + 1), &attributes, false, true,
                         versions_, buffer_);
    }

    void close_directory() override
    {
        frames_.pop_back();
        output_text(out_, frames_.empty() ? "]]\n" : "]");
    }

    // ncdu knows an inode by its device and inode numbers: where the rows
    // are several machines', whose cloned disks may share both, each
    // machine's device gets a number of its own, from 1 in the order met.
    const EntryAttributes& with_exported_device(const EntryAttributes& row, EntryAttributes& shown)
    {
        if (row.host == 0) {
            return row;
        }
        shown = row;
        const auto [device, added] = devices_.try_emplace(
            std::array<std::int64_t, 3>{row.host, row.dev, 0}, devices_.size() + 1);
        (void)added;
        shown.dev = static_cast<std::int64_t>(device->second);
        return shown;
    }

    struct Frame {
        bool has_dev; // the device of the nearest directory with a row
        std::int64_t dev;
    };
    KeyedMap<std::array<std::int64_t, 3>, std::uint64_t> devices_; // with several machines
    OutputBuffer& out_;
    const char* version_;
    Versions versions_;
    std::vector<Frame> frames_;
    std::string buffer_;
    NcduOmissions omissions_;
};

// The treemap, drawn once the tree it draws is whole: built from the root
// above every path, and drawn from the top that the rows gave.
class TreemapWriter final : public SortedTreeWriter {
public:
    TreemapWriter(OutputBuffer& out, const TreeScope& scope, const TreeSort& sort, int width,
                  int height)
        : SortedTreeWriter(scope, sort, false, -1, &builder_), out_(out),
          builder_(drawn_, least_drawn_share(width, height)), width_(width), height_(height)
    {
        drawn_.disk_usage = scope.disk_usage;
    }

private:
    bool keeps_entries() const override { return true; }

    void forget_entries() override { builder_.reset(); }

    void write_ending(const std::vector<Tally>& /*tallies*/) override
    {
        set_top(drawn_, tree().top_depth, root_above_tops(tree().every_path_absolute));
        write_treemap(out_, drawn_, width_, height_);
    }

    OutputBuffer& out_;
    TreemapTree drawn_;
    TreemapBuilder builder_;
    int width_;
    int height_;
};

class SortedDuWriter final : public SortedTreeWriter {
public:
    SortedDuWriter(OutputBuffer& out, const TreeScope& scope, const TreeSort& sort, int max_depth,
                   bool human_sizes, bool json)
        : SortedTreeWriter(scope, sort, true, max_depth), out_(out), human_sizes_(human_sizes),
          json_(json)
    {
    }

private:
    void list(const ClosedDirectory& directory) override
    {
        if (json_) {
            write_du_json_entry(out_, directory, json_state_);
        } else if (directory.file) {
            write_du_path_line(out_, directory.total, directory.path, human_sizes_);
        } else {
            write_du_line(out_, directory.total, directory.path, human_sizes_);
        }
    }

    void write_ending(const std::vector<Tally>& /*tallies*/) override
    {
        if (json_) {
            write_du_json_end(out_, json_state_);
        }
    }

    OutputBuffer& out_;
    bool human_sizes_;
    bool json_;
    DuJsonState json_state_;
};

class SortedByWriter final : public SortedTreeWriter {
public:
    SortedByWriter(OutputBuffer& out, const TreeScope& scope, const TreeSort& sort,
                   std::vector<ByKey> keys, const ByStyle& style)
        : SortedTreeWriter(scope, sort, false, -1), out_(out), classes_(std::move(keys)),
          style_(style)
    {
    }

private:
    std::uint32_t tally_of(const CatalogLine& line) override { return classes_.class_of(line); }
    void write_ending(const std::vector<Tally>& tallies) override
    {
        classes_.write(out_, tallies, style_);
    }

    OutputBuffer& out_;
    ClassTable classes_;
    ByStyle style_;
};

} // namespace

std::unique_ptr<RowWriter> make_sorted_du_writer(OutputBuffer& out, const TreeScope& scope,
                                                 const TreeSort& sort, int max_depth,
                                                 bool human_sizes, bool json)
{
    return std::make_unique<SortedDuWriter>(out, scope, sort, max_depth, human_sizes, json);
}

std::unique_ptr<RowWriter> make_sorted_ncdu_writer(OutputBuffer& out, const TreeScope& scope,
                                                   const TreeSort& sort, const char* version)
{
    return std::make_unique<SortedNcduWriter>(out, scope, sort, version);
}

std::unique_ptr<RowWriter> make_sorted_qdirstat_writer(OutputBuffer& out, const TreeScope& scope,
                                                       const TreeSort& sort, const char* version)
{
    return std::make_unique<SortedQdirstatWriter>(out, scope, sort, version);
}

std::unique_ptr<RowWriter> make_treemap_writer(OutputBuffer& out, const TreeScope& scope,
                                               const TreeSort& sort, int width, int height)
{
    return std::make_unique<TreemapWriter>(out, scope, sort, width, height);
}

std::unique_ptr<RowWriter> make_sorted_by_writer(OutputBuffer& out, const TreeScope& scope,
                                                 const TreeSort& sort, std::vector<ByKey> keys,
                                                 const ByStyle& style)
{
    return std::make_unique<SortedByWriter>(out, scope, sort, std::move(keys), style);
}
