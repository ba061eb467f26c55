// One libcurl transfer moved on in short steps instead of one blocking call, so that a mail or
// an upload leaves the station's waits running (the window system, the timers) while it goes
// on. libcurl's own time-outs bound every transfer; the step only bounds how long one call
// may block.
#pragma once

#include <curl/curl.h>

#include <array>
#include <chrono>
#include <string>

namespace vantrell {

class CurlTransfer {
public:
    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer &) = delete;
    CurlTransfer &operator=(const CurlTransfer &) = delete;

    // The handle to set options on; options stay set from one transfer to the next, and so does
    // the connection, which is what lets FTP commands share one log-in.
    CURL *handle() const { return easy_; }
    // Clears every option (and with them the pointers the handle holds to lists, MIME parts and
    // files) but keeps the connection.
    void resetOptions();

    void start();
    // Lets the transfer run for at most `slice`; true while it has not finished.
    bool advance(std::chrono::milliseconds slice);
    bool running() const { return running_; }
    // How the last finished transfer ended: empty when it succeeded, else libcurl's reason.
    const std::string &failure() const { return failure_; }
    // Stops a running transfer; its connection is dropped.
    void cancel();

private:
    void setBaseOptions();
    void collectFinished();

    CURLM *multi_;
    CURL *easy_;
    bool running_ = false;
    std::string failure_;
    std::array<char, CURL_ERROR_SIZE> errorText_{};
};

} // namespace vantrell
