// Writing memory channels to the radio: only memories that differ from the radio's are
// cleared and written, and every write is checked by reading it back.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/SysUtils.h"
#include "protocol/MemoryRecord.h"

#include <algorithm>
#include <optional>

namespace {

namespace Rec = MemoryRecord;

constexpr unsigned ReopenPauseMs = 2000;
const std::string ZeroFrequency(Rec::Frequency.Size, '0');

std::string ClearingCommand(int memory, char half)
{
    const TRadioType& radio = CurrentRadioRecord();
    return Rec::Head("MW", half, radio.MemWriteFiller, memory) +
           std::string(Rec::LockOut.End() - Rec::Frequency.At, '0') + radio.MemClearTail + ";";
}

// Models whose clearing tail is blank write a blank where the radio answers "0": both
// say the tone is off.
char ToneFlag(const std::string& r)
{
    const char flag = Rec::At(r, Rec::ToneOn);
    return flag == ' ' ? '0' : flag;
}

// Whether the radio's answer shows a memory other than the write command would leave.
bool AnswerDiffers(const std::string& a, const std::string& w)
{
    if (a.empty())
        return true;
    if (Rec::ZeroFrequency(w))
        return Rec::Span(a, Rec::Memory, Rec::Frequency) !=
               Rec::Span(w, Rec::Memory, Rec::Frequency);
    return Rec::Get(a, Rec::Half) != Rec::Get(w, Rec::Half) ||
           Rec::Span(a, Rec::Memory, Rec::LockOut) != Rec::Span(w, Rec::Memory, Rec::LockOut) ||
           ToneFlag(a) != ToneFlag(w) ||
           (ToneFlag(w) == '1' && Rec::Get(a, Rec::Tone) != Rec::Get(w, Rec::Tone));
}

// Whether the radio's answer holds another memory than the write command w, as the grid
// reads a record: frequency, mode, lock-out on or off, and the tone number when the tone
// is on. Unlike AnswerDiffers, fillers and the form of "off" do not count.
bool ContentDiffers(const std::string& a, const std::string& w)
{
    if (a.size() != Rec::Length || w.size() != Rec::Length)
        return true;
    if (Rec::ZeroFrequency(w))
        return !Rec::ZeroFrequency(a);
    auto content = [](const std::string& r) {
        return Rec::Span(r, Rec::Frequency, Rec::Mode) +
               (Rec::At(r, Rec::LockOut) == '0' ? "0" : "1") +
               (ToneFlag(r) != '0' ? Rec::Get(r, Rec::Tone) : "-");
    };
    return content(a) != content(w);
}

bool RowIsSimplex(const TStringGrid& grid, int r)
{
    return grid.GetCell(mcTxFreq, r) == grid.GetCell(mcRxFreq, r) &&
           grid.GetCell(mcTxMode, r) == grid.GetCell(mcRxMode, r);
}

// Whether the radio's answer is the record r (an answer or a write command) character for
// character; the filler is the query's, not the memory's.
bool AnswerIsRecord(const std::string& a, const std::string& r)
{
    return Rec::Whole(a) && r.size() == Rec::Length && Rec::At(a, Rec::Half) == Rec::At(r, Rec::Half) &&
           Rec::Span(a, Rec::Memory, Rec::Tail) == Rec::Span(r, Rec::Memory, Rec::Tail);
}

// The write command that puts the record r back as it is.
std::string RecordWrite(const std::string& r, int memory)
{
    return Rec::Head("MW", Rec::At(r, Rec::Half), CurrentRadioRecord().MemWriteFiller, memory) +
           Rec::Get(r, Rec::Body) + ";";
}

bool OutsideBands(const std::string& w)
{
    std::int64_t hz = 0;
    for (char c : Rec::Get(w, Rec::Frequency))
        hz = hz * 10 + (c - '0');
    if (hz == 0)
        return false;
    const std::vector<TFreqBand> bands = CurrentRadioRecord().Bands();
    return std::none_of(bands.begin(), bands.end(),
                        [hz](const TFreqBand& b) { return b.Low <= hz && hz <= b.High; });
}

} // namespace

std::string TForm1::BuildMemoryWriteCommand(int M, int H)
{
    const TRadioType& radio = CurrentRadioRecord();
    const int r = M + 1;
    const std::string freqCell = MemGrid->GetCell(H == 1 ? mcRxFreq : mcTxFreq, r);
    const std::string modeCell = MemGrid->GetCell(H == 1 ? mcRxMode : mcTxMode, r);
    const std::string toneCell = MemGrid->GetCell(mcTone, r);
    std::string freq = freqCell.empty() ? ZeroFrequency : FreqTextToHz(freqCell);
    if (freq.size() != Rec::Frequency.Size)
        freq = ZeroFrequency;
    const std::string mode = Copy(ModeCodeByName(modeCell) + "0", 1, 1);
    std::string w = Rec::Head("MW", char('0' + H - 1), radio.MemWriteFiller, M) + freq + mode;
    w += MemGrid->GetCell(mcLockOut, r) == "FALSE" ? "0" : "1";
    if (!toneCell.empty() && toneCell != "N/A" && modeCell == "FM")
        w += std::string("1") + ToneTable[ToneIndexByText(toneCell)].ToneCode + " ";
    else
        w += radio.MemClearTail;
    return w + ";";
}

namespace {
// The radio's record of the memory half that the write command w writes; empty when the
// radio gave none.
std::string ReadBack(TForm1& form, const std::string& w)
{
    std::string answer;
    form.AskMemoryRecord("MR" + Rec::Span(w, Rec::Half, Rec::Memory) + ";", RadioTries, answer);
    return answer;
}
} // namespace

bool TForm1::DiffFreq(const std::string& W)
{
    return AnswerDiffers(ReadBack(*this, W), W);
}

bool TForm1::RowShowsMemoryAsRead(int M, const std::string& RxAnswer, const std::string& TxAnswer)
{
    if (ContentDiffers(RxAnswer, BuildMemoryWriteCommand(M, 1)))
        return false;
    if (!CurrentRadioRecord().HasSplitData())
        return true;
    const std::string tx = BuildMemoryWriteCommand(M, 2);
    return !ContentDiffers(TxAnswer, tx) ||
           (RowIsSimplex(*MemGrid, M + 1) && !ContentDiffers(TxAnswer, ClearingCommand(M, '1')));
}

bool TForm1::RowReadsAsRadioHolds(int M, const std::string& RxAnswer, const std::string& TxAnswer)
{
    if (!Rec::Whole(RxAnswer) || (CurrentRadioRecord().HasSplitData() && !Rec::Whole(TxAnswer)))
        return false;
    const int r = M + 1;
    std::vector<std::string> row;
    for (int c = mcRxFreq; c <= mcDescription; ++c)
        row.push_back(MemGrid->GetCell(c, r));
    // The read's own steps on the row, so that the grid's view of a record is written once.
    PutMemoryInRow(M, RxAnswer, TxAnswer);
    const std::vector<std::string> asRead = MemoryRowCells(M);
    for (int c = mcRxFreq; c <= mcDescription; ++c)
        MemGrid->SetCell(c, r, row[std::size_t(c - mcRxFreq)]);
    UpdateEditFields();
    return std::equal(asRead.begin(), asRead.end(), row.begin());
}

std::vector<std::string> TForm1::MemoryRowCells(int M) const
{
    std::vector<std::string> cells;
    for (int c = mcRxFreq; c <= mcLockOut; ++c)
        cells.push_back(MemGrid->GetCell(c, M + 1));
    return cells;
}

void TForm1::KeepMemoryWhileRowUnchanged(int M, bool Keep)
{
    if (Keep)
        FKeptWhileUnchanged[M] = TKeptMemory{MemoryRowCells(M), {}};
    else
        FKeptWhileUnchanged.erase(M);
}

void TForm1::KeepMemoryAsRead(int M, const std::string& RxAnswer, const std::string& TxAnswer)
{
    FKeptWhileUnchanged[M] = TKeptMemory{MemoryRowCells(M), {RxAnswer, TxAnswer}};
}

bool TForm1::SendSubTX(const std::string& W) { return WriteAndCheck(W, false); }

bool TForm1::WriteAndCheck(const std::string& W, bool Exact)
{
    int failed = 0;
    bool different = true;
    while (different && failed < RadioTries) {
        Send(W);
        Delay(static_cast<unsigned>(std::max(TxDelay, 0)));
        different = Exact ? !AnswerIsRecord(ReadBack(*this, W), W) : DiffFreq(W);
        if (different && ++failed == RadioTries) {
            // A radio does not take a frequency outside its bands, however long it is given.
            if (OutsideBands(W)) {
                OKMessage("The radio refused memory " + Rec::Get(W, Rec::Memory) + ": " +
                              HzToFreqText(Rec::Get(W, Rec::Frequency)) + " lies outside the bands of the " +
                              CurrentRadioRecord().RadioName + ".\rThe send ended at this memory.",
                          MessageKind::Error);
                return false;
            }
            OKMessage("Communication problem!\r\rPlease increase the \"TX delay\" to solve this "
                      "problem!",
                      MessageKind::Warning);
            ComPortClose();
            Delay(ReopenPauseMs);
            OpenAndCheckCom();
        }
    }
    if (failed >= RadioTries) {
        ReportLinkError();
        return false;
    }
    return true;
}

namespace {
bool ClearOnRadio(TForm1& form, int m)
{
    return form.SendSubTX(ClearingCommand(m, '0')) &&
           (!CurrentRadioRecord().HasSplitData() || form.SendSubTX(ClearingCommand(m, '1')));
}
} // namespace

bool TForm1::SendRow(int M)
{
    const int r = M + 1;
    const bool split = CurrentRadioRecord().HasSplitData();
    const bool simplex = RowIsSimplex(*MemGrid, r);
    const std::string rx = BuildMemoryWriteCommand(M, 1);
    const std::string tx = BuildMemoryWriteCommand(M, 2);
    const std::string rxAnswer = ReadBack(*this, rx);
    const std::string txAnswer = split ? ReadBack(*this, tx) : std::string();
    // A simplex memory is written as its receive half only; radios read its transmit half
    // back as a copy of the receive half or as an empty half.
    const bool different =
        (AnswerDiffers(rxAnswer, rx) ||
         (split && AnswerDiffers(txAnswer, tx) &&
          (!simplex || AnswerDiffers(txAnswer, ClearingCommand(M, '1'))))) &&
        !RowReadsAsRadioHolds(M, rxAnswer, txAnswer);
    if (!different)
        return true;
    bool ok = ClearOnRadio(*this, M);
    if (ok && !MemGrid->GetCell(mcRxFreq, r).empty())
        ok = SendSubTX(rx);
    if (ok && !simplex)
        ok = SendSubTX(tx);
    return ok;
}

bool TForm1::SendReadRecords(int M, const TKeptMemory& Kept)
{
    const int halves = CurrentRadioRecord().HasSplitData() ? 2 : 1;
    std::string writes[2];
    for (int h = 0; h < halves; ++h)
        writes[h] = RecordWrite(Kept.Records[h], M);
    auto held = [&](int h) { return AnswerIsRecord(ReadBack(*this, writes[h]), writes[h]); };
    if (held(0) && (halves == 1 || held(1)))
        return true;
    bool ok = ClearOnRadio(*this, M);
    // An empty half is what the clearing left; a transmit half may already read as the
    // record once the receive half is written.
    for (int h = 0; h < halves && ok; ++h)
        if (!Rec::ZeroFrequency(writes[h]) && (h == 0 || !held(h)))
            ok = WriteAndCheck(writes[h], true);
    return ok;
}

void TForm1::TX_Action_Mem(std::uint8_t From, std::uint8_t To)
{
    bool ok = true;
    const int start = MemEdit->Value();
    auto failedText = [](int m) {
        return "Sending memory: " + IntToStr(m) + " to radio failed.";
    };
    auto failedAt = [&](int m) { ShowStatus(failedText(m)); };
    ChangeEnabled(false);
    ShowStatus("Starting to send memory settings to radio.");
    SetProgressRange(From, static_cast<std::uint8_t>(To + 1));
    int m = From;
    try {
        if (!OpenAndCheckCom()) {
            ReportLinkError();
        } else {
            SendControlled("LK0;", 2);
            for (; m <= To && !StopRequest; ++m) {
                SetMemProgressBar(static_cast<std::uint8_t>(m + 1));
                MemGrid->SetRow(m + 1);
                UpdateEditFields();
                std::optional<TKeptMemory> asRead;
                if (auto kept = FKeptWhileUnchanged.find(m); kept != FKeptWhileUnchanged.end()) {
                    // The row shows the radio's memory only as near as it can, or not at
                    // all: sent, it would change the memory, which the user has not asked for.
                    if (kept->second.Cells != MemoryRowCells(m))
                        FKeptWhileUnchanged.erase(kept);
                    else if (kept->second.Records[0].empty())
                        continue;
                    else
                        asRead = kept->second;
                }
                if (!asRead)
                    UpdateMemGrid();
                ShowStatus("Sending memory: " + IntToStr(m) + " to radio.");
                ok = asRead ? SendReadRecords(m, *asRead) : SendRow(m);
                // A write that failed five times has been reported; going on would only
                // wait on a closed link for every memory left.
                if (!ok) {
                    failedAt(m);
                    break;
                }
            }
            if (ok)
                ShowStatus("Finished memory TX.");
        }
        ComPortClose();
        ShowMemoryAfterAction(start);
    } catch (...) {
        EndInterruptedMemoryAction(failedText(std::min<int>(m, To)), start);
        throw;
    }
    ChangeEnabled(true);
}

void TForm1::MemChanTXButtonClick(TObject*) { TX_Action_Mem(0, LastMemory); }
