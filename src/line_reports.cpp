#include "line_reports.h"

#include <algorithm>
#include <cstring>

bool report_in_full(LineReports& reports, Verdict verdict)
{
    if (++reports.reported <= lines_reported_in_full) {
        return true;
    }
    const char* const reason = verdict_reason(verdict);
    const auto known = std::find_if(reports.counted.begin(), reports.counted.end(),
                                    [reason](const std::pair<const char*, unsigned long>& count) {
                                        return std::strcmp(count.first, reason) == 0;
                                    });
    if (known != reports.counted.end()) {
        ++known->second;
    } else {
        reports.counted.emplace_back(reason, 1);
    }
    return false;
}

std::string lines_not_in_full(const LineReports& reports)
{
    if (reports.reported <= lines_reported_in_full) {
        return {};
    }
    const unsigned long rest = reports.reported - lines_reported_in_full;
    const auto commonest =
        std::max_element(reports.counted.begin(), reports.counted.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    if (rest == 1) {
        return std::string("1 more line refused (") + commonest->first + ")";
    }
    return std::to_string(rest) + " more lines refused (" + std::to_string(commonest->second) +
           " of them: " + commonest->first + ")";
}
