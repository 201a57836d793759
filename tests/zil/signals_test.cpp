// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/init.h>
#include <zil/signals.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

using zil::CSignal;
using zil::CSystemSignalReceiver;
using zil::CThread;
using zil::P;
using zil::SysSignal;

namespace {

class CRecordingHandler : public zil::CBase, public zil::ISystemSignalHandler {
public:
    void handleSystemSignal(SysSignal signal) override
    {
        m_signal = static_cast<int>(signal);
        m_threadID = CThread::getCurrentID();
        m_called->set();
        if (++m_calls == 1)
            throw std::runtime_error("handler failed on purpose");
    }

    P<CSignal> m_called{new CSignal};
    std::atomic<int> m_signal{0};
    std::atomic<int64_t> m_threadID{0};
    std::atomic<int> m_calls{0};
};

} // namespace

// Each handler throws on its first call; the receiver reports that and goes on.
TEST(CSystemSignalReceiverTest, SignalsReachTheHandlerOnTheReceiverThread)
{
    P<CSystemSignalReceiver> receiver = CSystemSignalReceiver::get();
    testing::internal::CaptureStderr();
    for (SysSignal signal :
         {SysSignal::terminate, SysSignal::hangup, SysSignal::interrupt, SysSignal::quit}) {
        const int number = static_cast<int>(signal);
        SCOPED_TRACE(number);
        P<CRecordingHandler> handler(new CRecordingHandler);
        receiver->setHandler(signal, handler.get());
        for (int call = 1; call <= 2; ++call) {
            handler->m_called->reset();
            ASSERT_EQ(::kill(::getpid(), number), 0);
            ASSERT_TRUE(handler->m_called->wait(10000)) << "call " << call << " never came";
        }
        EXPECT_EQ(handler->m_signal.load(), number);
        EXPECT_NE(handler->m_threadID.load(), CThread::getCurrentID())
            << "the handler ran on the thread the signal interrupted";
        receiver->setHandler(signal, nullptr);
        EXPECT_FALSE(receiver->getHandler(signal));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("handler failed on purpose"), std::string::npos) << err;
    P<CRecordingHandler> handler(new CRecordingHandler);
    for (int number : {0, 9, 11, 300})
        EXPECT_THROW(receiver->setHandler(static_cast<SysSignal>(number), handler.get()),
                     zil::CInvalidArgError);
}

static std::atomic<int> g_ownSigPipeCalls{0};

// Removing a handler brings back the default death. Writing to a pipe whose reader is gone
// fails with EPIPE instead of killing the process, and an application's own SIGPIPE handler
// stays in place. Ignored dispositions survive exec, so the children start from the default
// explicitly.
TEST(CSystemSignalReceiverTest, DefaultDispositionsAfterRemovalAndInitDeath)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            P<CRecordingHandler> handler(new CRecordingHandler);
            CSystemSignalReceiver::get()->setHandler(SysSignal::terminate, handler.get());
            CSystemSignalReceiver::get()->setHandler(SysSignal::terminate, nullptr);
            ::kill(::getpid(), SIGTERM);
            CThread::sleep(10000);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EXIT(
        {
            ::signal(SIGPIPE, SIG_DFL);
            zil::CZilInit init;
            int fds[2];
            const char byte = 'x';
            const bool epipe =
                ::pipe(fds) == 0 && ::close(fds[0]) == 0 && ::write(fds[1], &byte, 1) < 0 && errno == EPIPE;
            std::_Exit(epipe ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ::signal(SIGPIPE, [](int) { ++g_ownSigPipeCalls; });
            zil::CZilInit init;
            ::raise(SIGPIPE);
            std::_Exit(g_ownSigPipeCalls.load() == 1 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
