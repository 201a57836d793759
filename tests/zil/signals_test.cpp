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
        const int calls = ++m_calls;
        m_called->set();
        if (calls <= m_throwFirst)
            throw std::runtime_error("handler failed on purpose");
    }

    P<CSignal> m_called{new CSignal};
    std::atomic<int> m_signal{0};
    std::atomic<int64_t> m_threadID{0};
    std::atomic<int> m_calls{0};
    int m_throwFirst = 0;
};

} // namespace

TEST(CSystemSignalReceiverTest, SignalsReachTheHandlerOnTheReceiverThread)
{
    P<CSystemSignalReceiver> receiver = CSystemSignalReceiver::get();
    for (SysSignal signal :
         {SysSignal::terminate, SysSignal::hangup, SysSignal::interrupt, SysSignal::quit}) {
        const int number = static_cast<int>(signal);
        SCOPED_TRACE(number);
        P<CRecordingHandler> handler(new CRecordingHandler);
        receiver->setHandler(signal, handler.get());
        EXPECT_EQ(receiver->getHandler(signal), P<zil::ISystemSignalHandler>(handler.get()));
        ASSERT_EQ(::kill(::getpid(), number), 0);
        ASSERT_TRUE(handler->m_called->wait(10000)) << "the handler was never called";
        EXPECT_EQ(handler->m_signal.load(), number);
        EXPECT_NE(handler->m_threadID.load(), CThread::getCurrentID())
            << "the handler ran on the thread the signal interrupted";
        receiver->setHandler(signal, nullptr);
        EXPECT_FALSE(receiver->getHandler(signal));
    }
}

TEST(CSystemSignalReceiverTest, HandlerThatThrowsDoesNotStopTheReceiver)
{
    P<CSystemSignalReceiver> receiver = CSystemSignalReceiver::get();
    P<CRecordingHandler> handler(new CRecordingHandler);
    handler->m_throwFirst = 1;
    receiver->setHandler(SysSignal::hangup, handler.get());
    testing::internal::CaptureStderr();
    ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
    const bool first = handler->m_called->wait(10000);
    // The report is written after the handler returns: wait for the second call instead.
    handler->m_called->reset();
    ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
    const bool second = handler->m_called->wait(10000);
    const std::string err = testing::internal::GetCapturedStderr();
    receiver->setHandler(SysSignal::hangup, nullptr);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second) << "the receiver died with the first handler's exception";
    EXPECT_EQ(handler->m_calls.load(), 2);
    EXPECT_NE(err.find("handler failed on purpose"), std::string::npos) << err;
}

TEST(CSystemSignalReceiverTest, RemovingTheHandlerRestoresTheDefaultDeath)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            P<CSystemSignalReceiver> receiver = CSystemSignalReceiver::get();
            P<CRecordingHandler> handler(new CRecordingHandler);
            receiver->setHandler(SysSignal::terminate, handler.get());
            receiver->setHandler(SysSignal::terminate, nullptr);
            ::kill(::getpid(), SIGTERM);
            CThread::sleep(10000);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

TEST(CSystemSignalReceiverTest, RejectsSignalsItDoesNotHandle)
{
    P<CSystemSignalReceiver> receiver = CSystemSignalReceiver::get();
    P<CRecordingHandler> handler(new CRecordingHandler);
    for (int number : {0, 9, 11, 300}) {
        SCOPED_TRACE(number);
        EXPECT_THROW(receiver->setHandler(static_cast<SysSignal>(number), handler.get()),
                     zil::CInvalidArgError);
        EXPECT_FALSE(receiver->getHandler(static_cast<SysSignal>(number)));
    }
}

namespace {

std::atomic<int> g_ownSigPipeCalls{0};
extern "C" void ownSigPipeHandler(int)
{
    ++g_ownSigPipeCalls;
}

// Writes to a pipe whose reader is gone; exits 0 when the write failed with EPIPE.
[[noreturn]] void writeToClosedPipeAndExit()
{
    int fds[2];
    if (::pipe(fds) != 0)
        std::_Exit(2);
    ::close(fds[0]);
    const char byte = 'x';
    const bool epipe = ::write(fds[1], &byte, 1) < 0 && errno == EPIPE;
    std::_Exit(epipe ? 0 : 1);
}

} // namespace

TEST(CZilInitTest, ClosedPipeGivesEPIPEInsteadOfKillingDeath)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Without the init object the write kills the child: the baseline for the check below.
    // Ignored dispositions survive exec, so the children start from the default explicitly.
    EXPECT_EXIT(
        {
            ::signal(SIGPIPE, SIG_DFL);
            writeToClosedPipeAndExit();
        },
        testing::KilledBySignal(SIGPIPE), "");
    EXPECT_EXIT(
        {
            ::signal(SIGPIPE, SIG_DFL);
            zil::CZilInit init;
            writeToClosedPipeAndExit();
        },
        testing::ExitedWithCode(0), "");
    // An application's own SIGPIPE handler stays in place.
    EXPECT_EXIT(
        {
            ::signal(SIGPIPE, ownSigPipeHandler);
            zil::CZilInit init;
            ::raise(SIGPIPE);
            std::_Exit(g_ownSigPipeCalls.load() == 1 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
