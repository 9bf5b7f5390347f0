// The rows of a selection read on a thread of their own: every row, in job
// order, as COPY would print it, each client's under its top; and a reader
// stopped early ends. Run under ThreadSanitizer by the tsan preset.
#include "line_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A catalog whose jobs each hold `rows` files, named after their job and
// place, then a deleted directory's record.
class FakeCatalog final : public CatalogReader {
public:
    explicit FakeCatalog(int rows) : rows_(rows) {}

    bool read_rows(const JobRecord& job, CatalogRowSink& sink) override
    {
        for (int place = 0; place < rows_; ++place) {
            const std::string name = std::to_string(job.id) + "\t" + std::to_string(place);
            if (!sink.row({"/d/", name, "A B C D E F G H I J K L M", 1})) {
                return true;
            }
        }
        sink.row({"/gone/", "", "A B C D E F G H I J K L M", 0});
        return true;
    }

private:
    bool read_jobs(std::int64_t /*id*/, std::vector<JobRecord>& /*jobs*/) override { return true; }

    int rows_;
};

JobRecord job(std::int64_t id, std::int64_t client)
{
    JobRecord record;
    record.id = id;
    record.client_id = client;
    record.client = "c" + std::to_string(client);
    return record;
}

TEST(Threads, LineStreamGivesEveryRowInJobOrder)
{
    constexpr int rows = 30000; // several batches a job
    FakeCatalog catalog(rows);
    for (const std::int64_t second_client : {1, 2}) {
        const std::vector<JobRecord> jobs = {job(7, 1), job(8, second_client)};
        LineStream stream(catalog, jobs);
        std::vector<std::string> lines;
        std::vector<bool> deleted;
        std::vector<std::uint32_t> hosts;
        for (const LineBatch* batch; (batch = stream.next()) != nullptr;) {
            for (const StreamedRow& row : batch->rows) {
                ASSERT_EQ(batch->text[row.offset + row.length], '\0');
                lines.emplace_back(batch->text, row.offset, row.length);
                deleted.push_back(row.origin.deleted);
                hosts.push_back(row.origin.host);
            }
        }
        stream.stop();
        EXPECT_TRUE(stream.error().empty());
        ASSERT_EQ(lines.size(), 2U * (rows + 1));
        const bool several = second_client != 1;
        const std::string lstat = "\tA B C D E F G H I J K L M";
        EXPECT_EQ(lines[0], (several ? "c1" : "") + std::string("/d/7\\t0") + lstat);
        EXPECT_EQ(lines[rows - 1], (several ? "c1" : "") + std::string("/d/7\\t29999") + lstat);
        EXPECT_EQ(lines[rows], (several ? "c1" : "") + std::string("/gone") + lstat);
        EXPECT_TRUE(deleted[rows]);
        EXPECT_FALSE(deleted[rows + 1]);
        EXPECT_EQ(lines[rows + 1], (several ? "c2" : "") + std::string("/d/8\\t0") + lstat);
        EXPECT_EQ(hosts.back(), several ? 2U : 0U);
    }
}

TEST(Threads, LineStreamStoppedEarlyEnds)
{
    FakeCatalog catalog(200000);
    const std::vector<JobRecord> jobs = {job(1, 1), job(2, 1), job(3, 1)};
    LineStream stream(catalog, jobs);
    ASSERT_NE(stream.next(), nullptr);
    // Leaving the stream here stops the reading thread.
}

} // namespace
