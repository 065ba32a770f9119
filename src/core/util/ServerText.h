#pragma once
// Text that came from a server (status lines, SMTP replies) is shown in the
// window's lists, written to error.log and printed on the terminal. A CR there
// would forge a record of its own, a tab an extra column, an escape sequence
// would drive the terminal: every control byte (below 0x20, and 0x7F) becomes
// a blank before such text goes anywhere.
#include <string>
#include <string_view>

namespace tolvan {

std::string cleanServerText(std::string_view text);

}  // namespace tolvan
