// Writes the seed corpus of every fuzz target: well-formed answers and files as the station
// meets them (made by the simulator's own encoders and taken from the configuration templates),
// plus a few of the damaged forms the decoders must refuse, and configured texts, usual and
// hostile. The fuzzers start from these and the replay driver mutates them, so each seed is
// small and shows one shape.
//
// Usage: fuzz_make_corpus CORPUS_DIR TEMPLATES_DIR
#include "sim/LoggerEncoding.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace vantrell;
namespace fs = std::filesystem;

fs::path corpusDir;

void seed(const std::string &target, const std::string &name, const std::string &bytes) {
    const fs::path dir = corpusDir / target;
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

std::string fileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

sim::LoggerDescription loggerOfModel(unsigned char modelByte) {
    sim::LoggerDescription d;
    d.modelByte = modelByte;
    d.serial = "KV" + std::to_string(10000000 + modelByte);
    d.samplingCode = modelByte == 1 ? 0 : 5;
    d.channels[0].limitAlarm = true;
    d.channels[0].highLimit = sim::ChannelValue::raw(15000);
    d.channels[0].lowLimit = sim::ChannelValue::raw(-500);
    d.channels[1].rangeCode = 'A';
    d.channels[1].decimals = '3';
    d.channels[2].enabled = false;
    d.channels[3].scaleStart = "-50";
    d.channels[3].scaleEnd = "1.5E3";
    d.memory = sim::makeMemory(6, {2026, 2, 3, 9, 0, 0}, d.samplingCode == 0 ? 10 : 600);
    return d;
}

const std::vector<sim::LoggerDescription> &loggers() {
    static const std::vector<sim::LoggerDescription> all = {loggerOfModel(1), loggerOfModel(3),
                                                            loggerOfModel(4), loggerOfModel(5)};
    return all;
}

void parameterBlockSeeds() {
    for (const auto &logger : loggers()) {
        const std::string block = sim::encodeParameterBlock(logger);
        const std::string model = std::to_string(int(logger.modelByte));
        seed("parameter_block", "model" + model, block);
        if (logger.modelByte == 3)
            seed("parameter_block", "model3-with-tail", block + "\r" + block.substr(0, 20));
    }
    seed("parameter_block", "short", sim::encodeParameterBlock(loggers()[0]).substr(0, 100));
    seed("parameter_block", "blank", std::string(151, ' '));
}

// The value-text check that opens every memory input: a double, decimals, width.
std::string valueTextPrefix(double value, int decimals, int width) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    std::string out;
    for (int shift = 56; shift >= 0; shift -= 8)
        out += char((bits >> shift) & 0xFF);
    out += char(decimals + 8);
    out += char(width);
    return out;
}

void memoryRecordSeeds() {
    constexpr char decodeBlock = 1;
    constexpr char fullRecord = char(200);
    for (const auto &logger : loggers()) {
        std::string input = valueTextPrefix(23.5, 1, 7) + decodeBlock;
        input += sim::encodeParameterBlock(logger);
        for (const sim::MemoryRecord &record : logger.memory)
            input += fullRecord + sim::encodeRecord(record, logger);
        input += fullRecord + sim::encodeRecord(sim::MemoryRecord::emptyRecord(), logger);
        seed("memory_records", "model" + std::to_string(int(logger.modelByte)), input);
    }
    // Records of one minute at the fastest sampling, more than that minute holds.
    const sim::LoggerDescription &fast = loggers()[0];
    std::string input = valueTextPrefix(-1e12, 4, 15) + decodeBlock;
    input += sim::encodeParameterBlock(fast);
    const std::string record = sim::encodeRecord(fast.memory.front(), fast);
    for (int i = 0; i < 12; ++i)
        input += fullRecord + record;
    seed("memory_records", "one-minute-repeated", input);
}

void switchStatusSeeds() {
    const std::string filler(42, '0');
    seed("switch_status", "modules-1-to-6", filler + "3F");
    seed("switch_status", "all-modules", filler + "FF");
    seed("switch_status", "no-modules", filler + "00");
    seed("switch_status", "lower-case-digits", filler + "3f");
    seed("switch_status", "short", filler);
    seed("switch_status", "early-cr", "0000\r" + filler + "11");
}

// A script answer: a delay code, a length code, the bytes (lengths as the scripted device reads
// them: under 4 as they are, longer ones in steps of 4).
std::string scripted(const std::string &bytes, unsigned char delayCode = 5) {
    std::string out(1, char(delayCode));
    if (bytes.size() < 4) {
        out += char(bytes.size());
        return out + bytes;
    }
    const std::size_t padded = (bytes.size() + 3) / 4 * 4;
    out += char(160 + padded / 4);
    return out + bytes + std::string(padded - bytes.size(), '\r');
}

std::string silentFor(std::size_t bytesHeard) {
    std::string out;
    for (std::size_t i = 0; i < bytesHeard; ++i)
        out += scripted("");
    return out;
}

// A whole dial-up: the number, then the modem's answers to each byte the station sends (the
// answer to a command on its first byte, the call's result three seconds after the dial).
std::string dialUp(const std::string &result) {
    const std::string number = "5551234";
    const std::string ok = "\r\nOK\r\n";
    const auto command = [&](std::size_t length) { return scripted(ok) + silentFor(length - 1); };
    return char(number.size()) + number + command(3) + command(5) + command(9) + command(5) +
           command(6) + scripted(result, 222) + silentFor(4 + number.size());
}

void dialAnswerSeeds() {
    seed("dial_answer", "connect", "\r\nCONNECT 9600\r\n");
    seed("dial_answer", "connect-bare", "CONNECT");
    seed("dial_answer", "busy", "\r\nBUSY\r\n");
    seed("dial_answer", "no-carrier", "\r\nNO CARRIER\r\n");
    seed("dial_answer", "no-dialtone", "\r\nNO DIALTONE\r\n");
    seed("dial_answer", "ok", "OK\r\n");
    seed("dial_answer", "echo-then-connect", "atdt5551234\r\r\nCONNECT 2400\r\n");
    seed("dial_answer", "dial-up-connects", dialUp("\r\nCONNECT 9600\r\n"));
    seed("dial_answer", "dial-up-busy", dialUp("\r\nBUSY\r\n"));
}

void serialPrimitiveSeeds() {
    const std::string command = "B00";
    const std::string header = std::string("\0\1", 2) + char(command.size()) + command;
    const std::string block = sim::encodeParameterBlock(loggers()[1]);
    const std::string status = std::string(42, '0') + "0F";
    const auto conversation = [&](unsigned char delayCode) {
        return scripted("?", delayCode) + scripted("!", delayCode) + silentFor(command.size()) +
               scripted("OK\r", delayCode) + scripted(block + "\r", delayCode) +
               scripted("26/02/03 09:05:00\r", delayCode) + scripted("@", delayCode) +
               scripted("!", delayCode) + silentFor(command.size()) +
               scripted(status + "\r", delayCode);
    };
    seed("serial_primitives", "answers-everything", header + conversation(5));
    seed("serial_primitives", "answers-slowly", header + conversation(220));
    seed("serial_primitives", "silent", header);
    seed("serial_primitives", "wrong-wake-answers",
         header + scripted("x") + scripted("x") + scripted("x") + scripted("?"));
    seed("serial_primitives", "endless-answer",
         header + scripted("?") + scripted("!") + silentFor(command.size()) +
             scripted(std::string(380, 'Z')));
}

// A large template cut after its first records, closed again, so a seed stays small.
std::string firstRecords(const std::string &xml, int records) {
    const auto rootAt = xml.find('<', xml.find("?>"));
    const auto rootEnd = xml.find_first_of(" >", rootAt);
    const std::string root = xml.substr(rootAt + 1, rootEnd - rootAt - 1);
    std::size_t at = rootAt;
    for (int i = 0; i <= records && at != std::string::npos; ++i)
        at = xml.find("place=", at + 1);
    if (at == std::string::npos)
        return xml;
    const std::size_t cut = xml.rfind('\n', at);
    return xml.substr(0, cut + 1) + "</" + root + ">\n";
}

void xmlFileSeeds(const fs::path &templates) {
    // Layout bytes: shape (1 places, 2 value limit), lowest place, span, value limit.
    const std::string anyLayout(1, '\0');
    const std::string placed = std::string("\3", 1) + char(2) + char(60) + char(40);
    for (const auto &entry : fs::recursive_directory_iterator(templates)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        if (name.starts_with("dvcsetup") && name != "dvcsetup1.xml")
            continue;
        const std::string bytes = firstRecords(fileBytes(entry.path()), 2);
        seed("xml_file", name, anyLayout + bytes);
        seed("xml_file", "placed-" + name, placed + bytes);
    }
    seed("xml_file", "latin1",
         anyLayout + "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>\n\t<d place=\"1\"><v>"
                     "\xB0"
                     "C</v><v>\xB5"
                     "E</v></d>\n</r>\n");
    seed("xml_file", "no-declaration", anyLayout + "<r><d place=\"1\"><v>1</v></d></r>");
    seed("xml_file", "two-roots", anyLayout + "<?xml version=\"1.0\"?><a/><b/>");
    seed("xml_file", "utf16-bom",
         anyLayout + std::string("\xFF\xFE<\0?\0x\0m\0l\0?\0>\0<\0r\0/\0>\0", 22));
}

// The configured texts as the target takes them: a flags byte, then each text behind its length.
struct ConfiguredTexts {
    bool limitBySms = true;
    std::vector<std::string> phonebook; // up to ten entries; the rest are empty
    std::string message, alarmAddress, connection, serial, forwardAddress, dataMailFrom,
        reportAddress, fileName;

    std::string bytes() const {
        std::string out(1, char(limitBySms ? 1 : 0));
        const auto text = [&out](const std::string &t) { out += char(t.size()) + t; };
        for (std::size_t p = 0; p < 10; ++p)
            text(p < phonebook.size() ? phonebook[p] : "");
        for (const std::string *t : {&message, &alarmAddress, &connection, &serial, &forwardAddress,
                                     &dataMailFrom, &reportAddress, &fileName})
            text(*t);
        return out;
    }
};

void configuredTextSeeds() {
    const ConfiguredTexts usual{true,
                                {"+4911", "0301234567", "+49 30 1234-56"},
                                "Level; Channel 2",
                                "+4922",
                                "netw0302",
                                "KV12345678",
                                "data@example.org",
                                "vantrell-data@example.org",
                                "ops@example.org",
                                "KV12_0905_030226.dat"};
    seed("configured_texts", "usual", usual.bytes());
    ConfiguredTexts byMail = usual;
    byMail.limitBySms = false;
    byMail.alarmAddress = "alarm@example.org";
    byMail.connection = "0301234567";
    byMail.fileName = "KV12 0905 030226.dat";
    seed("configured_texts", "by-mail", byMail.bytes());
    const ConfiguredTexts hostile{true,
                                  {"+3912345\",129;D112;", "+49\r\n11", "+4911\a", "+\x1A"},
                                  "Hi\r\032AT+CMGS=\"+999\"\r\033spam\a\177",
                                  "+4922\";D112;",
                                  "locl0000",
                                  "KV1\nBcc:x@y.org",
                                  "a@b.org\r\nBcc: x@y.org",
                                  "x@y.org\r\nBcc: z@w.org",
                                  "ops@example.org>\r\nRCPT TO:<x@y.org>",
                                  "KV1\r\nBcc:x.dat"};
    seed("configured_texts", "hostile", hostile.bytes());
    const ConfiguredTexts hostileByMail{false,
                                        {"+4911\xC2\x85", "+49 (30) 1234"},
                                        "25 \302\260C\302\233[31m",
                                        "alarm@example.org\n",
                                        "0301234567",
                                        "KV1\302\205Bcc",
                                        "data@example.org",
                                        "d@example.org",
                                        "ops@example.org",
                                        "K\xC3\xBCvette \"1\";x=2.dat"};
    seed("configured_texts", "hostile-by-mail", hostileByMail.bytes());
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR TEMPLATES_DIR\n", argv[0]);
        return 2;
    }
    corpusDir = argv[1];
    parameterBlockSeeds();
    memoryRecordSeeds();
    switchStatusSeeds();
    dialAnswerSeeds();
    serialPrimitiveSeeds();
    xmlFileSeeds(argv[2]);
    configuredTextSeeds();
    return 0;
}
