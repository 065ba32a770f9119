#pragma once
// What an IndexNow endpoint's answer means, in one plain sentence.
#include <ctime>
#include <string>

namespace tolvan {

// The status code of a status line ("HTTP/1.1 429 Too Many Requests" -> 429), 0 if none.
int statusCode(const std::string& statusLine);

// Seconds from a Retry-After value (seconds or an HTTP date); -1 when absent or unreadable.
long retryAfterSeconds(const std::string& value, long nowEpoch);

// One sentence of what a failure answer means and what to do.
std::string indexNowFailureSentence(int status, const std::string& keyLocation, long retryAfter);

// A wait asked for with Retry-After is kept across runs for at most this long,
// so that a mistaken answer cannot shut an endpoint off for good.
inline constexpr long kLongestKeptWait = 24 * 60 * 60;

// The host a wait is kept for: the endpoint address's host, with its port.
std::string endpointWaitKey(const std::string& endpointAddress);

// Why nothing goes to `engine` before `until`: "<engine> answered 429 Too Many
// Requests earlier and may be asked again after <UTC time> (in N seconds)".
std::string endpointWaitSentence(const std::string& engine, std::time_t until, std::time_t now);

// The note of a 202 answer.
inline constexpr const char* kPendingNote = "accepted, key validation pending";

}  // namespace tolvan
