// Which jobs --client and --chain choose among a client's backups: the
// jobs a restore of its latest state (or of an earlier one, with --before)
// would use, whatever order the catalog returns them in.
#include "job_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A backup of client c: "F1T" is a Full, JobId 1, JobStatus T; JobTDate
// and StartTime follow the JobId unless `time` is given.
JobRecord job(const std::string& code, const std::string& fileset = "Set", std::int64_t time = 0)
{
    JobRecord record;
    record.level = code.substr(0, 1);
    record.status = code.substr(code.size() - 1);
    record.id = std::stoll(code.substr(1, code.size() - 2));
    record.time = time != 0 ? time : 1000 + record.id;
    record.type = "B";
    record.client = "c";
    record.fileset = fileset;
    record.start_time = "2026-01-" + std::to_string(10 + record.time % 20) + " 00:00:00";
    return record;
}

std::string ids(const std::vector<JobRecord>& jobs)
{
    std::string text;
    for (const JobRecord& record : jobs) {
        text += (text.empty() ? "" : ",") + std::to_string(record.id);
    }
    return text;
}

TEST(JobSelection, ChoosesTheJobsARestoreUses)
{
    const struct {
        const char* what;
        std::vector<JobRecord> backups;
        ClientRequest request;
        const char* chosen;  // JobIds, or "error"
        const char* running; // JobIds named as running
    } cases[] = {
        {"Full, last Differential, Incrementals after it",
         {job("F1T"), job("I2T"), job("D3T"), job("I4E"), job("D5W"), job("I6W"), job("I7R")},
         {{"c"}, true, "", ""},
         "1,5,6",
         "7"},
        {"the last good Full starts the chain",
         {job("F1T"), job("I2T"), job("F3T"), job("F4E"), job("I5T")},
         {{"c"}, true, "", ""},
         "3,5",
         ""},
        {"no Differential: the Incrementals after the Full",
         {job("I3T"), job("F2T"), job("I4T")},
         {{"c"}, true, "", ""},
         "2,3,4",
         ""},
        {"job order is JobTDate's, then JobId's",
         {job("I5T", "Set", 1003), job("F9T", "Set", 1002), job("I4T", "Set", 1003)},
         {{"c"}, true, "", ""},
         "9,4,5",
         ""},
        {"--before: an earlier state",
         {job("F1T"), job("I2T"), job("F3T"), job("I4T")},
         {{"c"}, true, "2026-01-13 00:00:00", ""},
         "1,2",
         ""},
        {"without --chain, every good job",
         {job("F1T"), job("I2E"), job("D3W"), job("I4R")},
         {{"c"}, false, "", ""},
         "1,3",
         "4"},
        {"--fileset among two",
         {job("F1T", "Home"), job("F2T", "Etc"), job("I3T", "Home")},
         {{"c"}, true, "", "Home"},
         "1,3",
         ""},
        {"two FileSets and no --fileset",
         {job("F1T", "Home"), job("F2T", "Etc")},
         {{"c"}, true, "", ""},
         "error",
         ""},
        {"no good Full", {job("F1E"), job("I2T")}, {{"c"}, true, "", ""}, "error", ""},
        {"a client with no backup", {job("F1T")}, {{"d"}, false, "", ""}, "error", ""},
    };
    for (const auto& each : cases) {
        std::vector<JobRecord> chosen;
        std::vector<JobRecord> running;
        std::string error;
        const bool found = choose_client_jobs(each.backups, each.request, chosen, running, error);
        EXPECT_EQ(found ? ids(chosen) : "error", each.chosen) << each.what << ": " << error;
        EXPECT_EQ(found ? ids(running) : "", each.running) << each.what;
        EXPECT_EQ(found, error.empty()) << each.what;
    }
}

TEST(JobSelection, RefusesJobsWhoseRowsCannotBeRead)
{
    JobRecord restore = job("F1T");
    restore.type = "R";
    JobRecord pruned = job("I2T");
    pruned.purged_files = 1;
    std::string error;
    EXPECT_TRUE(readable_jobs({job("F3T"), job("I4T")}, error));
    EXPECT_FALSE(readable_jobs({job("F3T"), restore}, error));
    EXPECT_FALSE(readable_jobs({job("F3T"), pruned}, error));
}

} // namespace

namespace {

JobRecord of_client(std::int64_t id, const std::string& name)
{
    JobRecord record = job("F" + std::to_string(id) + "T");
    record.client_id = id;
    record.client = name;
    return record;
}

TEST(JobSelection, GivesEachClientATopOfItsOwnWhereSeveral)
{
    const ClientTops one = client_tops({of_client(7, "a"), of_client(7, "a")});
    EXPECT_EQ(one.host_of(of_client(7, "a")), 0U);
    const ClientTops three = client_tops({of_client(9, "c"), of_client(3, "a"), of_client(5, "b")});
    EXPECT_EQ(three.host_of(of_client(3, "a")), 1U);
    EXPECT_EQ(three.host_of(of_client(9, "c")), 3U);
    std::string error;
    EXPECT_TRUE(usable_tops({of_client(1, "")}, error)); // one client needs no top
    EXPECT_TRUE(usable_tops({of_client(1, "a"), of_client(2, "win-fd")}, error));
    for (const char* name : {"", ".", "..", "x/y"}) {
        EXPECT_FALSE(usable_tops({of_client(1, "a"), of_client(2, name)}, error)) << name;
    }
    EXPECT_FALSE(usable_tops({of_client(1, "a"), of_client(2, "a")}, error));
}

} // namespace
