#include "job_selection.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

namespace {

std::int64_t number(std::string_view text)
{
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// CHAR(1) columns come back padded in some engines.
std::string trimmed(std::string_view text)
{
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string quoted(const std::string& name)
{
    return "'" + name + "'";
}

// The chosen jobs of one client, whose backups are `jobs`, in job order.
bool choose_of_client(const std::vector<JobRecord>& jobs, const ClientRequest& request,
                      std::vector<JobRecord>& chosen, std::vector<JobRecord>& running,
                      std::string& error)
{
    const std::string& client = jobs.front().client;
    std::set<std::string> filesets;
    for (const JobRecord& job : jobs) {
        if (is_good(job)) {
            filesets.insert(job.fileset);
        }
    }
    if (filesets.size() > 1) {
        std::string names;
        for (const std::string& fileset : filesets) {
            names += (names.empty() ? "" : ", ") + quoted(fileset);
        }
        error = "client " + quoted(client) + " backs up several FileSets (" + names +
                "): say which with --fileset";
        return false;
    }
    std::size_t from = 0; // the first job that may be chosen
    if (request.chain) {
        const auto last_of = [&jobs](std::size_t start, const char* level) {
            std::size_t found = jobs.size();
            for (std::size_t at = start; at < jobs.size(); ++at) {
                if (is_good(jobs[at]) && jobs[at].level == level) {
                    found = at;
                }
            }
            return found;
        };
        const std::size_t full = last_of(0, "F");
        if (full == jobs.size()) {
            error = "client " + quoted(client) + " has no good Full backup" +
                    (request.before.empty() ? "" : " started before " + request.before) +
                    (request.fileset.empty() ? "" : " of FileSet " + quoted(request.fileset)) +
                    ": no chain to restore";
            return false;
        }
        chosen.push_back(jobs[full]);
        const std::size_t differential = last_of(full + 1, "D");
        if (differential != jobs.size()) {
            chosen.push_back(jobs[differential]);
        }
        from = differential != jobs.size() ? differential + 1 : full + 1;
        for (std::size_t at = full + 1; at < jobs.size(); ++at) {
            if (is_running(jobs[at])) {
                running.push_back(jobs[at]);
            }
        }
    }
    for (std::size_t at = from; at < jobs.size(); ++at) {
        const JobRecord& job = jobs[at];
        if (request.chain ? is_good(job) && job.level == "I" : is_good(job)) {
            chosen.push_back(job);
        } else if (!request.chain && is_running(job)) {
            running.push_back(job);
        }
    }
    return true;
}

} // namespace

bool is_good(const JobRecord& job)
{
    return job.status == "T" || job.status == "W";
}

bool is_running(const JobRecord& job)
{
    return job.status == "R" || job.status == "C";
}

JobRecord job_record(const std::string_view (&columns)[job_columns])
{
    JobRecord job;
    job.id = number(columns[0]);
    job.time = number(columns[1]);
    job.type = trimmed(columns[2]);
    job.purged_files = number(columns[3]);
    job.client_id = number(columns[4]);
    job.level = trimmed(columns[5]);
    job.status = trimmed(columns[6]);
    job.start_time = std::string(columns[7]);
    job.files = number(columns[8]);
    job.bytes = number(columns[9]);
    job.client = std::string(columns[10]);
    job.fileset = std::string(columns[11]);
    return job;
}

bool in_job_order(const JobRecord& a, const JobRecord& b)
{
    return a.time != b.time ? a.time < b.time : a.id < b.id;
}

bool choose_client_jobs(const std::vector<JobRecord>& backups, const ClientRequest& request,
                        std::vector<JobRecord>& chosen, std::vector<JobRecord>& running,
                        std::string& error)
{
    chosen.clear();
    running.clear();
    for (const std::string& client : request.clients) {
        std::vector<JobRecord> jobs;
        bool known = false;
        for (const JobRecord& job : backups) {
            if (job.client != client || job.type != "B") {
                continue;
            }
            known = true;
            // StartTime as the catalog writes it: fixed-width, so that its
            // order as text is its order in time.
            if ((request.fileset.empty() || job.fileset == request.fileset) &&
                (request.before.empty() || job.start_time < request.before)) {
                jobs.push_back(job);
            }
        }
        if (!known) {
            error = "no backup of a client " + quoted(client) + " in the catalog";
            return false;
        }
        std::sort(jobs.begin(), jobs.end(), in_job_order);
        const std::size_t before = chosen.size();
        if (!jobs.empty() && !choose_of_client(jobs, request, chosen, running, error)) {
            return false;
        }
        if (chosen.size() == before) {
            error = "no good backup of client " + quoted(client) +
                    (request.before.empty() ? "" : " started before " + request.before) +
                    (request.fileset.empty() ? "" : " of FileSet " + quoted(request.fileset));
            return false;
        }
    }
    std::sort(chosen.begin(), chosen.end(), in_job_order);
    return true;
}

bool readable_jobs(const std::vector<JobRecord>& jobs, std::string& error)
{
    for (const JobRecord& job : jobs) {
        if (job.type != "B") {
            error = "job " + std::to_string(job.id) + " is no backup (its Type is " +
                    quoted(job.type) + ")";
            return false;
        }
        if (job.purged_files != 0) {
            error = "job " + std::to_string(job.id) +
                    " had its file records pruned (PurgedFiles 1): nothing to read";
            return false;
        }
    }
    return true;
}

std::uint32_t ClientTops::host_of(const JobRecord& job) const
{
    const auto found = std::lower_bound(clients.begin(), clients.end(), job.client_id);
    return found == clients.end() || *found != job.client_id
               ? 0
               : static_cast<std::uint32_t>(found - clients.begin()) + 1;
}

ClientTops client_tops(const std::vector<JobRecord>& jobs)
{
    ClientTops tops;
    for (const JobRecord& job : jobs) {
        tops.clients.push_back(job.client_id);
    }
    std::sort(tops.clients.begin(), tops.clients.end());
    tops.clients.erase(std::unique(tops.clients.begin(), tops.clients.end()), tops.clients.end());
    if (tops.clients.size() < 2) {
        tops.clients.clear();
    }
    return tops;
}

bool usable_tops(const std::vector<JobRecord>& jobs, std::string& error)
{
    std::map<std::string, std::int64_t> names; // and their ClientIds
    for (const JobRecord& job : jobs) {
        const auto [known, added] = names.emplace(job.client, job.client_id);
        if (!added && known->second != job.client_id) {
            error = "clients " + std::to_string(known->second) + " and " +
                    std::to_string(job.client_id) + " are both named " + quoted(job.client) +
                    ": their files would share one top";
            return false;
        }
    }
    if (names.size() < 2) {
        return true;
    }
    for (const auto& [name, id] : names) {
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
            error = "client " + std::to_string(id) + "'s name " + quoted(name) +
                    " cannot name the top of its files";
            return false;
        }
    }
    return true;
}
