#pragma once
// Shared set-up of the port tests: the GUI thread's pump serving synchronised calls, a
// capture of the application's exception handler, and a bounded pumping wait.
#include "serial/SerialPort.h"

#include "framework/Thread.h"
#include "platform/EventLoop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class SerialFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMainThread();
        InitThreadSynchronization();
        SetApplicationExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                appErrors.push_back(x.what());
            }
        });
    }
    void TearDown() override
    {
        SerialPortFinalize();
        SetApplicationExceptionHandler(nullptr);
        DoneThreadSynchronization();
    }

    // Pumps messages until pred holds or ms have passed; never spins.
    static bool PumpUntil(const std::function<bool()>& pred, DWORD ms = 10000)
    {
        const DWORD start = EventLoopTicks();
        for (;;) {
            PumpMessages();
            if (pred())
                return true;
            if (EventLoopTicks() - start >= ms)
                return false;
            WaitAndPumpMessages(EventLoopTicks() + 50);
        }
    }

    std::vector<std::string> appErrors;
};

// Runs f and returns the port error it raised (0 when none), keeping the exception.
inline int PortErrorOf(const std::function<void()>& f, ESerialPort* out = nullptr)
{
    try {
        f();
    } catch (const ESerialPort& e) {
        if (out)
            *out = e;
        return e.PortErrorCode;
    }
    return 0;
}
