#include "AppFakes.h"

#include "platform/FakeServices.h"

#include <memory>

namespace apptest {
namespace {
std::unique_ptr<FakeServices>& Fakes()
{
    static std::unique_ptr<FakeServices> fakes;
    return fakes;
}
} // namespace

void InstallFakes() { Fakes() = std::make_unique<FakeServices>(); }
void RemoveFakes() { Fakes().reset(); }

std::vector<ShownBox> ShownBoxes()
{
    std::vector<ShownBox> boxes;
    for (const auto& m : Fakes()->Messages.Shown)
        boxes.push_back({m.Text, m.Caption, static_cast<int>(m.Kind), static_cast<int>(m.Buttons)});
    return boxes;
}

void QueueAnswer(int id) { Fakes()->Messages.Answers.push_back(id); }

std::vector<std::string> OpenedUrls() { return Fakes()->Shell.Opened; }

void ShellOpensNothing() { Fakes()->Shell.OpenSucceeds = false; }

} // namespace apptest
