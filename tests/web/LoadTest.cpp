// A thousand connections at once from loopback: the server serves what its pool holds, answers
// the rest 503 at once, never holds more sockets than its cap, and serves normally afterwards.
#include "WebBench.h"

#include <poll.h>

#include <chrono>
#include <map>

namespace vantrell::testing {
namespace {

constexpr int connections = 1000;
// The load is given up by then, answered or not: the test stops by itself.
constexpr auto loadLimit = std::chrono::seconds(15);
// A request opens the journal: its file, write-ahead log and shared memory.
constexpr std::size_t journalDescriptors = 3;

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST(StatusServerLoad, AThousandConnectionsAtOnce) {
    WebBench b;
    b.fillJournal(1);
    b.publish();
    b.serve();
    const std::size_t descriptorsBefore = openDescriptors();

    struct Connection {
        int socket = -1;
        bool sent = false;
        std::string answer;
        bool done = false;
    };
    std::vector<Connection> load(connections);
    for (Connection &c : load)
        c.socket = connectedSocket(b.port, SOCK_NONBLOCK);
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const auto end = std::chrono::steady_clock::now() + loadLimit;
    std::size_t mostDescriptors = 0;
    std::size_t open = load.size();
    while (open > 0 && std::chrono::steady_clock::now() < end) {
        std::vector<pollfd> waits;
        std::vector<Connection *> of;
        for (Connection &c : load)
            if (!c.done) {
                waits.push_back({c.socket, short(c.sent ? POLLIN : POLLOUT), 0});
                of.push_back(&c);
            }
        if (::poll(waits.data(), waits.size(), 100) < 0)
            break;
        for (std::size_t k = 0; k < waits.size(); ++k) {
            Connection &c = *of[k];
            if (waits[k].revents == 0)
                continue;
            if (!c.sent && (waits[k].revents & POLLOUT)) {
                c.sent = ::send(c.socket, request.data(), request.size(), MSG_NOSIGNAL) > 0;
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::recv(c.socket, chunk, sizeof chunk, 0);
            if (n > 0) {
                c.answer.append(chunk, std::size_t(n));
                continue;
            }
            c.done = true;
            --open;
        }
        mostDescriptors = std::max(mostDescriptors, openDescriptors());
    }
    std::map<std::string, int> outcomes;
    for (Connection &c : load) {
        outcomes[c.answer.empty() ? (c.done ? "closed" : "unanswered") : c.answer.substr(9, 3)]++;
        ::close(c.socket);
    }
    for (const auto &[outcome, count] : outcomes)
        std::cout << outcome << ": " << count << "\n";
    std::cout << "most descriptors open: " << mostDescriptors << " (" << descriptorsBefore
              << " before)\n";

    EXPECT_GT(outcomes["200"], 0);
    EXPECT_GT(outcomes["503"], 0);
    EXPECT_EQ(outcomes["unanswered"], 0);
    // The test's own sockets, and beyond them no more than the pool holds, the one the
    // accepting thread answers and the directory listed here.
    EXPECT_LE(mostDescriptors, descriptorsBefore + connections +
                                   StatusServer::workers * (1 + journalDescriptors) +
                                   StatusServer::waiting + 2);
    const auto after = b.client().Get("/");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

} // namespace
} // namespace vantrell::testing
