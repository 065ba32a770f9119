#include "reporting/RankReport.h"

#include "reporting/HtmlReport.h"
#include "util/Clock.h"
#include "util/CrLfText.h"
#include "util/Files.h"

namespace tolvan {

namespace {

const std::string kRuleEquals(65, '=');
const std::string kRuleDash(65, '-');

struct EngineLabels {
    const char* text;      // the text report's label, padded so places start in column 23
    const char* notFound;  // the text report's whole line when the site was not found
    const char* html;      // the HTML report's label
};

// In the order of RankEngine, which is the order every report lists them.
constexpr EngineLabels kLabels[kRankEngineCount] = {
    {"Infoseek              ", "Infoseek              Not Found", "InfoSeek"},
    {"Yahoo*                ", "Yahoo*                Not Found*", "Yahoo*"},
    {"Alta Vista            ", "Alta Vista            Not Found", "Alta Vista"},
    {"AOL NetFind           ", "AOL NetFind           Not Found", "AOL Net Find"},
    {"Lycos                 ", "Lycos                 Not Found", "Lycos"},
    {"Excite                ", "Excite                Not Found", "Excite"},
    {"HotBot                ", "HotBot                Not Found", "Hot Bot"},
    {"Webcrawler            ", "Webcrawler            Not Found", "Web Crawler"},
};

// The two value cells of the search table: the same cell with the font's
// attributes in either order.
constexpr const char* kCellA =
    R"(<td bgcolor="#400080" colspan="2" width="375"><font color="#FFFF80" face="Arial">)";
constexpr const char* kCellB =
    R"(<td bgcolor="#400080" colspan="2" width="375"><font face="Arial" color="#FFFF80">)";

}  // namespace

std::string rankTextReport(const RankData& rank, const ReportSettings& settings, const std::string& date,
                           const std::string& time)
{
    CrLfText out;
    out.line(kRuleEquals);
    out.line(settings.nameOnReports + " Site Ranking Report");
    out.line(kRuleEquals);
    out.line("Date                 : " + date);
    out.line("Time                 : " + time);
    out.line(kRuleEquals);
    out.line("Website Searched For : " + rank.site);
    out.line("Using Keywords:      : " + rank.phrase);
    out.line("Searched in top      : " + rank.depth + " Results");
    out.line(kRuleEquals);
    out.line("Results:");
    out.line(kRuleDash);
    out.line("Engine                Position");
    out.line(kRuleDash);
    for (std::size_t i = 0; i < kRankEngineCount; ++i) {
        const RankEntry& e = rank.engines[i];
        if (!e.selected)
            continue;
        out.line(e.position > 0 ? kLabels[i].text + std::to_string(e.position) : std::string(kLabels[i].notFound));
    }
    out.line("");
    out.line(kRuleDash);
    out.line("* Yahoo defaults to Alta Vista for some searches.  For this");
    out.line("reason, if your entry is not found in Yahoo, the true Yahoo");
    out.line("search results may be found in the Alta Vista search results.");
    out.line(kRuleEquals);
    return out.take();
}

std::string rankHtmlReport(const RankData& rank, const ReportSettings& settings, const std::string& date,
                           const std::string& time)
{
    const std::string name = htmlEscape(settings.nameOnReports);
    const std::string url = htmlEscape(settings.urlOnReports);
    const std::string cellA = kCellA;
    const std::string cellB = kCellB;
    CrLfText out;
    // Heading.
    out.line(R"(<html> <head> <title>)" + name +
            R"( Ranking Report</title></head> <body bgcolor="#000000"> <div align="center">)");
    out.line(R"(<p align="center"><big><em><strong><big><big><big><font color="#0000FF" face="Arial">- </font><font color="#FF0000" face="Arial">)");
    out.line(name + R"(</font><font color="#0000FF" face="Arial"> -</big></big></big></strong></em></big><br>)");
    out.line(R"(<font face="Arial" color="#FFFFFF"><strong>r&nbsp; a&nbsp; n&nbsp; k&nbsp; i)");
    out.line(R"(&nbsp; n&nbsp; g&nbsp;&nbsp;&nbsp;&nbsp; r&nbsp; e&nbsp; p&nbsp; o&nbsp; r&nbsp; t</strong></font></p>)");

    // What was searched for.
    out.line(R"(<table border="4" width="521" bordercolor="#000080" bordercolorlight="#0000FF")");
    out.line(R"(bordercolordark="#000080" cellspacing="0">)");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#400080" width="138"><em><font face="Arial" color="#FFFFFF">Date:</font></em></td>)");
    out.line(cellA + htmlEscape(date) + "</font></td>");
    out.line("</tr>");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#400080" width="138"><font face="Arial" color="#FFFFFF">Time:</font></td>)");
    out.line(cellB + htmlEscape(time));
    out.line("</font></td>");
    out.line("</tr>");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#400080" width="138"><font face="Arial" color="#FFFFFF">Website searched for:</font></td>)");
    out.line(cellB + htmlEscape(rank.site) + "</font></td>");
    out.line("</tr>");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#400080" width="138"><font face="Arial" color="#FFFFFF">using keywords:</font></td>)");
    out.line(cellA + htmlEscape(rank.phrase));
    out.line("</font></td>");
    out.line("</tr>");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#400080" width="138"><font face="Arial" color="#FFFFFF">Looked in top</font></td>)");
    out.line(R"(<td bgcolor="#400080" width="143"><font color="#FFFF80" face="Arial">)" + htmlEscape(rank.depth) +
            "</font></td>");
    out.line(R"(<td bgcolor="#400080" width="228"><font face="Arial" color="#FFFFFF">results</font></td>)");
    out.line("</tr>");
    out.line("</table>");
    out.line("</center></div>");

    // The places.
    out.line(R"(<p align="center"><font face="Arial" color="#FFFFFF"><strong>r&nbsp; e&nbsp; s&nbsp; u)");
    out.line(R"(&nbsp; l&nbsp; t&nbsp; s&nbsp; :</strong></font></p>)");
    out.line(R"(<div align="center"><center>)");
    out.line(R"(<table border="4" width="522" bordercolor="#000080" bordercolorlight="#0000FF")");
    out.line(R"(bordercolordark="#000080" cellspacing="0">)");
    out.line("<tr>");
    out.line(R"(<td bgcolor="#000000" width="212"><font face="Arial" color="#FFFF00"><strong>Engine</strong></font></td>)");
    out.line(R"(<td bgcolor="#000000" width="235"><font face="Arial" color="#FFFF00"><strong>Position</strong></font></td>)");
    out.line("</tr>");
    for (std::size_t i = 0; i < kRankEngineCount; ++i) {
        const RankEntry& e = rank.engines[i];
        if (!e.selected)
            continue;
        out.line("<tr>");
        out.line(std::string(R"(<td bgcolor="#400080" width="212"><font face="Arial" color="#FFFFFF">)") +
                kLabels[i].html + "</font></td>");
        out.line(std::string(R"(<td bgcolor="#400080" width="235"><font face="Arial" color="#FFFF80">)") +
                (e.position > 0 ? std::to_string(e.position) : std::string("Not Found")) + "</font></td>");
        out.line("</tr>");
    }
    out.line("</table>");
    out.line("</center></div></div></div>");

    // Notes and footer.
    if (rank[RankEngine::Yahoo].selected) {
        out.line(R"(<p align="center"><font color="#FFFFFF"><small><font face="Arial"><small>*Yahoo uses Alta Vista for some searches.)");
        out.line("If your site was not found in Yahoo, the actual Yahoo result might be the same as Alta Vista.");
        out.line("</small></font>");
    }
    out.line(R"(<p align="center"><font color="#FFFFFF"><small><font face="Arial"><small>Report Generated)");
    out.line(R"(by </small></font><em><font color="#FF0000"><strong>)" + name + R"(</strong></font></em> -<font)");
    out.line(R"(color="#FFFF00"> <a href=")" + url + R"(">)" + url + "</font></a></p>");
    out.line("</font></small>");
    out.line(R"(<p align="center"><font face="Arial" color="#FFFF00"><small>&nbsp;</small></font></p>)");
    out.line("</body>");
    out.line("</html>");
    return out.take();
}

void ranktxt(const std::string& file, const RankData& rank, const ReportSettings& settings)
{
    const std::time_t now = Clock::current().now();
    writeFileAtomic(file, rankTextReport(rank, settings, shortDate(now), longTime(now)));
}

void wrhtm(const std::string& file, const RankData& rank, const ReportSettings& settings)
{
    const std::time_t now = Clock::current().now();
    writeFileAtomic(file, rankHtmlReport(rank, settings, shortDate(now), longTime(now)));
}

}  // namespace tolvan
