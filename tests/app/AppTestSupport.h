#pragma once
// The program's modules and windows on the offscreen platform, with a temporary
// configuration folder, scripted message boxes and two listed serial ports.
#include "app/AboutFormUnit.h"
#include "app/ComportSettingsUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/OptionsFormUnit.h"
#include "app/PrintMemFormUnit.h"
#include "app/ProgramMain.h"
#include "app/RadiotypeUnit.h"
#include "app/Range_Select.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"
#include "common/TempFolder.h"
#include "framework/Forms.h"
#include "framework/Modules.h"
#include "framework/Registry.h"
#include "framework/Resources.h"
#include "AppFakes.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace apptest {

inline std::filesystem::path SourceRoot()
{
    if (const char* env = std::getenv("QM_SOURCE_DIR"); env && *env)
        return env;
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

// The information box that follows a copy is the last of count boxes shown.
inline void ExpectCopyNotice(std::size_t count)
{
    ASSERT_EQ(ShownBoxes().size(), count);
    EXPECT_EQ(ShownBoxes()[count - 1].Text, "Selection copied to clipboard.\rUse the \"paste\" function from another\r"
                                            "application to get the selection.");
    EXPECT_EQ(ShownBoxes()[count - 1].Kind, 2);
}

// One notch of the wheel down, then two up, through the window's handlers: the value is
// afterDown after the first and afterUps after the others.
inline void ExpectWheelSteps(const std::function<int()>& value, int afterDown, int afterUps)
{
    bool handled = false;
    Form1->FormMouseWheelDown(nullptr, {}, {}, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(value(), afterDown);
    Form1->FormMouseWheelUp(nullptr, {}, {}, handled);
    Form1->FormMouseWheelUp(nullptr, {}, {}, handled);
    EXPECT_EQ(value(), afterUps);
}

// The program embeds its form descriptions; the tests register the same files.
inline void RegisterFormDescriptions()
{
    static std::list<std::string> texts; // resources keep pointers into these
    for (const auto& entry : std::filesystem::directory_iterator(SourceRoot() / "resources/forms")) {
        if (entry.path().extension() != ".qfm")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        texts.push_back(text.str());
        std::string name = entry.path().stem().string();
        for (auto& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        RegisterResource(name, texts.back().data(), texts.back().size());
    }
}

constexpr const char* FirstTestPort = "/0qm-test/ttyQM0";
constexpr const char* SecondTestPort = "/0qm-test/ttyQM1";

inline void StartProgramModules()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    setenv("QUILLMERE_SERIAL_PORTS", (std::string(SecondTestPort) + ":" + FirstTestPort).c_str(), 1);
    RegisterFormDescriptions();
    AddProgramModules();
    static char arg0[] = "quillmere";
    static char* argv[] = {arg0, nullptr};
    InitModules(1, argv);
    Application->Initialize();
    Application->SetTitle("Quillmere");
}

// A fresh configuration folder per test; Restart() ends the run as the program does
// (registry written) and starts the windows again on the same folder.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartProgramModules();
        configDir_ = commontest::MakeTempDir("quillmere-app");
        ASSERT_FALSE(configDir_.empty());
        setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
        RegistryReload();
        InstallFakes();
        BeforeStart();
        Start();
    }

    void TearDown() override
    {
        FreeForms();
        RemoveFakes();
        RegistryReload();
        std::error_code ec;
        std::filesystem::remove_all(configDir_, ec);
    }

    // Runs before the first start: tests prepare the stored settings here.
    virtual void BeforeStart() {}

    void Start()
    {
        GlobalsInitialization();
        CreateProgramForms();
        // Closing the window in a test hides it instead of ending the run.
        Application->SetMainForm(nullptr);
    }

    void Restart()
    {
        FreeForms();
        RegistryShutdown();
        RegistryReload();
        Start();
    }

    void FreeForms()
    {
        TForm* forms[] = {ComportSettingsForm, SplashForm, OptionsForm, Range_Selection,
                          DisclaimForm, FindForm, PrintMemForm, AboutForm, RadioTypeForm, Form1};
        for (TForm* f : forms)
            FreeObject(f);
    }

    static void WriteValue(const std::string& key, const std::string& name, const std::string& value)
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(std::string("Software\\Quillmere\\") + key, true));
        reg.WriteString(name, value);
    }

    static std::string ReadValue(const std::string& key, const std::string& name)
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (!reg.OpenKeyReadOnly(std::string("Software\\Quillmere\\") + key) || !reg.ValueExists(name))
            return "<missing>";
        return reg.ReadString(name);
    }

    using NamedValues = std::initializer_list<std::pair<const char*, std::string>>;
    static void WriteValues(const std::string& key, NamedValues values)
    {
        for (const auto& [name, value] : values)
            WriteValue(key, name, value);
    }
    static void ExpectValues(const std::string& key, NamedValues values)
    {
        for (const auto& [name, value] : values)
            EXPECT_EQ(ReadValue(key, name), value) << key << "\\" << name;
    }

    std::string configDir_;
};

} // namespace apptest
