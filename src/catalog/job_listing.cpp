#include "job_listing.h"

#include "client_escapes.h"

std::string job_listing(const std::vector<JobRecord>& jobs)
{
    std::string text = "JobId\tClient\tLevel\tStartTime\tJobFiles\tJobBytes\n";
    for (const JobRecord& job : jobs) {
        text += std::to_string(job.id);
        text += '\t';
        append_copy_escaped(text, job.client);
        text += '\t';
        append_copy_escaped(text, job.level);
        text += '\t';
        append_copy_escaped(text, job.start_time);
        text += '\t' + std::to_string(job.files) + '\t' + std::to_string(job.bytes) + '\n';
    }
    return text;
}
