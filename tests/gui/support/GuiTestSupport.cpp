#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace tolvan::test {

GuiWorkspace::GuiWorkspace(bool withShippedData)
{
    if (withShippedData)
        fs::copy(fs::path(TOLVAN_SOURCE_DIR) / "data", fs::path(base_.path()) / "data",
                 fs::copy_options::recursive);
    ::setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    oldCwd_ = fs::current_path().string();
    fs::current_path(base_.path());
}

GuiWorkspace::~GuiWorkspace()
{
    std::error_code ec;
    fs::current_path(oldCwd_, ec);
}

std::string GuiWorkspace::settingsFile() const
{
    return config_.path() + "/Brindle/Tolvan.reg";
}

struct MessageBoxCatcher::Impl {
    QTimer timer;
    QStringList texts;
};

MessageBoxCatcher::MessageBoxCatcher() : impl_(std::make_unique<Impl>())
{
    impl_->timer.setInterval(20);
    QObject::connect(&impl_->timer, &QTimer::timeout, [impl = impl_.get()] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            impl->texts << box->text();
            if (QAbstractButton* b = box->defaultButton())
                b->click();
            else
                box->accept();
        }
    });
    impl_->timer.start();
}

MessageBoxCatcher::~MessageBoxCatcher() = default;

QStringList MessageBoxCatcher::texts() const { return impl_->texts; }
void MessageBoxCatcher::clear() { impl_->texts.clear(); }

}  // namespace tolvan::test

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
