#include "engines/EngineUpdate.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <utility>

#include "net/RemoteHosts.h"
#include "util/Errors.h"
#include "util/Files.h"

namespace tolvan {

namespace {

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A header value read as a whole number: blanks around it are allowed, anything
// else (a sign, letters, a number too large) is not.
bool parseLength(const std::string& text, std::int64_t& value)
{
    std::size_t i = 0, end = text.size();
    while (i < end && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    if (i == end || end - i > 18)
        return false;
    std::int64_t v = 0;
    for (; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = v;
    return true;
}

}  // namespace

void UpdateBar::setMaximum(int value)
{
    maximum = value;
    if (minimum > maximum)
        minimum = maximum;
    position = std::clamp(position, minimum, maximum);
}

void UpdateBar::setPosition(int value) { position = std::clamp(value, minimum, maximum); }

void UpdateBar::resetForFile()
{
    minimum = 1;
    maximum = 10;
    step = 1;
    position = minimum;
}

EngineUpdate::EngineUpdate(std::string baseDir, EventPump& pump, EngineUpdateObserver* observer)
    : baseDir_(std::move(baseDir)), pump_(pump), observer_(observer), http_(std::make_unique<HttpClient>(pump))
{
    if (!baseDir_.empty() && baseDir_.back() != '/')
        baseDir_ += '/';
    url_ = "http://" + RemoteHosts(baseDir_).updateHost() + "/tolvan/engines/tleng.zip";
    diskFile_ = baseDir_ + "tleng.zip";
    extractionDir_ = baseDir_ + "data";

    http_->OnConnected = [this](int, const std::string& description) {
        log_.push_back("Connected: " + description);
        changed();
    };
    http_->OnDisconnected = [this](int, const std::string& description) {
        log_.push_back("Disconnected: " + description);
        changed();
    };
    http_->OnHeader = [this](const std::string& field, const std::string& value) { onHeader(field, value); };
    http_->OnTransfer = [this](std::int64_t total, std::string_view) { onTransfer(total); };
    zip_.OnProgress = [this](ExtractProgress kind, const std::string&, std::uint64_t size) {
        onProgress(kind, size);
    };
    zip_.OnMessage = [this](int code, const std::string& text) { onMessage(code, text); };
    zip_.OnIdle = [this] { pump_.processEvents(); };
}

EngineUpdate::~EngineUpdate() = default;

void EngineUpdate::changed()
{
    if (observer_)
        observer_->updateChanged();
}

void EngineUpdate::show(const std::string& text)
{
    if (observer_)
        observer_->showMessage(text);
}

void EngineUpdate::setStatus(const std::string& text)
{
    status_ = text;
    changed();
}

void EngineUpdate::removeDownload()
{
    if (fileExists(diskFile_))
        ::unlink(diskFile_.c_str());
}

UpdateOutcome EngineUpdate::start()
{
    if (running_)
        return UpdateOutcome::Busy;
    running_ = true;
    cancelled_ = false;
    tooLarge_ = false;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{running_};

    expected_ = kUnknownLength;
    received_ = 0;
    percent_ = 0;
    bar_ = UpdateBar{};
    http_->setWinsockLoaded(true);
    http_->setURL(url_);
    http_->setLocalFile(diskFile_);
    setStatus("Logging in to Quendel Server");

    const auto tooLargeError = [this] {
        return TolvanError("The download is larger than " + std::to_string(maxDownload_ >> 20) +
                           " MB and was stopped. The data files were not changed.");
    };
    try {
        http_->setAction(httpGet);
    } catch (...) {
        // Whatever arrived is no archive to unpack; data/ stays as it was.
        removeDownload();
        if (cancelled_)
            return UpdateOutcome::Cancelled;
        if (tooLarge_)
            throw tooLargeError();
        throw;
    }
    if (tooLarge_) {
        removeDownload();
        throw tooLargeError();
    }
    if (cancelled_) {
        removeDownload();
        return UpdateOutcome::Cancelled;
    }
    if (expected_ != kUnknownLength && received_ < expected_) {
        removeDownload();
        throw TolvanError("The download ended early: " + std::to_string(received_) + " of " +
                          std::to_string(expected_) + " bytes received. The data files were not changed.");
    }

    bar_.setPosition(0);
    setStatus("Unzipping Data Files...");
    return extract();
}

UpdateOutcome EngineUpdate::extractStep()
{
    if (running_)
        return UpdateOutcome::Busy;
    running_ = true;
    cancelled_ = false;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{running_};
    return extract();
}

UpdateOutcome EngineUpdate::extract()
{
    if (!fileExists(diskFile_))
        return UpdateOutcome::NoArchive;
    if (cancelled_) {
        removeDownload();
        return UpdateOutcome::Cancelled;
    }
    zip_.setZipFilename(diskFile_);
    zip_.setExtrBaseDir(extractionDir_);
    zip_.Extract();

    setStatus("Deleting Archive...");
    removeDownload();
    if (zip_.cancelled() || cancelled_) {
        if (zip_.failed())
            return UpdateOutcome::Cancelled;
        setStatus("Data Update Complete");
        return UpdateOutcome::Complete;  // too late to stop: the files were in place
    }
    if (zip_.failed()) {
        setStatus("Data Update Failed - the data files were not changed");
        return UpdateOutcome::ExtractionFailed;
    }
    setStatus("Data Update Complete");
    show("Data File Update Complete");
    return UpdateOutcome::Complete;
}

void EngineUpdate::cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    if (http_->busy())
        http_->setAction(httpIdle);
    if (zip_.busy())
        zip_.cancel();
}

void EngineUpdate::onHeader(const std::string& field, const std::string& value)
{
    log_.push_back("Header: " + field + ":" + value);
    std::int64_t length = 0;
    if (upper(field) == "CONTENT-LENGTH" && parseLength(value, length))
        expected_ = length;
    bar_.setMaximum(clampToInt(expected_));
    changed();
    if (expected_ != kUnknownLength && expected_ > maxDownload_)
        stopTooLarge();
}

void EngineUpdate::stopTooLarge()
{
    tooLarge_ = true;
    if (http_->busy())
        http_->setAction(httpIdle);
}

void EngineUpdate::onTransfer(std::int64_t total)
{
    received_ = total;
    if (total > maxDownload_) {
        stopTooLarge();
        return;
    }
    const std::string line = std::to_string(total) + " bytes written";
    if (log_.empty())
        log_.push_back(line);
    else
        log_.back() = line;
    bar_.setPosition(clampToInt(total));
    status_ = "Received " + std::to_string(total / 1024) + "K of " + std::to_string(expected_ / 1024) + "K";
    // A length of 0 announced and more sent must not divide by zero or run past 100.
    percent_ = expected_ > 0 ? static_cast<int>(std::min<std::int64_t>(100, total * 100 / expected_)) : 0;
    changed();
    pump_.processEvents();
}

void EngineUpdate::onProgress(ExtractProgress kind, std::uint64_t size)
{
    switch (kind) {
    case ExtractProgress::NewFile:
        bar_.resetForFile();
        bar_.setMaximum(size < 65536 ? 1 : clampToInt(static_cast<std::int64_t>(size / 32768)));
        if (size < 32768)
            bar_.stepIt();
        break;
    case ExtractProgress::Step:
        if (bar_.position < bar_.maximum)
            bar_.stepIt();
        break;
    case ExtractProgress::EndOfBatch:
        bar_.resetForFile();
        break;
    }
    changed();
    pump_.processEvents();
}

void EngineUpdate::onMessage(int code, const std::string& text)
{
    status_ = text;
    bar_.setPosition(bar_.position + 1);
    changed();
    if (code > 0)
        show("Error Msg from DLL: " + text);
}

}  // namespace tolvan
