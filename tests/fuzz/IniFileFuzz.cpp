// libFuzzer target: arbitrary bytes as a keyed .tlx file and as a line list.
// A value written is read back, before and after the file is rewritten.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvan;
    const std::string file = fuzz::scratchDir() + "/input.tlx";
    fuzz::writeBytes(file, std::string_view(reinterpret_cast<const char*>(data), size));

    (void)readLineList(file);
    // A file laid out as a rewrite writes it keeps its untouched sections' bytes:
    // edited without reading every section first, it must serialize exactly as
    // when every section was read in.
    BigIniFile lazy(file);
    BigIniFile ini(file);
    std::string firstName;
    for (const auto& section : ini.sections()) {
        if (firstName.empty())
            firstName = section.name;
        (void)ini.ReadString(section.name, "URL", "default");
    }
    for (BigIniFile* f : {&lazy, &ini}) {
        f->WriteString(firstName, "URL", "changed");
        f->EraseSection("Fuzz Section");
        f->WriteString("Fuzz Section", "Key", "value");
    }
    if (lazy.serialize() != ini.serialize())
        std::abort();
    if (ini.ReadString("fuzz section", "KEY", "") != "value")
        std::abort();

    const std::string again = fuzz::scratchDir() + "/again.tlx";
    fuzz::writeBytes(again, ini.serialize());
    if (BigIniFile(again).ReadString("Fuzz Section", "Key", "") != "value")
        std::abort();
    return 0;
}
