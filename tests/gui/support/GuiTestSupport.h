#pragma once
// GUI tests run the real window offscreen, each with a throwaway base directory
// (the working directory) and settings home.
#include <QWidget>

#include <memory>
#include <string>

#include "TestSupport.h"

namespace tolvan::test {

// Makes a base directory (optionally with a copy of the shipped data/) and a
// config home, sets XDG_CONFIG_HOME and changes into the base directory.
class GuiWorkspace {
public:
    explicit GuiWorkspace(bool withShippedData = true);
    ~GuiWorkspace();
    const TempDir& base() const { return base_; }
    const TempDir& config() const { return config_; }
    std::string settingsFile() const;  // the .reg file the program reads and writes

private:
    TempDir base_;
    TempDir config_;
    std::string oldCwd_;
};

// Finds a child widget by objectName, failing the test when it is missing.
template <typename T>
T* findWidget(QWidget* root, const char* name)
{
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        throw std::runtime_error(std::string("no widget named ") + name);
    return w;
}

// Arranges for the next modal message box (or dialog) to be answered: collects
// its text and presses its default button. Returns the texts seen so far.
class MessageBoxCatcher {
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    QStringList texts() const;
    void clear();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tolvan::test
