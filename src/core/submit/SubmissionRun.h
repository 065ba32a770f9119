#pragma once
// The state of one press of Submit!, kept after the run for the reports.
#include <cstddef>
#include <string>
#include <vector>

namespace tolvan {

struct SubmissionRun {
    std::string startTime;      // long time format, set once per run
    std::string completedTime;  // set before each automatic report and at the end
    std::vector<std::string> successList;  // sorted without regard to case
    std::vector<std::string> failedList;   // "Timed Out: x", "Skipped: x" or the name
    std::string descriptionText;
    std::string currentEngine;
    std::string profileName;
    int categoryNumber = 0;
    bool cancelRequested = false;
    bool skipRequested = false;
    bool timedOut = false;
    bool autoReport = false;
    bool autoBatchOpen = false;

    std::size_t successCount() const { return successList.size(); }
    std::size_t failureCount() const { return failedList.size(); }
    std::size_t engineTotal() const { return successList.size() + failedList.size(); }
};

}  // namespace tolvan
