#pragma once
// A form posted over HTTPS, as the OAuth 2.0 token endpoint takes it. The system's HTTP stack
// provides it on Windows only, so callers get a poster from whoever creates them; an empty
// poster means this build has none.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct HttpsReply {
    bool delivered = false;  // a reply came: status and body hold it
    int status = 0;
    std::string body;        // at most a little more than a token reply may be
    std::string failure;     // when not delivered: why, in the trace's words
};

// Posts formBody (application/x-www-form-urlencoded) to an https URL. The server's certificate
// is checked as a mail server's is, against trustFile's CA certificates when one is named,
// before the body is sent. Redirects are not followed. A non-zero stopFlag (may be null) ends
// the wait for the reply within about 100 ms, with the failure "stopped".
using HttpsPoster = std::function<HttpsReply(const std::string& url, const std::string& formBody,
                                             const std::string& trustFile, const std::atomic<int32_t>* stopFlag)>;

// WinHTTP on Windows; an empty poster elsewhere.
HttpsPoster SystemHttps();
