#pragma once
// The engine data update: downloads the engine archive from the maker's
// update server (host: data/hosts.tlx, section Maker, key Update) into
// <base>tleng.zip, unpacks every file of it into <base>data/ and deletes the
// archive. The object holds what the "Update Data Files" dialog shows (status
// text, progress bar, percentage, the hidden connection log) and tells its
// observer when any of it changes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/EventPump.h"
#include "net/HttpClient.h"
#include "util/ZipExtractor.h"

namespace tolvan {

// The progress bar of the dialog. Positions stay within the range.
struct UpdateBar {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    int step = 1;

    void setMaximum(int value);
    void setPosition(int value);
    void stepIt() { setPosition(position + step); }
    // The bar at the start of each extracted file: 1 to 10, step 1, at 1.
    void resetForFile();
};

class EngineUpdateObserver {
public:
    virtual ~EngineUpdateObserver() = default;
    // Status text, bar, percentage or log changed.
    virtual void updateChanged() {}
    // A message for the user in a modal box.
    virtual void showMessage(const std::string& text) = 0;
};

enum class UpdateOutcome {
    Complete,          // files replaced, "Data File Update Complete" shown
    NoArchive,         // there was no downloaded archive to unpack
    ExtractionFailed,  // the archive could not be used; nothing was replaced
    Cancelled,         // stopped by cancel(); nothing was replaced
    Busy,              // an update was already running
};

class EngineUpdate {
public:
    // Expected length of a download that announces none.
    static constexpr std::int64_t kUnknownLength = 2147483647;
    // A download larger than this is stopped: no engine archive comes near it,
    // and it must not fill the disk.
    static constexpr std::int64_t kMaxDownloadBytes = 128ll << 20;

    // baseDir ends with "/". The pump keeps the window alive during the
    // download and between extraction steps.
    EngineUpdate(std::string baseDir, EventPump& pump, EngineUpdateObserver* observer = nullptr);
    ~EngineUpdate();
    EngineUpdate(const EngineUpdate&) = delete;
    EngineUpdate& operator=(const EngineUpdate&) = delete;

    // "http://<update host>/tolvan/engines/tleng.zip".
    const std::string& updateAddress() const { return url_; }
    void setUpdateAddress(const std::string& url) { url_ = url; }
    // <base>tleng.zip and <base>data.
    const std::string& diskFile() const { return diskFile_; }
    const std::string& extractionDir() const { return extractionDir_; }

    void setMaxDownloadBytes(std::int64_t bytes) { maxDownload_ = bytes; }

    HttpClient& HTTP4() { return *http_; }
    ZipExtractor& zip() { return zip_; }

    // Start Update: downloads the archive, then unpacks it (extractStep).
    // A failed download throws the client's HttpError (or TolvanError for a
    // download that ended early or grew past the size limit); the downloaded
    // file is removed and data/ is left as it was.
    UpdateOutcome start();
    // The extraction step: unpacks the downloaded archive into data/ and
    // deletes it. Nothing happens when there is no downloaded archive.
    UpdateOutcome extractStep();

    // Stops a running update (the dialog is being closed): a download is
    // abandoned, an extraction stops before it replaces anything.
    void cancel();
    bool running() const { return running_; }

    const std::string& status() const { return status_; }
    const UpdateBar& bar() const { return bar_; }
    int percent() const { return percent_; }
    const std::vector<std::string>& log() const { return log_; }
    std::int64_t expectedLength() const { return expected_; }

private:
    UpdateOutcome extract();
    void setStatus(const std::string& text);
    void changed();
    void show(const std::string& text);
    void removeDownload();
    void stopTooLarge();

    void onHeader(const std::string& field, const std::string& value);
    void onTransfer(std::int64_t total);
    void onProgress(ExtractProgress kind, std::uint64_t size);
    void onMessage(int code, const std::string& text);

    std::string baseDir_;
    EventPump& pump_;
    EngineUpdateObserver* observer_;
    std::unique_ptr<HttpClient> http_;
    ZipExtractor zip_;
    std::string url_, diskFile_, extractionDir_;

    std::string status_ = "Status:";
    UpdateBar bar_;
    int percent_ = 0;
    std::vector<std::string> log_;
    std::int64_t expected_ = kUnknownLength;
    std::int64_t received_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
    bool tooLarge_ = false;
    std::int64_t maxDownload_ = kMaxDownloadBytes;
};

}  // namespace tolvan
