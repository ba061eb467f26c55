// A delivery keeps the loop inside libcurl for as long as the server takes. The loop's own
// delivery runs the loop's idle work meanwhile (what feeds the service manager's watchdog); a
// retry on the outbox thread beside it runs none of it, so only the loop proves it is alive.
#include "ServerProcess.h"
#include "TempFolder.h"
#include "forwarding/CurlMailSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vantrell {
namespace {

Delivery sendTo(const std::string &server, CurlMailSession &mail) {
    mail.setServer(server);
    mail.setMailFrom("a@example.org");
    mail.setSendTo("b@example.org");
    mail.setMessageText("x");
    return mail.sendEmail();
}

TEST(TransferProgress, OnlyTheLoopsOwnDeliveryRunsTheLoopsIdleWork) {
    testing::TempFolder folder;
    testing::ServerProcess silent("smtp_sink.py", {(folder.path() / "mail").string(), "--silent"});
    ASSERT_NE(silent.port(), 0);
    const std::thread::id loop = std::this_thread::get_id();
    std::atomic<int> beats = 0;
    std::atomic<bool> elsewhere = false;
    const MailLimits limits{std::chrono::seconds(2), std::chrono::seconds(3)};
    CurlMailSession first(
        [&] {
            elsewhere = elsewhere || std::this_thread::get_id() != loop;
            ++beats;
        },
        limits);
    CurlMailSession retry({}, limits);
    std::thread outbox([&] { EXPECT_FALSE(sendTo(silent.address(), retry).delivered()); });
    EXPECT_FALSE(sendTo(silent.address(), first).delivered());
    outbox.join();
    EXPECT_GE(beats, 3); // three seconds of silence, in steps of a fraction of a second
    EXPECT_FALSE(elsewhere);
}

} // namespace
} // namespace vantrell
