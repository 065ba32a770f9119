// The window's profile actions with 10,000 saved profiles, timed one by one
// (median of several rounds): the Load Site Profile dialog appearing, its OK
// and its Delete, Save Site Profile with OK, and the saved-address reload that
// every page change makes (first fill, then an unchanged file).
//
// usage: QT_QPA_PLATFORM=offscreen profile_dialogs_probe [rounds]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "ProfileBenchData.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/dialogs/SiteProfileDialogs.h"
#include "widgets/SiteAddresses.h"

using namespace tolvan;
using namespace tolvan::bench;

namespace {

double medianMs(int rounds, const std::function<void()>& prepare, const std::function<void()>& action)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string base = makeProfilesBase();
    const QString baseQ = QString::fromStdString(base);
    const tolvan::SiteProfile site = sampleSite(4321);

    SiteProfile working;
    const double loadAppear = medianMs(rounds, [] {}, [&] {
        app::Tsiteload dialog(baseQ, working);
        dialog.show();
        QApplication::processEvents();
    });
    const double loadOk = medianMs(rounds, [] {}, [&] {
        app::Tsiteload dialog(baseQ, working);
        dialog.toloadlist->setText(QString::fromStdString(profileName(1234)));
        dialog.BitBtn1Click();
    });
    app::Tsiteload* deleting = nullptr;
    const double deleteMs = medianMs(
        rounds,
        [&] {
            delete deleting;
            std::vector<std::string> names = ProfileStore(base).readNames(), addresses = ProfileStore(base).readAddresses();
            ProfileStore(base).saveProfile(profileName(4321), site, names, addresses);
            deleting = new app::Tsiteload(baseQ, working);
            deleting->show();
            QApplication::processEvents();
            deleting->toloadlist->setText(QString::fromStdString(profileName(4321)));
        },
        [&] {
            deleting->deletesiteClick();
            QApplication::processEvents();
        });
    delete deleting;
    const double saveMs = medianMs(rounds, [] {}, [&] {
        app::Tsitesave dialog(baseQ, site);
        dialog.show();
        QApplication::processEvents();
        dialog.profiles->setText(QString::fromStdString(profileName(4321)));
        dialog.BitBtn1Click();
    });
    QComboBox box;
    box.setEditable(true);
    const double firstFill = medianMs(rounds, [&] { box.clear(); }, [&] {
        widgets::loadSavedAddresses(&box, baseQ);
    });
    const double pageChange = medianMs(rounds, [] {}, [&] { widgets::loadSavedAddresses(&box, baseQ); });

    std::printf("10000 profiles, median of %d rounds (ms)\n", rounds);
    std::printf("load dialog appears\t%.1f\nload OK\t%.1f\ndelete\t%.1f\nsave dialog + OK\t%.1f\n"
                "saved addresses, first fill\t%.1f\nsaved addresses, page change\t%.1f\n",
                loadAppear, loadOk, deleteMs, saveMs, firstFill, pageChange);
    std::filesystem::remove_all(base);
    return 0;
}
