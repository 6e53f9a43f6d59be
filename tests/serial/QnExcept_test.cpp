// The message table and the exception family, through their public lookups.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <typeinfo>

#include "serial/QnExcept.h"
#include "serial/QnStrMap.h"

namespace {

// Every entry is found under either sign; the codes between entries, under
// either sign, find nothing (the lookup does not fall onto a neighbour).
TEST(MessageTable, EntriesInAscendingAbsoluteOrderFoundUnderEitherSignAndNothingBetween) {
    int64_t previous = -1;
    for (const TMessageTableEntry& entry : MessageTable) {
        const int64_t code = std::abs(int64_t{entry.Code});
        EXPECT_LT(previous, code) << entry.Code;
        for (const int64_t between : {previous + 1, (previous + code) / 2, code - 1})
            if (between > previous && between < code) {
                EXPECT_EQ(FindMessageText(between), std::string()) << between;
                EXPECT_EQ(FindMessageText(-between), std::string()) << -between;
            }
        previous = code;
        EXPECT_EQ(FindMessageText(entry.Code), entry.Text) << entry.Code;
        EXPECT_EQ(FindMessageText(-int64_t{entry.Code}), entry.Text) << entry.Code;
    }
    EXPECT_EQ(FindMessageText(previous + 1), std::string()) << "past the last entry";
}

TEST(FindMessageText, GivesTheTableText) {
    const std::pair<int64_t, const char*> rows[] = {
        {0, "OK"},
        {-2, "File not found"},
        {15742, "Character Set"},
        {-162, "General failure"},
        {-1004, "Terminal buffer greater than 65521"},
        {-2005, "ie_Hardware - Specified comport in use"},
        {-2012, "Comport was not opened by Tapi"},
        {-3001, "No device layer specified"},
        {-3008, "Tracing not enabled"},
        {4301, "Cycling dial attempt . . ."},
        {4500, "OpenPort"},
        {-5506, "Packet too long"},
        {-6009, "Block sequence error in Xmodem"},
        {-7010, "Maximum database records (999) reached"},
        {-8062, "Modems failed to train"},
        {-9001, "Serivane Error"},
        {10101, "WSAEDISCON"},
        {13600, "Waiting for retry in %d seconds"},
        {-13980, "Failed to find/load RASAPI32.DLL"},
        {15001, "No event"},
        {15101, "ReadCom"},
        // Unknown codes, and codes past 16 bits that must not wrap onto a table code.
        {1, ""},
        {-1, ""},
        {65536 + 2, ""},
        {-(65536 + 15742), ""},
        {INT32_MIN, ""},
        {INT64_MIN, ""}};
    for (const auto& [code, text] : rows) EXPECT_EQ(FindMessageText(code), text) << code;
}

// A code and the class CheckPortResult must raise for it, one or more per
// range of every category.
struct RaiseCase {
    int32_t code;
    const std::type_info* leaf;
    bool (*isCategory)(const EQnException&);
    const char* name;
};

template <typename T>
bool IsA(const EQnException& e) {
    return dynamic_cast<const T*>(&e) != nullptr;
}

#define RAISE(code, leaf, category) \
    RaiseCase { code, &typeid(leaf), &IsA<category>, #leaf }

class RaisedClass : public ::testing::TestWithParam<RaiseCase> {};

TEST_P(RaisedClass, CarriesTheSignedCodeAndTheTableText) {
    const RaiseCase& c = GetParam();
    try {
        CheckPortResult(nullptr, c.code);
        FAIL() << "no exception for " << c.code;
    } catch (const EQnException& e) {
        EXPECT_EQ(typeid(e), *c.leaf) << c.name;
        EXPECT_TRUE(c.isCategory(e)) << c.name;
        EXPECT_EQ(e.ErrorCode(), c.code);
        EXPECT_EQ(e.what(), FindMessageText(c.code));
        EXPECT_STRNE(e.what(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryCategory, RaisedClass,
    ::testing::Values(RAISE(-1002, EBadArgument, EGeneral), RAISE(-1006, EInternal, EGeneral),
                      RAISE(-7003, EInternal, EGeneral), RAISE(-7012, EInternal, EGeneral),
                      RAISE(-1009, ECannotUseWithWinSock, EGeneral), RAISE(-2001, EBadId, EOpenComm),
                      RAISE(-2011, ENoPortSelected, EOpenComm), RAISE(-2012, ENotOpenedByTapi, EOpenComm),
                      RAISE(-3001, ENullApi, ESerialIO), RAISE(-3010, EBaseAddressNotSet, ESerialIO),
                      RAISE(-4001, EModemNotStarted, EModem), RAISE(-4008, EModemStatusMismatch, EModem),
                      RAISE(-5001, ENoMoreTriggers, ETrigger), RAISE(-5003, EBadTriggerHandle, ETrigger),
                      RAISE(-6006, EProtocol, EProtocol), RAISE(-6009, EProtocol, EProtocol),
                      RAISE(-7001, EKeyTooLong, EINI), RAISE(-7014, EBadFieldForIndex, EINI),
                      RAISE(-8001, EFaxBadFormat, EFax), RAISE(-8053, EInvalidPageNumber, EFax),
                      RAISE(-8070, EFaxPageError, EFax), RAISE(-13801, ETapiAllocated, ETapi),
                      RAISE(-13805, ETapiCallUnavail, ETapi), RAISE(-13850, ETapiInvalParam, ETapi),
                      RAISE(-13853, ETapiInvalPointer, ETapi), RAISE(-13886, ETapiNoMultipleInstance, ETapi),
                      RAISE(-13928, ETapiBusy, ETapi), RAISE(-13942, ETapiTranslateFail, ETapi),
                      RAISE(-13980, ERasLoadFail, ERas)),
    [](const auto& row) { return std::string(row.param.name) + "_" + std::to_string(-row.param.code); });

// No leaf for these table codes, nor for codes that only alias a leaf code
// in 16 bits, nor for codes beyond the table.
TEST(CheckPortResult, CodesWithoutAClassRaiseQuonException) {
    for (int32_t code : {-1001, -3002, -4009, -4021, -5501, -6001, -6016, -7500, -8050, -8500, -13804, -13849,
                         -13929 - 1000, -(65536 + 2011), -(131072 + 13801), -1, -99999, INT32_MIN}) {
        try {
            CheckPortResult(nullptr, code);
            ADD_FAILURE() << code;
        } catch (const EQnException& e) {
            EXPECT_EQ(typeid(e), typeid(EQnException)) << code;
            EXPECT_STREQ(e.what(), "Quon exception");
            EXPECT_EQ(e.ErrorCode(), 0);
        }
    }
}

TEST(CheckPortResult, PassesSuccessAndLoadingResults) {
    struct Loading : IQnPortLoading {
        bool loading = true;
        bool ComponentLoading() const override { return loading; }
    } port;
    EXPECT_EQ(CheckPortResult(nullptr, 5), 5);
    EXPECT_EQ(CheckPortResult(nullptr, 0), 0);
    EXPECT_EQ(CheckPortResult(&port, -2011), -2011);
    port.loading = false;
    EXPECT_THROW(CheckPortResult(&port, -2011), ENoPortSelected);
}

// The table's text first; a code the table lacks (13) takes the host's text.
TEST(CheckPortResult, FileAndSystemCodesRaiseTheHostErrors) {
    EXPECT_THROW(CheckPortResult(nullptr, -8), std::bad_alloc);
    const std::pair<int32_t, const char*> rows[] = {
        {-2, "File not found"}, {-13, "Permission denied"}, {-162, "General failure"}};
    for (const auto& [code, text] : rows) {
        try {
            CheckPortResult(nullptr, code);
            FAIL() << code;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), -code);
            EXPECT_STREQ(e.what(), text);
        }
    }
}

}  // namespace
