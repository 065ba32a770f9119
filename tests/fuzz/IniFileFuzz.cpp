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
    BigIniFile ini(file);
    for (const auto& section : ini.sections())
        (void)ini.ReadString(section.name, "URL", "default");
    ini.WriteString("Fuzz Section", "Key", "value");
    if (ini.ReadString("fuzz section", "KEY", "") != "value")
        std::abort();

    const std::string again = fuzz::scratchDir() + "/again.tlx";
    fuzz::writeBytes(again, ini.serialize());
    if (BigIniFile(again).ReadString("Fuzz Section", "Key", "") != "value")
        std::abort();
    return 0;
}
