// The scripted file dialog behind plain declarations (the services header and the forms
// header cannot share a unit).
#include "test_fileload_support.h"

#include "platform/FakeServices.h"

#include <memory>

namespace filetest {
namespace {
struct DialogFake {
    FakeFileDialogService Service;
    IFileDialogService* Previous = nullptr;
};
std::unique_ptr<DialogFake>& Fake()
{
    static std::unique_ptr<DialogFake> fake;
    return fake;
}
} // namespace

void InstallDialogFake()
{
    Fake() = std::make_unique<DialogFake>();
    Fake()->Previous = InstallFileDialogService(&Fake()->Service);
}

void RemoveDialogFake()
{
    if (!Fake())
        return;
    InstallFileDialogService(Fake()->Previous);
    Fake().reset();
}

void ChooseFile(const std::string& path, int filterIndex) { Fake()->Service.Choose(path, filterIndex); }
void CancelDialog() { Fake()->Service.Cancel(); }

std::vector<DialogRequest> DialogRequests()
{
    std::vector<DialogRequest> out;
    for (const auto& r : Fake()->Service.Requests)
        out.push_back({r.Save, r.Title, r.Directory, r.FileName, r.FilterIndex,
                       int(r.Filters.size()), r.OverwritePrompt});
    return out;
}

} // namespace filetest
