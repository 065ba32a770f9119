#pragma once
// Golden report cases: tests/data/reporting/<case>/input.txt holds the site,
// the run and the branding as key=value lines; expected.txt / expected.htm
// beside it hold the report written by hand.
#include <ctime>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "profiles/SiteProfile.h"
#include "reporting/ReportData.h"
#include "submit/SubmissionRun.h"
#include "util/Clock.h"

namespace tolvan::test {

struct ReportCase {
    SiteProfile site;
    SubmissionRun run;
    ReportSettings settings;
    std::string date;

    ReportData data() const { return makeReportData(site, run, settings, date); }
};

inline ReportCase loadReportCase(const std::string& name)
{
    ReportCase c;
    std::istringstream in(testData("reporting/" + name + "/input.txt"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        if (key == "nameOnReports") c.settings.nameOnReports = value;
        else if (key == "urlOnReports") c.settings.urlOnReports = value;
        else if (key == "date") c.date = value;
        else if (key == "startTime") c.run.startTime = value;
        else if (key == "completedTime") c.run.completedTime = value;
        else if (key == "protocol") c.site.protocol = value;
        else if (key == "address") c.site.address = value;
        else if (key == "title") c.site.title = value;
        else if (key == "category") c.site.category = value;
        else if (key == "description") c.site.descriptionLines.push_back(value);
        else if (key.rfind("keyword", 0) == 0) c.site.keywords.at(std::stoul(key.substr(7)) - 1) = value;
        else if (key == "success") c.run.successList.push_back(value);
        else if (key == "failed") c.run.failedList.push_back(value);
        else throw std::runtime_error("unknown key in " + name + ": " + key);
    }
    // The run sends (and reports) the memo lines each followed by a blank.
    c.run.descriptionText = c.site.descriptionText();
    return c;
}

// A clock stopped at one moment, installed for the life of the object.
class FixedClock final : public Clock {
public:
    explicit FixedClock(std::time_t t) : t_(t) { Clock::install(this); }
    ~FixedClock() override { Clock::install(nullptr); }
    std::time_t now() const override { return t_; }

private:
    std::time_t t_;
};

}  // namespace tolvan::test
