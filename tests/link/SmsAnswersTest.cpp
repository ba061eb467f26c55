#include "link/SmsModem.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(SmsAnswers, OnlyAConfirmationIsADelivery) {
    const struct {
        const char *legend;
        std::vector<std::string> answers; // text mode, opening, message
        std::string reason;               // empty: delivered
    } cases[] = {
        {"echo on",
         {"AT+CMGF=1\r\r\nOK\r\n", "AT+CMGS=\"+1\"\r\r\n> ", "x\r\n+CMGS: 7\r\nOK\r\n"},
         ""},
        {"echo off", {"\r\nOK\r\n", "\r\n> ", "\r\n+CMGS: 7\r\nOK\r\n"}, ""},
        {"a confirmation outweighs an earlier silence", {"", "", "\r\n+CMGS: 7\r\nOK\r\n"}, ""},
        {"a numbered error is named as the modem gave it",
         {"\r\nOK\r\n", "\r\n> ", "\r\n+CMS ERROR: 500\r\n"},
         "the modem answered +CMS ERROR: 500 to the message"},
        {"text mode refused",
         {"\r\nERROR\r\n", "\r\nERROR\r\n", "\r\nERROR\r\n"},
         "the modem answered ERROR to AT+CMGF=1"},
        {"no prompt", {"\r\nOK\r\n", "", ""}, "no answer from the modem to AT+CMGS"},
        {"a reference without its OK is not yet a confirmation",
         {"\r\nOK\r\n", "\r\n> ", "\r\n+CMGS: 7\r\n"},
         "no answer from the modem to the message"},
        {"an echoed text that reads OK is no confirmation",
         {"\r\nOK\r\n", "\r\n> ", "OK\r\n"},
         "no answer from the modem to the message"},
        {"an OK cut in two is no answer",
         {"\r\nO", "K\r\n> ", "\r\n+CMGS: 7\r\nO"},
         "no answer from the modem to AT+CMGF=1"},
    };
    for (const auto &c : cases) {
        const Delivery delivery = judgeSmsAnswers(c.answers);
        EXPECT_EQ(delivery.delivered(), c.reason.empty()) << c.legend;
        EXPECT_EQ(delivery.reason(), c.reason) << c.legend;
    }
}

} // namespace
} // namespace vantrell
