#include "reporting/HtmlReport.h"

#include "profiles/SiteProfile.h"
#include "submit/SubmissionRun.h"
#include "util/CrLfText.h"
#include "util/Files.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

// The label cells of the run rows (label in italics) and of the site rows
// (value font attributes in the other order), and the common row tail.
constexpr const char* kRunRowStart = R"(<tr> <td bgcolor="#400080"><em><font face="Arial" color="#FFFFFF">)";
constexpr const char* kRunRowMiddle =
    R"(:</font></em></td> <td bgcolor="#400080"><font face="Arial" color="#FFFF80">)";
constexpr const char* kSiteRowStart = R"(<tr> <td bgcolor="#400080"><font face="Arial" color="#FFFFFF">)";
constexpr const char* kSiteRowMiddle = R"(:</font></td> <td bgcolor="#400080"><font color="#FFFF80" face="Arial">)";
constexpr const char* kRowTail = "</font></td> </tr>";
constexpr const char* kListEntryHead = R"(<tr> <td bgcolor="#400080" colspan="2"><font face="Arial" color="#FFFFFF">)";
constexpr const char* kBlackHead = R"(<tr> <td colspan="2" bgcolor="#000000"><font face="Arial" color="#FFFF00">)";

void appendReference(std::string& out, unsigned long codePoint)
{
    out += "&#";
    out += std::to_string(codePoint);
    out += ';';
}

// Decodes one UTF-8 sequence starting at s[i] (known valid) and advances i.
unsigned long nextCodePoint(std::string_view s, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    int extra = 0;
    unsigned long cp = lead;
    if (lead >= 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else if (lead >= 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    }
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return cp;
}

class Page : public CrLfText {
public:
    void runRow(const char* label, const std::string& value)
    {
        line(std::string(kRunRowStart) + label + kRunRowMiddle + htmlEscape(value) + kRowTail);
    }
    void siteRow(const char* label, const std::string& value)
    {
        line(std::string(kSiteRowStart) + label + kSiteRowMiddle + htmlEscape(value) + kRowTail);
    }
};
}  // namespace

std::string htmlEscape(std::string_view raw)
{
    std::string converted;
    std::string_view text = raw;
    if (!isValidUtf8(raw)) {
        converted = windows1252ToUtf8(raw);
        text = converted;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        if (static_cast<unsigned char>(ch) >= 0x80) {
            appendReference(out, nextCodePoint(text, i));
            continue;
        }
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += ch; break;
        }
        ++i;
    }
    return out;
}

std::string htmlReport(const ReportData& d)
{
    const std::string name = htmlEscape(d.nameOnReports);
    const std::string url = htmlEscape(d.urlOnReports);
    Page page;
    page.line(R"(<html> <head> <title>)" + name
              + R"( Submission Report</title></head> <body bgcolor="#FFFDF2"> <div align="center"> <hr>)");
    page.line(R"(<p align="center"><big><em><strong><big><big><big><font color="#0000FF" face="Arial">- </font><font color="#FF0000" face="Arial">)");
    page.line(name + R"(</font><font color="#0000FF" face="Arial"> -</big></big></big></strong></em></big><br>)");
    page.line(R"(</font><font color="#400080" face="Arial"><strong>s&nbsp; u&nbsp; b&nbsp; m&nbsp; i&nbsp;)");
    page.line(R"(s&nbsp; s&nbsp; i &nbsp; o&nbsp; n&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; r&nbsp;e&nbsp; p&nbsp; o&nbsp; r&nbsp; t</strong></font></p> <hr> <div align="center"><center>)");
    page.line(R"(<table border="4" width="450" bordercolor="#000080" bordercolorlight="#0000FF" bordercolordark="#000080" cellspacing="0">)");
    page.line(std::string(kBlackHead) + "c u r r e n t&nbsp;&nbsp;&nbsp; s u b m i s s i o n . . .</font></td> </tr>");
    page.runRow("Date", d.date);
    page.runRow("Submission Started", d.startTime);
    page.runRow("Submission Completed", d.completedTime);
    page.runRow("Engine Total", std::to_string(d.engineTotal()));
    page.runRow("Success Count", std::to_string(d.successCount()));
    page.runRow("Faliure Count", std::to_string(d.failureCount()));
    page.line(std::string(kBlackHead) + "s i t e&nbsp;&nbsp;&nbsp; d a t a . . .</font></td> </tr>");
    page.siteRow("Web Page", d.webPage);
    page.siteRow("Title", d.title);
    page.siteRow("Description", d.descriptionText);
    page.siteRow("Category", d.category);
    page.siteRow("Keywords", d.keywordLine());
    page.line(kBlackHead);
    page.line(std::to_string(d.successCount())
              + "     s u c c e s s f u l&nbsp;&nbsp;&nbsp; s u b m i s s i o n s . . . </font></td> </tr>");
    for (const auto& entry : d.successList) {
        page.line(kListEntryHead);
        page.line(htmlEscape(entry) + kRowTail);
    }
    page.line(R"(<tr> <td bgcolor="#400080" colspan="2"><small><small><font face="Arial" color="#FF0000">*Many directories and engines take weeks to add your submission.<br>)");
    page.line("*Many directories have limited capacity and may be full.</font></small></small></td> </tr>");
    page.line(R"(<tr> <td colspan="2" bgcolor="#400080">&nbsp;</td> </tr>)");
    page.line(std::string(kBlackHead) + std::to_string(d.failureCount())
              + "     f a i l e d&nbsp;&nbsp;&nbsp; s u b m i s s i o n s . . .</font></td> </tr>");
    for (const auto& entry : d.failedList)
        page.line(kListEntryHead + htmlEscape(entry) + kRowTail);
    page.line(R"(<tr> <td colspan="2" bgcolor="#400080"><font face="Arial" color="#FF0000"><small><small>Submission failures can be the result of many variables, )");
    page.line("including a down site, heavy traffic, poor connections, sites being moved, etc.</small></small></font></td> </tr>");
    page.line(R"(</table> </center></div></div> <hr> <p align="center"><small><font face="Arial"><small>Report Generated by </small><em><font color="#FF0000"><strong>)"
              + name + R"(</strong></font></em> - <a)");
    page.line(R"(href=")" + url + R"("><font color="#0000FF">)" + url + "</font></a></p> <hr> </body> </html>");
    return page.take();
}

std::string savehtm(const SiteProfile& site, const SubmissionRun& run, const ReportSettings& settings,
                    const std::string& baseDir, const std::string& chosenFile)
{
    const std::string path = reportFilePath(site, run, baseDir, chosenFile, ".htm");
    // An automatic report is named from the site's title: a link planted at that
    // name in reports/ is replaced, never followed out of the directory.
    writeFileAtomic(path, htmlReport(makeReportData(site, run, settings)),
                    run.autoReport ? LinkHandling::Replace : LinkHandling::Keep);
    return path;
}

}  // namespace tolvan
