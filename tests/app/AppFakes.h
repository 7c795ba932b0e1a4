#pragma once
// The scripted desktop services for the application tests, behind plain declarations (the
// services header and the forms header cannot share a unit).
#include <string>
#include <vector>

namespace apptest {

struct ShownBox {
    std::string Text;
    std::string Caption;
    int Kind = 0;    // 0 warning, 1 error, 2 information, ...
    int Buttons = 0; // 0 OK, 1 OK/Cancel, 2 Yes/No, 3 Yes/No/Cancel
};

void InstallFakes();
void RemoveFakes();
std::vector<ShownBox> ShownBoxes();
// Answers for the next boxes with buttons to choose from: 6 yes, 7 no, 2 cancel.
void QueueAnswer(int id);
std::vector<std::string> OpenedUrls();
// From now on the desktop opens no file or address.
void ShellOpensNothing();

} // namespace apptest
