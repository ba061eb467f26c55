// Without libFuzzer a fuzz target is still worth running on every build: this driver feeds it
// every file of its seed corpus, then a fixed series of inputs made by mutating those seeds
// with a seeded generator, so that a run is the same on every machine and a failure is found
// again by running the program again. Each input is copied into a buffer of exactly its size,
// so that AddressSanitizer sees any read past its end.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

namespace fs = std::filesystem;

constexpr unsigned replaySeed = 0x5EED;
constexpr std::size_t defaultGeneratedInputs = 3000;
// Longer than any answer the decoders accept, so that the length checks are crossed both ways.
constexpr std::size_t longestGeneratedInput = 2048;

std::string fileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The input under test, kept where the abort handler can write it out for a rerun.
const std::uint8_t *currentInput = nullptr;
std::size_t currentSize = 0;
constexpr const char *failingInputFile = "fuzz-failing-input";

extern "C" void keepFailingInput(int signal) {
    const int fd = ::open(failingInputFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)!::write(fd, currentInput, currentSize);
        ::close(fd);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void runOne(const std::string &input) {
    const std::unique_ptr<std::uint8_t[]> exact(
        new std::uint8_t[std::max<std::size_t>(input.size(), 1)]);
    std::copy(input.begin(), input.end(), exact.get());
    currentInput = exact.get();
    currentSize = input.size();
    LLVMFuzzerTestOneInput(exact.get(), input.size());
}

std::vector<std::string> loadSeeds(const std::vector<fs::path> &places) {
    std::vector<fs::path> files;
    for (const fs::path &place : places) {
        if (fs::is_directory(place)) {
            for (const auto &entry : fs::directory_iterator(place))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else if (fs::is_regular_file(place)) {
            files.push_back(place);
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", place.c_str());
            std::exit(2);
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> seeds;
    for (const fs::path &file : files)
        seeds.push_back(fileBytes(file));
    return seeds;
}

class Mutator {
public:
    explicit Mutator(const std::vector<std::string> &seeds) : seeds_(seeds), random_(replaySeed) {}

    std::string next() {
        std::string input = seeds_.empty() || pick(8) == 0 ? randomBytes(pick(64)) : pickSeed();
        const std::size_t steps = 1 + pick(4);
        for (std::size_t s = 0; s < steps; ++s)
            mutate(input);
        if (input.size() > longestGeneratedInput)
            input.resize(longestGeneratedInput);
        return input;
    }

private:
    std::size_t pick(std::size_t bound) {
        return bound == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }
    char randomByte() { return char(pick(256)); }
    std::string randomBytes(std::size_t n) {
        std::string out(n, '\0');
        for (char &c : out)
            c = randomByte();
        return out;
    }
    const std::string &pickSeed() { return seeds_[pick(seeds_.size())]; }

    void mutate(std::string &input) {
        const std::size_t at = pick(input.size() + 1);
        switch (pick(7)) {
        case 0: // one byte changed
            if (!input.empty())
                input[std::min(at, input.size() - 1)] = randomByte();
            break;
        case 1: // one bit flipped
            if (!input.empty())
                input[std::min(at, input.size() - 1)] ^= char(1 << pick(8));
            break;
        case 2: // bytes inserted
            input.insert(at, randomBytes(1 + pick(8)));
            break;
        case 3: // a run removed
            input.erase(at, 1 + pick(16));
            break;
        case 4: // cut short
            input.resize(at);
            break;
        case 5: // a piece of another seed spliced in
            if (!seeds_.empty()) {
                const std::string &other = pickSeed();
                const std::size_t from = pick(other.size() + 1);
                input.insert(at, other.substr(from, pick(64)));
            }
            break;
        default: // a piece repeated
            input.insert(at, input.substr(pick(input.size() + 1), pick(32)));
            break;
        }
    }

    const std::vector<std::string> &seeds_;
    std::mt19937 random_;
};

} // namespace

// Usage: fuzz_<name> [--inputs N] CORPUS...
// A failing input is written to fuzz-failing-input in the working folder; give that file as the
// corpus (with --inputs 0) to run it alone.
int main(int argc, char **argv) {
    std::size_t generated = defaultGeneratedInputs;
    std::vector<fs::path> places;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--inputs" && i + 1 < argc)
            generated = std::strtoull(argv[++i], nullptr, 10);
        else
            places.emplace_back(argument);
    }
    for (int signal : {SIGABRT, SIGSEGV, SIGFPE, SIGBUS})
        std::signal(signal, keepFailingInput);
    const std::vector<std::string> seeds = loadSeeds(places);
    for (const std::string &seed : seeds)
        runOne(seed);
    Mutator mutator(seeds);
    for (std::size_t i = 0; i < generated; ++i)
        runOne(mutator.next());
    std::printf("%zu seed inputs and %zu generated inputs passed\n", seeds.size(), generated);
    return 0;
}
