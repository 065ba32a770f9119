#include "profiles/BatchLists.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"

namespace tolvan {

LineList BatchListFiles::load(const std::string& name) const
{
    if (std::string refusal = checkListName(name); !refusal.empty())
        throw TolvanError(refusal);
    return readLineList(listPath(name));  // a missing list is a FileError
}

}  // namespace tolvan
