#pragma once
// The scripted services as the dialog and print tests need them, behind plain declarations.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDialog;

namespace dlgtest {

void Install();
void Remove();
std::vector<std::string> MessageTexts();
std::vector<std::string> Problems();
void QueuePrinterSetup(bool confirm);
void QueueFolder(std::optional<std::string> folder);
std::vector<std::string> FolderCaptions();
void SetUinHandler(bool present);
std::vector<std::string> Opened();
// The Qt printer instead of the fake one (for a real PDF).
void UseRealPrinter();
// This machine's font list instead of the fake one.
void UseRealFontList();
// The next real print dialog is confirmed choosing to print into the file pdf.
void ConfirmPrintDialogToFile(const std::string& pdf);
// Answers the real print dialog once it shows, then confirms it.
void WhenPrintDialogShows(std::function<void(QDialog*)> answer);
void ChoosePrintToFile(QDialog* dialog, const std::string& pdf);

int DocumentCount();
int PageCount(int doc);
int PageWidth(int doc, int page);
int PageHeight(int doc, int page);
unsigned Pixel(int doc, int page, int x, int y); // 0x00BBGGRR
// Whether some pixel of the rows y0..y1 (all columns) has the colour.
bool RowsHold(int doc, int page, int y0, int y1, unsigned color);
// Rows that are not all white: {first, last}, or {-1, -1}.
std::pair<int, int> InkRows(int doc, int page);
bool SavePage(int doc, int page, const std::string& file);

} // namespace dlgtest
