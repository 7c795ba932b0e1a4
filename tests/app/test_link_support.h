#pragma once
// The main window talking to a simulated radio on a pseudo-terminal through its real
// serial port and terminal.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "serial/SerialPort.h"
#include "serial/SerialTerminal.h"
#include "tools/radiosim/RadioSim.h"
#include "tools/radiosim/RadioSimPty.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

namespace apptest {

// Positions 7-23 of a memory record.
inline std::string Body(const std::string& hz, char mode, char lock, char toneFlag, const std::string& tone)
{
    return hz + mode + lock + toneFlag + tone + "0";
}

class RadioLinkTest : public ProgramTest {
protected:
    // Starts a simulated radio of the model (a name of the radio-type table) and points the
    // window's port and model at it.
    void Connect(const std::string& model, RadioSimOptions options = {})
    {
        PlugInRadio(RadioSim::ModelByName(model), options);
        CurrentRadio = FindRadioByField(model, 1);
        ASSERT_NE(CurrentRadio, 0) << model;
        Form1->ChangeRadioHandle(false);
        RxDelay = 400;
        TxDelay = 20;
    }

    // A simulated radio of the model (an index of the radio's own table) on a port of its
    // own, chosen as the serial settings dialog does: the window's model and grid stay.
    void PlugInRadio(int model, RadioSimOptions options = {})
    {
        Disconnect();
        sim_ = std::make_unique<RadioSim>(model, options);
        pty_ = std::make_unique<RadioSimPty>(*sim_);
        pty_->Start();
        const char* old = std::getenv("QUILLMERE_SERIAL_PORTS");
        if (savedPorts_.empty())
            savedPorts_ = old ? old : "";
        setenv("QUILLMERE_SERIAL_PORTS", (savedPorts_ + ":" + pty_->SlavePath()).c_str(), 1);
        Form1->ComPort->SetPort(pty_->SlavePath());
        Form1->ComPort->SetBaudRate(br9600);
        Form1->ComPort->FlowControl()->SetFlowControl(fcNone);
    }

    void Disconnect()
    {
        if (pty_)
            pty_->Stop();
        pty_.reset();
        sim_.reset();
    }

    void TearDown() override
    {
        if (Form1 && Form1->ComPort->Connected())
            Form1->ComPort->ClosePort();
        Disconnect();
        if (!savedPorts_.empty())
            setenv("QUILLMERE_SERIAL_PORTS", savedPorts_.c_str(), 1);
        ProgramTest::TearDown();
    }

    // Commands the radio heard (without ";") starting with the prefix.
    std::vector<std::string> Heard(const std::string& prefix = "") const
    {
        std::vector<std::string> out;
        for (const auto& c : sim_->Received())
            if (c.compare(0, prefix.size(), prefix) == 0)
                out.push_back(c);
        return out;
    }

    // Waits (pumping messages) until the condition holds or 5 s have passed.
    static bool WaitFor(const std::function<bool()>& condition)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Delay(10);
        }
        return true;
    }

    static std::string Cell(int col, int row) { return Form1->MemGrid->GetCell(col, row); }
    // Cells 1 to lastCol of rows first to last, row by row.
    static std::vector<std::string> Cells(int first, int last, int lastCol)
    {
        std::vector<std::string> cells;
        for (int r = first; r <= last; ++r)
            for (int c = 1; c <= lastCol; ++c)
                cells.push_back(Cell(c, r));
        return cells;
    }
    static std::string Status() { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    static std::vector<std::string> BoxTexts()
    {
        std::vector<std::string> texts;
        for (const auto& b : ShownBoxes())
            texts.push_back(b.Text);
        return texts;
    }

    std::unique_ptr<RadioSim> sim_;
    std::unique_ptr<RadioSimPty> pty_;
    std::string savedPorts_;
};

} // namespace apptest
