// The pages in a real browser: headless Chromium runs the page script against the server and
// the test reads the DOM it leaves, and keeps screenshots of both pages in the build folder.
#include "ChildProcess.h"
#include "WebBench.h"

#include <filesystem>
#include <regex>

namespace vantrell::testing {
namespace {

constexpr const char *chromium = "/usr/bin/chromium";
// Chromium's own start takes most of this; virtual time lets the plots finish without waiting.
constexpr double browserSeconds = 60;

std::string browse(const TempFolder &profile, const std::string &url,
                   std::vector<std::string> what) {
    std::vector<std::string> args = {chromium,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--log-level=3",
                                     "--user-data-dir=" + (profile.path() / "chromium").string(),
                                     "--virtual-time-budget=5000",
                                     "--window-size=1280,900"};
    args.insert(args.end(), what.begin(), what.end());
    args.push_back(url);
    ChildProcess browser(args);
    EXPECT_TRUE(browser.started());
    EXPECT_EQ(browser.wait(browserSeconds), 0) << browser.unread();
    return browser.unread();
}

TEST(Browser, ShowsTheDevicesAndPlotsEveryChannel) {
    if (!std::filesystem::exists(chromium))
        GTEST_SKIP() << chromium << " is missing (Debian's package chromium): only a browser runs "
                     << "the page script, so the pages cannot be shown here";
    WebBench b;
    b.fillJournal(3);
    b.publish({"Verbindung mit Gerät 1", "Daten gespeichert"});
    b.serve();
    const std::string root = "http://127.0.0.1:" + std::to_string(b.port);
    TempFolder profile;

    const std::string station = browse(profile, root + "/", {"--dump-dom"});
    const std::regex row("<tr class=\"device\">");
    const std::ptrdiff_t rows = std::distance(
        std::sregex_iterator(station.begin(), station.end(), row), std::sregex_iterator());
    EXPECT_EQ(rows, 2) << station;
    EXPECT_NE(station.find("Pegel Mühlbach"), std::string::npos);

    const std::string device = browse(profile, root + "/device/1", {"--dump-dom"});
    const std::regex canvas("<canvas[^>]*data-points=\"(\\d*)\"");
    std::vector<int> points;
    for (auto it = std::sregex_iterator(device.begin(), device.end(), canvas);
         it != std::sregex_iterator(); ++it)
        points.push_back((*it)[1].length() ? std::stoi((*it)[1]) : -1);
    ASSERT_EQ(points.size(), 4u) << device;
    // Three days of 10-minute readings in the week the page opens with: every reading drawn.
    for (int p : points)
        EXPECT_EQ(p, 3 * 144) << device;

    const std::filesystem::path screens = std::filesystem::path(VANTRELL_BINARY_DIR) / "screens";
    std::filesystem::create_directories(screens);
    for (const auto &[page, file] :
         {std::pair{"/", "status-page.png"}, std::pair{"/device/1", "status-page-device.png"}}) {
        std::filesystem::remove(screens / file);
        browse(profile, root + page, {"--screenshot=" + (screens / file).string()});
        EXPECT_TRUE(std::filesystem::exists(screens / file)) << file;
    }
}

} // namespace
} // namespace vantrell::testing
