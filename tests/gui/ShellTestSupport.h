#pragma once
// Shared by the main-window tests: a settings file for a start that is not the
// first one (the first shows the sign-up dialog).
#include <filesystem>
#include <fstream>
#include <string>

#include "GuiTestSupport.h"

namespace tolvan::test {

inline void writeSettings(const GuiWorkspace& ws, const std::string& values = "\"FirstTime\"=\"0\"\r\n")
{
    std::filesystem::create_directories(std::filesystem::path(ws.settingsFile()).parent_path());
    std::ofstream(ws.settingsFile(), std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n"
        << values;
}

}  // namespace tolvan::test
