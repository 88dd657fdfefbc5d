#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/app.h"
#include "base/debug_server.h"
#include "base/exception.h"

namespace {

std::vector<std::string> g_events;
void recordBox(const char*, const char* text) { g_events.push_back(std::string("box: ") + text); }

struct Region {
    DebugServer log{0, 0};
    ExceptionServer exceptions{log};
    Region() {
        g_events.clear();
        setErrorBoxHandler(recordBox);
    }
    ~Region() { setErrorBoxHandler(nullptr); }
    int run(const std::function<void()>& body, const std::function<void()>& close = [] {
        g_events.push_back("close");
    }) {
        return runCatchingErrors(exceptions, body, close);
    }
};

}  // namespace

TEST(CatchRegion, ErrorsCloseTheWindowFirstThenShowTheirBox) {
    Region r;
    EXPECT_EQ(r.run([] {}), 0);
    EXPECT_TRUE(g_events.empty());

    EXPECT_EQ(r.run([] { raise(errors::couldntReadFile, "data/x26.jpg"); }), -1);
    EXPECT_EQ(g_events, (std::vector<std::string>{
                            "close", "box: Error - couldn't read file data/x26.jpg! Aborting..."}));
}

TEST(CatchRegion, ThrownIntegersAndOtherValuesEndAsUndefinedExceptions) {
    Region r;
    for (int code = 0; code <= 4; ++code) {
        g_events.clear();
        EXPECT_EQ(r.run([code] { throw code; }), -1);
        EXPECT_EQ(g_events.back(), "box: Error - an undefined exception was thrown! Aborting...");
    }
    EXPECT_EQ(r.run([] { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(g_events.back(), "box: Error - an undefined exception was thrown! Aborting...");
}

TEST(CatchRegion, AFailingCloseDoesNotHideTheReport) {
    Region r;
    EXPECT_EQ(r.run([] { raise(errors::graphicsMode); }, [] { throw 0; }), -1);
    EXPECT_EQ(g_events,
              std::vector<std::string>{"box: Error - graphics mode not supported! Aborting..."});
}
