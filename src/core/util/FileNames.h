#pragma once
// Names typed by the user that become file names.
#include <string>
#include <string_view>

namespace tolvan {

// A list name (engine list, batch list) that would become sites/<name>.tlx.
// Refused: names holding "/" or "\", "." and "..", control characters, and the
// program's own files in sites/ ("last", "custmsg", "englist", "tlxplist",
// "tlxurls", "tlxurlsrev", "tlxprofiles", "tlxbatch", in any letter case).
// An empty name is left to the caller. Returns an empty string when the name is
// acceptable, else the message to show.
std::string checkListName(std::string_view name);

// An engine name (from data/sites.tlx, a saved engine list or the command
// line) that would become data/<name>.tlx. Refused like a list name: "/" and
// "\", "." and "..", control characters, an empty name, and the catalogue's own
// files in data/ ("sites", "categories", "custeng", "tlversion", "hosts").
// Returns an empty string when the name is acceptable, else the message.
std::string checkEngineName(std::string_view name);

// A report title made into a safe base name: "/", "\", NUL, control characters
// and : * ? " < > | become "_"; an empty name, "." or ".." becomes "_".
std::string safeFileName(std::string_view title);

}  // namespace tolvan
