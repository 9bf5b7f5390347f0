// Which jobs of a catalog a run reads: those that --job names, or a
// client's, and among a client's the ones a restore of its latest state
// uses (--chain). What the catalog holds of each job comes in as text and
// is chosen here, not in SQL, so that a name given on the command line is
// never part of a query's text.
#ifndef B64NUM_JOB_SELECTION_H
#define B64NUM_JOB_SELECTION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A row of Job, with its client's and its FileSet's names.
struct JobRecord {
    std::int64_t id = 0;
    std::int64_t time = 0; // JobTDate: jobs come in this order, then by JobId
    std::string type;      // 'B' for a backup
    std::string level;     // 'F', 'D' or 'I'
    std::string status;    // 'T' for a good job, 'W' for one with warnings, 'R' running
    std::int64_t purged_files = 0;
    std::int64_t client_id = 0;
    std::string client;     // Client.Name
    std::string fileset;    // FileSet.FileSet
    std::string start_time; // StartTime, "YYYY-MM-DD HH:MM:SS" in the director's local time
    std::int64_t files = 0; // JobFiles
    std::int64_t bytes = 0; // JobBytes
};

// The columns of a job's row, as job_query() selects them, NULL as empty.
constexpr std::size_t job_columns = 12;
JobRecord job_record(const std::string_view (&columns)[job_columns]);

bool in_job_order(const JobRecord& a, const JobRecord& b);

// Whether a job ended well (JobStatus 'T', or 'W' with warnings), and
// whether it is running or waiting to (its rows are not all written).
bool is_good(const JobRecord& job);
bool is_running(const JobRecord& job);

// What the command line asks for, beside --job.
struct ClientRequest {
    std::vector<std::string> clients; // --client
    bool chain = false;               // --chain
    std::string before;               // --before, as a StartTime reads; empty for none
    std::string fileset;              // --fileset; empty for any
};

// The jobs of `request` among `backups` (the catalog's backup jobs, in any
// order), in job order, client by client: a client's good jobs (JobStatus
// 'T' or 'W'), or with --chain the last good Full, the last good
// Differential after it and the good Incrementals after those. Jobs still
// running that would otherwise be chosen go to `running`. False, with
// `error`, where a client has no such job, or backs up several FileSets
// and --fileset does not say which.
bool choose_client_jobs(const std::vector<JobRecord>& backups, const ClientRequest& request,
                        std::vector<JobRecord>& chosen, std::vector<JobRecord>& running,
                        std::string& error);

// Whether the rows of `jobs` can be read as one selection: false, with
// `error`, where one is no backup or had its file records pruned.
bool readable_jobs(const std::vector<JobRecord>& jobs, std::string& error);

// Where the rows of a selection go: with one client's jobs, at their paths;
// with several clients', each client's files under a top named after it,
// its inodes known as its own (cloned machines share device and inode
// numbers), by a number for each client from 1.
struct ClientTops {
    std::vector<std::int64_t> clients; // their ClientIds, sorted, where several
    // The number of the job's client, or 0 where the selection is one client's.
    std::uint32_t host_of(const JobRecord& job) const;
};
ClientTops client_tops(const std::vector<JobRecord>& jobs);

// Whether the names of the clients of `jobs`, where several, can name tops:
// false, with `error`, where one is empty, ".", "..", holds a '/', or is
// two clients' name.
bool usable_tops(const std::vector<JobRecord>& jobs, std::string& error);

#endif
