#include "forwarding/CurlTransfer.h"

#include <mutex>

namespace vantrell {

namespace {

// libcurl wants its global set-up done once, before any handle exists.
void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlTransfer::CurlTransfer() {
    initialiseCurl();
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    setBaseOptions();
}

void CurlTransfer::setBaseOptions() {
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_.data());
    // No signals: the station has its own handlers, and name look-ups are bounded anyway.
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
}

void CurlTransfer::resetOptions() {
    cancel();
    curl_easy_reset(easy_);
    setBaseOptions();
}

CurlTransfer::~CurlTransfer() {
    cancel();
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
}

void CurlTransfer::start() {
    cancel();
    failure_.clear();
    errorText_[0] = '\0';
    if (const CURLMcode code = curl_multi_add_handle(multi_, easy_); code != CURLM_OK) {
        failure_ = curl_multi_strerror(code);
        return;
    }
    running_ = true;
}

bool CurlTransfer::advance(std::chrono::milliseconds slice) {
    if (!running_)
        return false;
    int active = 0;
    curl_multi_perform(multi_, &active);
    collectFinished();
    if (!running_)
        return false;
    curl_multi_poll(multi_, nullptr, 0, static_cast<int>(slice.count()), nullptr);
    curl_multi_perform(multi_, &active);
    collectFinished();
    return running_;
}

void CurlTransfer::collectFinished() {
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != easy_)
            continue;
        const CURLcode code = message->data.result;
        if (code != CURLE_OK)
            failure_ = errorText_[0] != '\0' ? std::string(errorText_.data())
                                             : std::string(curl_easy_strerror(code));
        curl_multi_remove_handle(multi_, easy_);
        running_ = false;
    }
}

void CurlTransfer::cancel() {
    if (!running_)
        return;
    curl_multi_remove_handle(multi_, easy_);
    running_ = false;
    failure_ = "cancelled";
}

} // namespace vantrell
