#pragma once
// The submission client: sends the run's requests through an HttpClient whose
// waits go through whichever pump the run hands in.
#include "net/EventPump.h"
#include "net/HttpClient.h"
#include "submit/SubmissionTransport.h"

namespace tolvan {

class HttpTransport final : public SubmissionTransport {
public:
    HttpTransport();

    RequestResult send(const std::string& method, const std::string& url, const std::string& body,
                       EventPump& pump) override;
    void interrupt() override;
    void runEnded() override { client_.closeFinishedSocket(); }

    // The client itself, for its proxy settings and events.
    HttpClient& client() { return client_; }

private:
    class DelegatingPump final : public EventPump {
    public:
        void processEvents() override
        {
            if (target)
                target->processEvents();
        }
        short waitForSocket(int fd, short events, int timeoutMs) override
        {
            return target ? target->waitForSocket(fd, events, timeoutMs) : EventPump::waitForSocket(fd, events, timeoutMs);
        }
        EventPump* target = nullptr;
    };

    DelegatingPump pump_;
    HttpClient client_{pump_};
};

}  // namespace tolvan
