#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "KS.WizardObserver.h"

using namespace KS;

TEST(WizardObserver, WithoutHandlersIgnoresReportsAndAnswersNotCancelledAndAbort) {
    auto observer = System::MakeRef<TWizardObserver>();
    observer->Status(u"Removendo");
    observer->Progress(1, 2);
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"C:\\a.txt", u"negado"), ErrorChoiceAbort);
}

TEST(WizardObserver, ForwardsEachCallToItsHandlerOnce) {
    auto observer = System::MakeRef<TWizardObserver>();
    std::u16string calls;
    observer->OnStatus = [&](const std::u16string& text) { calls += u"status " + text + u";"; };
    observer->OnProgress = [&](int64_t done, int64_t total) {
        calls += u"progress;";
        EXPECT_EQ(done, int64_t(1) << 40);
        EXPECT_EQ(total, (int64_t(1) << 41) + 3);
    };
    observer->OnCancelled = [&](bool& cancelled) {
        calls += u"cancel;";
        cancelled = true;
    };
    observer->OnErrorChoice = [&](const std::u16string& fileName, const std::u16string& message, uint8_t& choice) {
        calls += u"error " + fileName + u" " + message + u";";
        choice = ErrorChoiceIgnore;
    };
    observer->Status(u"Removendo");
    observer->Progress(int64_t(1) << 40, (int64_t(1) << 41) + 3);
    EXPECT_TRUE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"a.txt", u"negado"), ErrorChoiceIgnore);
    EXPECT_EQ(calls, u"status Removendo;progress;cancel;error a.txt negado;");
}

TEST(WizardObserver, HandlersThatLeaveTheAnswerGiveNotCancelledAndAbort) {
    auto observer = System::MakeRef<TWizardObserver>();
    observer->OnCancelled = [](bool&) {};
    observer->OnErrorChoice = [](const std::u16string&, const std::u16string&, uint8_t&) {};
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"a", u"b"), ErrorChoiceAbort);
}

// A provider whose own worker reports straight to the window's observer.
TEST(WizardObserverDeathTest, ACallFromAnotherThreadStopsTheProgramWhenChecksAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    FatalObserverThreadChecks = true;
    auto observer = System::MakeRef<TWizardObserver>();
    observer->UiThread = std::this_thread::get_id();
    int reports = 0;
    observer->OnProgress = [&](int64_t, int64_t) { ++reports; };
    EXPECT_DEATH(
        {
            std::thread worker([&] { observer->Progress(1, 2); });
            worker.join();
        },
        "outside the UI thread");
    EXPECT_EQ(reports, 0);
    FatalObserverThreadChecks = false;
}

TEST(WizardObserver, OffTheUiThreadWithoutFatalChecksDropsReportsAndAnswersAsWithoutHandlers) {
    FatalObserverThreadChecks = false;
    auto observer = System::MakeRef<TWizardObserver>();
    observer->UiThread = std::this_thread::get_id();
    int calls = 0;
    observer->OnStatus = [&](const std::u16string&) { ++calls; };
    observer->OnCancelled = [&](bool& cancelled) { cancelled = true, ++calls; };
    observer->OnErrorChoice = [&](const std::u16string&, const std::u16string&, uint8_t& choice) {
        choice = ErrorChoiceRetry, ++calls;
    };
    bool cancelled = true;
    uint8_t choice = ErrorChoiceRetry;
    std::thread worker([&] {
        observer->Status(u"x");
        cancelled = observer->Cancelled();
        choice = observer->ErrorChoice(u"a", u"b");
    });
    worker.join();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(choice, ErrorChoiceAbort);
}
