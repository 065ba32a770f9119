#pragma once
// Binds the Ranking page to the rank checker: Rank Site, the engine panels,
// the rank buffer, and the HTML, TEXT and EMAIL report buttons.
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "ranking/RankRun.h"
#include "reporting/EmailReport.h"
#include "settings/Settings.h"

namespace tolvan::app {

class RankingPage;

class RankingController : public QObject, private RankView {
    Q_OBJECT
public:
    // Connects the page's buttons. The page's base directory holds the hosts
    // file and the custom e-mail message.
    explicit RankingController(RankingPage* page);
    ~RankingController() override;

    // The proxy of the ranking client; the main window gives it once, at
    // start-up (an empty server means none).
    void setProxy(const QString& server, int port);
    // The current settings (report branding, mail settings); defaults until set.
    void setSettingsSource(std::function<Settings()> source);
    // The custom message of e-mail reports; sites/custmsg.tlx until set.
    void setCustomMessageSource(std::function<std::vector<std::string>()> source);

    RankRun& rankRun() { return run_; }
    HttpClient& HTTP2() { return run_.HTTP2(); }
    bool running() const { return run_.running(); }
    const ReportKind& reportKind() const { return mailKind_; }

public slots:
    void rankbtnClick();      // Rank Site
    void rankhtmlbtnClick();  // HTML Report
    void ranktextbtnClick();  // TEXT Report
    void rankemailbtnClick(); // EMAIL Report
    // Abandons a run in progress without touching the page again (the window
    // is closing).
    void stop();

private:
    // What the run shows.
    std::string phrase() override;
    void setPhrase(const std::string& phrase) override;
    bool engineSelected(RankEngine engine) override;
    void setLamp(RankEngine engine, bool lit) override;
    void setCaption(RankEngine engine, const std::string& caption) override;
    void setPosition(RankEngine engine, int position) override;
    void setRankBuffer(std::string_view page) override;
    void showMessage(const std::string& text) override;

    QWidget* dialogParent() const;
    Settings settings() const;
    std::string baseDir() const;

    RankingPage* page_;
    RankRun run_;
    ReportKind mailKind_;
    std::function<Settings()> settingsSource_;
    std::function<std::vector<std::string>()> customMessageSource_;
};

}  // namespace tolvan::app
