#pragma once
// A simulated transceiver: it answers the radio's text command set from an in-memory store
// of 100 memories x 2 halves and a menu, as one of the models of ModelFacts would.
// The core does no I/O; RadioSimPty serves it on a pseudo-terminal.
#include "protocol/MemoryRecord.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Lost: the answer never leaves the radio.
enum class ErrorPlacement { Prefix, Replace, Lost };

// How the transmit half of a memory written as its receive half only reads back: as a copy
// of the receive half (half digit "1"), or as an empty half of all zeros.
enum class SimplexTransmitHalf { Copy, Zeros };

// One error answer put before ("?;" + answer) or in place of an answer, or the answer lost.
struct ErrorInjection {
    std::string Text = "?;";
    ErrorPlacement Placement = ErrorPlacement::Prefix;
    int GapMs = 0; // a pause between an error answer put before and the answer
};

struct RadioSimOptions {
    int LatencyMs = 0;         // from the end of a command to the first answer byte
    int Baud = 0;              // line pacing both ways, 10 bits a byte; 0: no pacing
    bool SplitAnswers = false; // every answer goes out as two writes
    int SplitGapMs = 20;       // pause between the two writes of a split answer
    int ErrorEvery = 0;        // every Nth answer gets ErrorEveryInjection; 0 never
    ErrorInjection ErrorEveryInjection;
    // Consumed one per answer before ErrorEvery is looked at; an empty Text leaves that
    // answer alone.
    std::deque<ErrorInjection> ErrorScript;
    bool Silence = false;      // the radio hears nothing and answers nothing
    int DropEvery = 0;         // every Nth "MW" is ignored; 0 never
    bool FillerInAnswers = false; // position 4 of "MR" answers is the model's filler
    SimplexTransmitHalf SimplexTx = SimplexTransmitHalf::Copy;
    int LateAnswer = 0;        // the Nth answer (from 1) comes after LateMs; 0 never
    int LateMs = 500;
};

// One write of answer bytes and when it is due: AfterMs after the end of the command that
// asked for it, or, for the second write of a split answer, after the write before it.
struct RadioSimWrite {
    std::string Bytes;
    int AfterMs = 0;
    bool Continues = false;
};

class RadioSim {
public:
    // model: 1..RadioModelCount; std::out_of_range otherwise.
    explicit RadioSim(int model, RadioSimOptions options = {});

    // Index of the model whose name equals the text (ASCII case ignored); 0 when none.
    static int ModelByName(const std::string& name);

    // Consumes command bytes (commands end in ";", CR and LF are ignored) and returns the
    // answer bytes of every completed command, in order. A command not yet ended waits
    // for the next call.
    std::string Feed(const std::string& bytes);
    // The same, keeping the writes apart: a split answer is two entries.
    std::vector<std::string> FeedWrites(const std::string& bytes);
    // The same, with the timing of each write.
    std::vector<RadioSimWrite> FeedTimed(const std::string& bytes);

    int Model() const;
    RadioSimOptions Options() const;
    void SetOptions(const RadioSimOptions& options);

    // The "MR" answer of a memory half as a query with filler "0" would get it.
    std::string MemoryRecord(int memory, int half) const;
    bool MemoryEmpty(int memory, int half) const;
    // body: positions 7-23 of the record (17 characters).
    void SetMemory(int memory, int half, const std::string& body);

    // The menu numbers of the model's set, ascending; empty for a model without menus.
    std::vector<int> Menus() const;
    // Menus of the model's menu set; -1 for a menu the set does not have.
    int MenuValue(int menu) const;
    void SetMenuValue(int menu, int value);
    int DisplayedMenu() const;
    void ShowMenu(int menu);
    // The simulated user steps through these menus: each "EX;" poll counts, and after
    // pollsPerStep polls the display moves on to the next menu (and stays on the last).
    void SetMenuScript(const std::vector<int>& menus, int pollsPerStep);

    bool PowerOn() const;
    char Lock() const;
    char Receiver() const;       // the "FR" value
    int SelectedMemory() const;
    char BeatCancel() const;
    std::vector<std::string> Received() const; // every command heard, without its ";"
    int WritesDropped() const;

    // Feeds each line of a file of commands ("#" starts a comment); answers are dropped.
    // A loaded memory may lie outside the band table, as one set on the radio itself can.
    // Returns false when the file cannot be read.
    bool LoadFile(const std::string& path);

private:
    struct Half {
        std::string Body; // empty: an empty memory
    };

    std::vector<RadioSimWrite> Execute(const std::string& command);
    std::string Answer(const std::string& command);
    std::string ReadMemory(const std::string& command) const;
    std::string WriteMemory(const std::string& command);
    std::string Menu(const std::string& command);
    bool InBand(const std::string& hz) const;
    bool HasMenu(int menu) const;
    std::string RecordText(int memory, int half, char filler) const;
    template <class T> T Locked(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }

    mutable std::mutex mutex_;
    int model_;
    RadioSimOptions options_;
    std::string pending_;
    std::array<std::array<Half, 2>, ::MemoryRecord::MemoryCount> memories_{};
    std::map<int, int> menus_;
    int displayed_ = 0;
    std::vector<int> script_;
    std::size_t scriptPos_ = 0;
    int pollsPerStep_ = 1;
    int polls_ = 0;
    bool power_ = true;
    bool autoInfo_ = false;
    char lock_ = '0';
    char receiver_ = '0';
    int selected_ = 0;
    char beatCancel_ = '0';
    int answers_ = 0;
    int writes_ = 0;
    int dropped_ = 0;
    bool loading_ = false;
    std::vector<std::string> received_;
};
