#include "submit/ErrorLog.h"

#include "util/Files.h"

namespace tolvan {

namespace {
std::string separator()
{
    std::string s;
    for (int i = 0; i < 29; ++i)
        s += "=-";
    return s;
}
}  // namespace

ErrorLog::ErrorLog(const std::string& baseDir) : path_(joinPath(baseDir, "error.log")) {}

bool ErrorLog::exists() const { return fileExists(path_); }

void ErrorLog::appendRecord(const std::string& text) const
{
    if (!exists())
        return;
    appendToFile(path_, separator() + "\r\n" + text);
}

void ErrorLog::appendTimedOut(const std::string& engine) const
{
    appendRecord("Engine Timed Out: " + engine + "\r\n");
}

void ErrorLog::appendSkipped(const std::string& engine) const
{
    appendRecord("User Skipped Engine: " + engine + "\r\n");
}

void ErrorLog::appendFailure(const std::string& errorMessage, const std::string& engine, const std::string& siteUrl,
                             const std::string& method, const std::string& action) const
{
    appendRecord("Error   : " + errorMessage + " Site Name: " + engine + "\r\n"
                 + "URL     : " + siteUrl + "\r\n"
                 + "Method  : " + method + "\r\n"
                 + "Action  : " + action + "\r\n");
}

void ErrorLog::clear() const { writeFileAtomic(path_, std::string(kHeader) + "\r\n"); }

LineList ErrorLog::lines() const { return readLineList(path_); }

}  // namespace tolvan
