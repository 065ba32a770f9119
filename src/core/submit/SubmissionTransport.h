#pragma once
// How the run sends one request: the submission client in the program, a fake in
// some tests.
#include <string>

namespace tolvan {

class EventPump;

struct RequestResult {
    bool error = false;   // the client raised an error
    std::string message;  // its message: code, ": ", text ("151: 404 Not Found")
    std::string statusLine = {};  // the answer's first line, when one arrived
    std::string answer = {};      // the answer's first bytes (at most 512)
    std::string retryAfter = {};  // the Retry-After header, when sent
};

class SubmissionTransport {
public:
    virtual ~SubmissionTransport() = default;
    // Sends one request ("POST" with `body`, or "GET") and returns when it has
    // ended; waits through `pump`, whose handlers may call interrupt().
    virtual RequestResult send(const std::string& method, const std::string& url, const std::string& body,
                               EventPump& pump)
        = 0;
    // Abandons the request in progress; it returns without an error when no
    // answer had begun.
    virtual void interrupt() = 0;
    // The run has sent its last request: nothing is kept for a next one.
    virtual void runEnded() {}
};

}  // namespace tolvan
