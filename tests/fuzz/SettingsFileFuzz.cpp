// libFuzzer target: arbitrary bytes as the settings file. A text value set is
// found again after the file is written and read back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvan;
    RegFile reg = RegFile::parse(std::string(reinterpret_cast<const char*>(data), size));
    (void)reg.value("HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init", "Time Out");
    const std::string key = "HKEY_CURRENT_USER\\Software\\Fuzz";
    const std::string text = "a \"quoted\" \\ value";
    reg.setText(key, "Name", text);
    const RegFile again = RegFile::parse(reg.serialize());
    const RegFile::Lookup found = again.value(key, "NAME");
    if (!found.found || !found.isText || found.text != text)
        std::abort();
    return 0;
}
