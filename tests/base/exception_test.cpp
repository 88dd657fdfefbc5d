#include "base/exception.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "base/debug_server.h"

namespace {
std::vector<std::string> g_boxes;
void recordBox(const char* caption, const char* text) {
    g_boxes.push_back(std::string(caption) + "|" + text);
}
}  // namespace

TEST(Exception, RaiseCopiesTheEntryWithItsArgument) {
    try {
        raise(errors::couldntReadFile, "data/x26.jpg");
        FAIL();
    } catch (const ExceptionType& e) {
        EXPECT_STREQ(e.getArgument(), "data/x26.jpg");
        EXPECT_EQ(e.text(), "Error - couldn't read file data/x26.jpg! Aborting...");
    }
    // The argument stays on the entry until the next raiser sets another.
    EXPECT_STREQ(errors::couldntReadFile.getArgument(), "data/x26.jpg");
}

TEST(Exception, TextsAreCutAt1023Characters) {
    std::string longName(3000, 'n');
    ExceptionType e(longName.c_str());
    e.setArgument(longName.c_str());
    EXPECT_EQ(std::string(e.getMessage()).size(), 1023u);
    EXPECT_EQ(std::string(e.getArgument()).size(), 1023u);
}

TEST(Exception, ReportLogsAndShowsTheBox) {
    g_boxes.clear();
    setErrorBoxHandler(recordBox);
    DebugServer log(0, 0);
    std::vector<std::string> lines;
    log.setSink([&](std::string_view line) { lines.emplace_back(line); });
    ExceptionServer server(log);
    server.report(errors::undefinedException);
    setErrorBoxHandler(nullptr);
    EXPECT_EQ(g_boxes, std::vector<std::string>{
                           "Fatal error!|Error - an undefined exception was thrown! Aborting..."});
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Error - an undefined exception was thrown! Aborting...",
                         "An exception occured - Aborting..."}));
}

TEST(Exception, MessageWithoutItsArgumentReadsWithAnEmptyText) {
    ExceptionType fresh("Error - file %s not found! Aborting...");
    EXPECT_EQ(fresh.text(), "Error - file  not found! Aborting...");
}

TEST(Exception, FailedAllocationRaisesOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports failed allocations itself";
#else
    installOutOfMemoryHandler();
    volatile size_t huge = size_t(1) << 62;
    try {
        void* p = ::operator new(huge);
        ::operator delete(p);
        ADD_FAILURE() << "allocation succeeded";
    } catch (const ExceptionType& e) {
        EXPECT_EQ(e.text(), "Error - out of memory! Aborting...");
    }
    // The handler stays installed for the next failure.
    EXPECT_THROW(::operator delete(::operator new(huge)), ExceptionType);
    std::set_new_handler(nullptr);
#endif
}
