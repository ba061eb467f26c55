// A delivery keeps the daemon inside libcurl for as long as the server takes; the progress hook
// is what tells the service manager the station is still at work meanwhile.
#include "ServerProcess.h"
#include "TempFolder.h"
#include "forwarding/CurlMailSession.h"
#include "forwarding/CurlTransfer.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(TransferProgress, TheHookBeatsWhileAServerKeepsADeliveryWaiting) {
    testing::TempFolder folder;
    testing::ServerProcess silent("smtp_sink.py", {(folder.path() / "mail").string(), "--silent"});
    ASSERT_NE(silent.port(), 0);
    int beats = 0;
    CurlTransfer::onProgress([&beats] { ++beats; });
    CurlMailSession mail({}, MailLimits{std::chrono::seconds(2), std::chrono::seconds(3)});
    mail.setServer(silent.address());
    mail.setMailFrom("a@example.org");
    mail.setSendTo("b@example.org");
    mail.setMessageText("x");
    EXPECT_FALSE(mail.sendEmail().delivered());
    CurlTransfer::onProgress(nullptr);
    // libcurl calls it at least once a second; three seconds of silence give several beats.
    EXPECT_GE(beats, 3);
}

} // namespace
} // namespace vantrell
