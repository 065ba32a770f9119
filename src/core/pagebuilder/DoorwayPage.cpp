#include "pagebuilder/DoorwayPage.h"

#include <cstdint>

#include "net/RemoteHosts.h"
#include "reporting/HtmlReport.h"
#include "settings/Settings.h"
#include "util/CrLfText.h"
#include "util/Files.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

constexpr const char* kTableOpen1 =
    R"(<table border="4" width="70%" cellspacing="0" cellpadding="0" bordercolor="#000080")";
constexpr const char* kTableOpen2 = R"(bordercolorlight="#0000C6" bordercolordark="#000080">)";

// Appends `prefix` and the low `digits` hex digits of value, upper case.
void appendHex(std::string& out, const char* prefix, std::uint32_t value, int digits)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xFu];
}

// Decodes one UTF-8 sequence starting at s[i] (known valid) and advances i.
std::uint32_t nextCodePoint(std::string_view s, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    int extra = 0;
    std::uint32_t cp = lead;
    if (lead >= 0xF0) {
        extra = 3;
        cp = lead & 0x07u;
    } else if (lead >= 0xE0) {
        extra = 2;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xC0) {
        extra = 1;
        cp = lead & 0x1Fu;
    }
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3Fu);
    return cp;
}

// Text made safe inside a double-quoted script string that sits in a page:
// quotes, backslashes and line breaks cannot end the string, "<" and ">"
// cannot end the script element or open a comment, and characters beyond
// ASCII are written as \u escapes since the page declares no character set.
std::string scriptStringEscape(std::string_view raw)
{
    std::string converted;
    std::string_view text = raw;
    if (!isValidUtf8(raw)) {
        converted = windows1252ToUtf8(raw);
        text = converted;
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto ch = static_cast<unsigned char>(text[i]);
        if (ch >= 0x80) {
            const std::uint32_t cp = nextCodePoint(text, i);
            if (cp > 0xFFFF) {
                const std::uint32_t v = cp - 0x10000;
                appendHex(out, "\\u", 0xD800u + (v >> 10), 4);
                appendHex(out, "\\u", 0xDC00u + (v & 0x3FFu), 4);
            } else {
                appendHex(out, "\\u", cp, 4);
            }
            continue;
        }
        ++i;
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '<':
        case '>':
            appendHex(out, "\\x", ch, 2);
            break;
        default:
            if (ch < 0x20 || ch == 0x7F)
                appendHex(out, "\\x", ch, 2);
            else
                out += static_cast<char>(ch);
            break;
        }
    }
    return out;
}

// User text for element content and attribute values. Line breaks become
// references too, so a pasted line break cannot split a line of the page.
std::string pageText(std::string_view text)
{
    std::string escaped = htmlEscape(text);
    std::string out;
    out.reserve(escaped.size());
    for (char ch : escaped) {
        if (ch == '\r')
            out += "&#13;";
        else if (ch == '\n')
            out += "&#10;";
        else
            out += ch;
    }
    return out;
}

}  // namespace

DoorwayProblem checkDoorwayPage(const DoorwayPage& page)
{
    if (page.title.empty())
        return DoorwayProblem::noTitle;
    if (page.homePage == "http://")
        return DoorwayProblem::noHomePage;
    return DoorwayProblem::none;
}

std::string doorwayProblemMessage(DoorwayProblem problem)
{
    switch (problem) {
    case DoorwayProblem::noTitle: return "You Must Enter a Site Title.";
    case DoorwayProblem::noHomePage: return "You Must Enter your home page, or a page this file will link to.";
    case DoorwayProblem::none: break;
    }
    return {};
}

std::string doorwayPageCreatedMessage(const std::string& fileName)
{
    return "An HTML file named: " + fileName +
           " has been created.  Make sure this is in a directory with your web documents and add it to your "
           "site database for submission.";
}

std::string doorwayPageText(const DoorwayPage& page, const std::string& productAddress)
{
    const std::string title = pageText(page.title);
    const std::string desc = pageText(page.description);
    const std::string url = pageText(page.homePage);
    const std::string image = pageText(page.image);
    std::array<std::string, DoorwayPage::kKeywordCount> k;
    for (std::size_t i = 0; i < k.size(); ++i)
        k[i] = pageText(page.keywords[i]);

    std::string keywordList;  // k1 to k16 joined by ", ", empty ones included
    std::string keywordBlock = title + ' ' + desc;  // title, desc, k1 to k16 joined by blanks
    for (std::size_t i = 0; i < k.size(); ++i) {
        if (i > 0)
            keywordList += ", ";
        keywordList += k[i];
        keywordBlock += ' ';
        keywordBlock += k[i];
    }

    CrLfText p;
    p.line("<html>");
    p.line(R"(<head><scrolling="no">)");
    p.line(R"(<META name="description" content=")" + desc + R"(">)");
    p.line(R"(<META name="keywords" content=")" + keywordList + R"(">)");
    p.line("<TITLE>" + title + "</TITLE>");
    if (page.forward) {
        const std::string target = scriptStringEscape(page.homePage);
        p.line(R"(<script language="JavaScript">)");
        p.line("bName = navigator.appName;");
        p.line(R"(if (bName == "Netscape" ))");
        p.line("window.location=\"" + target + "\";");
        p.line("else");
        p.line("window.location=\"" + target + "\"");
        p.line("</script>");
    }
    p.line("</head>");
    p.line(R"(<body bgcolor="#000000">)");
    p.line(R"(<div align="center"><center>)");
    p.line("<!-- " + title + " -->");
    p.line(R"(<input type="hidden" name=")" + k[0] + ", " + k[1] + ", " + k[2] + R"("value=")" + k[3] + ", " +
           k[4] + ", " + k[5] + R"(">)");
    p.line(kTableOpen1);
    p.line(kTableOpen2);
    p.line("<tr>");
    p.line(R"(<td width="100%" bgcolor="#000066"><h1 align="center"><font color="#000066" face="Arial">)"
           "<small><small><small><small><small><small>");
    p.line(keywordBlock + "<br>");
    p.line(R"(</small></small></small></small></small></small></font><font color="#FFFF00" face="Arial">)" + title +
           "</font></h1>");
    if (!page.image.empty())
        p.line(R"(<p align="center"><img src=")" + image + R"(" alt=")" + desc + R"(">)");
    if (page.forward) {
        p.line(R"(<BR><BR><p align="center"><font face="Arial" color="#C0C0C0"><strong><BR>LJava Script Loading. Please)");
        p.line("wait.</strong></font><br>");
        p.line(R"(<font face="Arial" color="#FFFF00"><a href=")" + url + R"(">Click here</a> </font>)");
        p.line(R"(<font face="Arial" color="#C0C0C0">if you do not have a java compliant browser</font></p>)");
    } else {
        p.line("<BR><BR>");
        p.line(R"(<font face="Arial" color="#FFFFFF"><B><CENTER><a href=")" + url + R"(">Click here</a> </font>)");
        p.line(R"(<font face="Arial" color="#FFFFFF">to enter</B></CENTER></font></p>)");
    }
    p.line(R"(<p align="center">&nbsp;</td>)");
    p.line("</tr>");
    p.line("</table>");
    p.line(R"(</center></div><div align="center"><center>)");
    p.line(kTableOpen1);
    p.line(kTableOpen2);
    p.line("<tr>");
    p.line(R"(<td width="100%" bgcolor="#000066"><h1 align="center"><small><font face="Arial")");
    p.line(R"(color="#FFFFFF"><small>)" + desc + "</small></font></small></h1>");
    p.line(R"(<p align="center"><small><small><small><small><font color="#000066" face="Arial">)");
    p.line(keywordBlock + ' ');
    p.line(keywordBlock + ' ');
    p.line(keywordBlock + "</font></td>");
    p.line("</small></small></small></small></tr>");
    p.line("</table>");
    p.line("</center></div>");
    p.line("<BR><BR><BR><BR>");
    p.line(R"(<p align="center"><font face="Arial" color="#FFFF00"><small><small>Page generated by</font><font)");
    p.line(R"(face="Arial" color="#00FFFF"> </font><font face="Arial" color="#FF0000"><em><strong>Tolvan</strong></em></font><font)");
    p.line(R"(face="Arial" color="#00FFFF"> </font><font face="Arial" color="#FFFF00">- Search Engine)");
    p.line(R"(Submission Software by</font><a href=")" + pageText(productAddress) + R"("><font face="Arial")");
    p.line(R"(color="#00FFFF"> Quendel</small></small></font></a></p>)");
    p.line("</body>");
    p.line("</html>");
    return p.take();
}

std::string doorwayProductAddress(const RemoteHosts& hosts)
{
    std::string address = hosts.makerProduct();
    if (address.empty())
        address = hosts.makerWeb();
    if (address.empty())
        address = kFallbackMakerWeb;
    return address;
}

void saveDoorwayPage(const DoorwayPage& page, const std::string& productAddress, const std::string& fileName)
{
    writeFileAtomic(fileName, doorwayPageText(page, productAddress));
}

}  // namespace tolvan
