#pragma once
// What an IndexNow endpoint's answer means, in one plain sentence.
#include <string>

namespace tolvan {

// The status code of a status line ("HTTP/1.1 429 Too Many Requests" -> 429), 0 if none.
int statusCode(const std::string& statusLine);

// Seconds from a Retry-After value (seconds or an HTTP date); -1 when absent or unreadable.
long retryAfterSeconds(const std::string& value, long nowEpoch);

// One sentence of what a failure answer means and what to do.
std::string indexNowFailureSentence(int status, const std::string& keyLocation, long retryAfter);

// The note of a 202 answer.
inline constexpr const char* kPendingNote = "accepted, key validation pending";

}  // namespace tolvan
