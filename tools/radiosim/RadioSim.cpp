#include "tools/radiosim/RadioSim.h"

#include "protocol/MemoryRecord.h"
#include "tools/radiosim/ModelFacts.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <stdexcept>

namespace {

bool AllDigits(const std::string& s, std::size_t from, std::size_t count)
{
    if (from + count > s.size())
        return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int Number(const std::string& s, std::size_t from, std::size_t count)
{
    int v = 0;
    std::from_chars(s.data() + from, s.data() + from + count, v);
    return v;
}

std::string Digits(long long value, int width)
{
    std::string s = std::to_string(value);
    if (int(s.size()) < width)
        s.insert(0, std::size_t(width - int(s.size())), '0');
    return s;
}

namespace Rec = MemoryRecord;

const std::string EmptyBody(Rec::Body.Size, '0');
const std::string Refused = "?;";

} // namespace

RadioSim::RadioSim(int model, RadioSimOptions options) : model_(model), options_(std::move(options))
{
    for (int menu = 0; menu < ModelFacts(model).MenuCount; ++menu)
        menus_[menu] = 0;
}

int RadioSim::ModelByName(const std::string& name) { return ModelFactsByName(name); }

std::string RadioSim::Feed(const std::string& bytes)
{
    std::string out;
    for (const RadioSimWrite& w : FeedTimed(bytes))
        out += w.Bytes;
    return out;
}

std::vector<std::string> RadioSim::FeedWrites(const std::string& bytes)
{
    std::vector<std::string> writes;
    for (RadioSimWrite& w : FeedTimed(bytes))
        writes.push_back(std::move(w.Bytes));
    return writes;
}

std::vector<RadioSimWrite> RadioSim::FeedTimed(const std::string& bytes)
{
    std::lock_guard lock(mutex_);
    std::vector<RadioSimWrite> writes;
    for (char c : bytes) {
        if (c == '\r' || c == '\n')
            continue;
        if (c != ';') {
            // A garbled line never ends: keep the buffer bounded.
            if (pending_.size() < 64)
                pending_ += c;
            continue;
        }
        std::string command;
        command.swap(pending_);
        for (RadioSimWrite& w : Execute(command))
            writes.push_back(std::move(w));
    }
    return writes;
}

std::vector<RadioSimWrite> RadioSim::Execute(const std::string& command)
{
    if (options_.Silence)
        return {};
    received_.push_back(command);
    std::string answer = Answer(command);
    if (answer.empty())
        return {};

    ++answers_;
    ErrorInjection inject{"", ErrorPlacement::Prefix};
    if (!options_.ErrorScript.empty()) {
        inject = options_.ErrorScript.front();
        options_.ErrorScript.pop_front();
    } else if (options_.ErrorEvery > 0 && answers_ % options_.ErrorEvery == 0) {
        inject = options_.ErrorEveryInjection;
    }
    if (inject.Placement == ErrorPlacement::Lost)
        return {};
    const int after = answers_ == options_.LateAnswer ? options_.LateMs : options_.LatencyMs;
    if (!inject.Text.empty() && inject.Placement == ErrorPlacement::Prefix && inject.GapMs > 0)
        return {{inject.Text, after, false}, {answer, inject.GapMs, true}};
    if (!inject.Text.empty())
        answer = inject.Placement == ErrorPlacement::Replace ? inject.Text : inject.Text + answer;

    if (options_.SplitAnswers && answer.size() >= 2) {
        const std::size_t cut = answer.size() / 2;
        return {{answer.substr(0, cut), after, false},
                {answer.substr(cut), options_.SplitGapMs, true}};
    }
    return {{answer, after, false}};
}

std::string RadioSim::Answer(const std::string& c)
{
    const RadioModelFacts& radio = ModelFacts(model_);
    if (c.size() < 2)
        return Refused;
    const std::string code = c.substr(0, 2);

    // Switched off, the radio listens only for the power command.
    if (!power_ && code != "PS")
        return {};

    if (code == "PS") {
        if (c == "PS")
            return power_ ? "PS1;" : "PS0;";
        if (c == "PS0" || c == "PS1") {
            if (!radio.PowerSwitch)
                return Refused;
            power_ = c[2] == '1';
            return {};
        }
        return Refused;
    }
    if (code == "ID" && c.size() == 2)
        return "ID" + std::string(radio.Id) + ";";
    if (code == "EQ" && c.size() == 2)
        return radio.InterfaceBoard ? "EQ;" : Refused;
    if (code == "AI") {
        if (c.size() == 3 && (c[2] == '0' || c[2] == '1')) {
            autoInfo_ = c[2] == '1';
            return {};
        }
        return c.size() == 2 ? std::string("AI") + (autoInfo_ ? '1' : '0') + ";" : Refused;
    }
    if (code == "BC") {
        if (c.size() == 2)
            return std::string("BC") + beatCancel_ + ";";
        const char top = radio.SecondBeatCanceller ? '2' : '1';
        if (c.size() == 3 && c[2] >= '0' && c[2] <= top) {
            beatCancel_ = c[2];
            return {};
        }
        return Refused;
    }
    if (code == "LK") {
        if (c.size() == 2)
            return std::string("LK") + lock_ + ";";
        if (c.size() == 3 && (c[2] == '0' || c[2] == '1')) {
            lock_ = c[2];
            return {};
        }
        return Refused;
    }
    if (code == "FR") {
        if (c.size() == 2)
            return std::string("FR") + receiver_ + ";";
        if (c.size() == 3 && c[2] >= '0' && c[2] <= '2') {
            receiver_ = c[2];
            return {};
        }
        return Refused;
    }
    if (code == "MC") {
        if (!radio.MemorySelect)
            return Refused;
        if (c.size() == 2)
            return "MC " + Digits(selected_, 2) + ";";
        // "MC" + blank or hundreds digit + two digits.
        if (c.size() == 5 && (c[2] == ' ' || c[2] == '0') && AllDigits(c, 3, 2)) {
            selected_ = Number(c, 3, 2);
            return {};
        }
        return Refused;
    }
    if (code == "MR")
        return ReadMemory(c);
    if (code == "MW")
        return WriteMemory(c);
    if (code == "EX")
        return Menu(c);
    return Refused;
}

std::string RadioSim::RecordText(int memory, int half, char filler) const
{
    const auto& halves = memories_[std::size_t(memory)];
    const bool copied = half == 1 && halves[1].Body.empty()
        && options_.SimplexTx == SimplexTransmitHalf::Copy;
    const std::string& body = copied ? halves[0].Body : halves[std::size_t(half)].Body;
    return Rec::Head("MR", char('0' + half), std::string(1, filler), memory)
        + (body.empty() ? EmptyBody : body) + ";";
}

std::string RadioSim::ReadMemory(const std::string& c) const
{
    const RadioModelFacts& radio = ModelFacts(model_);
    // A query is a record's head: "MR", half, filler and memory.
    const char half = Rec::At(c, Rec::Half);
    if (c.size() != Rec::Memory.End() || (half != '0' && half != '1')
        || !AllDigits(c, Rec::Memory.At, Rec::Memory.Size))
        return Refused;
    if (half == '1' && !radio.TransmitHalf)
        return Refused;
    const char filler = options_.FillerInAnswers ? radio.Filler : Rec::At(c, Rec::Filler);
    return RecordText(Number(c, Rec::Memory.At, Rec::Memory.Size), half - '0', filler);
}

std::string RadioSim::WriteMemory(const std::string& c)
{
    const RadioModelFacts& radio = ModelFacts(model_);
    // A whole record but its ";", written with the model's own filler.
    const char half = Rec::At(c, Rec::Half);
    if (c.size() != Rec::Length - 1 || (half != '0' && half != '1')
        || Rec::At(c, Rec::Filler) != radio.Filler
        || !AllDigits(c, Rec::Memory.At, Rec::Memory.Size)
        || !AllDigits(c, Rec::Frequency.At, Rec::Frequency.Size))
        return Refused;
    if (half == '1' && !radio.TransmitHalf)
        return Refused;
    const std::string hz = Rec::Get(c, Rec::Frequency);
    const bool clearing = Rec::ZeroFrequency(c);
    if (!clearing && !loading_ && !InBand(hz))
        return Refused;
    ++writes_;
    if (options_.DropEvery > 0 && writes_ % options_.DropEvery == 0) {
        ++dropped_;
        return {};
    }
    Half& h = memories_[std::size_t(Number(c, Rec::Memory.At, Rec::Memory.Size))]
                       [std::size_t(half - '0')];
    h.Body = clearing ? std::string() : Rec::Get(c, Rec::Body);
    return {};
}

bool RadioSim::InBand(const std::string& hz) const
{
    long long f = 0;
    std::from_chars(hz.data(), hz.data() + hz.size(), f);
    for (const RadioBand& band : ModelFacts(model_).Bands)
        if (band.High > 0 && f >= band.Low && f <= band.High)
            return true;
    return false;
}

bool RadioSim::HasMenu(int menu) const { return menus_.count(menu) != 0; }

std::string RadioSim::Menu(const std::string& c)
{
    if (menus_.empty())
        return Refused;
    if (c.size() == 2) {
        if (!script_.empty()) {
            displayed_ = script_[scriptPos_];
            if (++polls_ >= pollsPerStep_) {
                polls_ = 0;
                if (scriptPos_ + 1 < script_.size())
                    ++scriptPos_;
            }
        }
        return "EX" + Digits(displayed_, 3) + Digits(menus_[displayed_], 4) + ";";
    }
    if (c.size() == 9 && AllDigits(c, 2, 7)) {
        const int menu = Number(c, 2, 3);
        if (!HasMenu(menu))
            return Refused;
        menus_[menu] = Number(c, 5, 4);
        return {};
    }
    return Refused;
}

int RadioSim::Model() const { return model_; }

RadioSimOptions RadioSim::Options() const { return Locked(options_); }

void RadioSim::SetOptions(const RadioSimOptions& options)
{
    std::lock_guard lock(mutex_);
    options_ = options;
}

std::string RadioSim::MemoryRecord(int memory, int half) const
{
    std::lock_guard lock(mutex_);
    if (memory < 0 || memory >= Rec::MemoryCount || half < 0 || half > 1)
        throw std::out_of_range("radiosim: no memory half");
    return RecordText(memory, half, '0');
}

bool RadioSim::MemoryEmpty(int memory, int half) const
{
    std::lock_guard lock(mutex_);
    if (memory < 0 || memory >= Rec::MemoryCount || half < 0 || half > 1)
        throw std::out_of_range("radiosim: no memory half");
    return memories_[std::size_t(memory)][std::size_t(half)].Body.empty();
}

void RadioSim::SetMemory(int memory, int half, const std::string& body)
{
    std::lock_guard lock(mutex_);
    if (memory < 0 || memory >= Rec::MemoryCount || half < 0 || half > 1
        || body.size() != Rec::Body.Size)
        throw std::out_of_range("radiosim: bad memory half or record");
    // The body starts with the frequency.
    const bool empty = body.compare(0, Rec::Frequency.Size, EmptyBody, 0, Rec::Frequency.Size) == 0;
    memories_[std::size_t(memory)][std::size_t(half)].Body = empty ? std::string() : body;
}

std::vector<int> RadioSim::Menus() const
{
    std::lock_guard lock(mutex_);
    std::vector<int> list;
    for (const auto& [menu, value] : menus_)
        list.push_back(menu);
    return list;
}

int RadioSim::MenuValue(int menu) const
{
    std::lock_guard lock(mutex_);
    auto it = menus_.find(menu);
    return it == menus_.end() ? -1 : it->second;
}

void RadioSim::SetMenuValue(int menu, int value)
{
    std::lock_guard lock(mutex_);
    if (!HasMenu(menu) || value < 0 || value > 9999)
        throw std::out_of_range("radiosim: no such menu or value");
    menus_[menu] = value;
}

int RadioSim::DisplayedMenu() const { return Locked(displayed_); }

void RadioSim::ShowMenu(int menu)
{
    std::lock_guard lock(mutex_);
    if (!HasMenu(menu))
        throw std::out_of_range("radiosim: no such menu");
    displayed_ = menu;
    script_.clear();
}

void RadioSim::SetMenuScript(const std::vector<int>& menus, int pollsPerStep)
{
    std::lock_guard lock(mutex_);
    for (int m : menus)
        if (!HasMenu(m))
            throw std::out_of_range("radiosim: no such menu");
    script_ = menus;
    scriptPos_ = 0;
    polls_ = 0;
    pollsPerStep_ = std::max(1, pollsPerStep);
}

bool RadioSim::PowerOn() const { return Locked(power_); }
char RadioSim::Lock() const { return Locked(lock_); }
char RadioSim::Receiver() const { return Locked(receiver_); }
int RadioSim::SelectedMemory() const { return Locked(selected_); }
char RadioSim::BeatCancel() const { return Locked(beatCancel_); }
std::vector<std::string> RadioSim::Received() const { return Locked(received_); }
int RadioSim::WritesDropped() const { return Locked(dropped_); }

bool RadioSim::LoadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const RadioSimOptions keep = Options();
    {
        // Loading is not traffic: no errors, drops or silence apply.
        std::lock_guard lock(mutex_);
        options_ = RadioSimOptions{};
        loading_ = true;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        Feed(line.back() == ';' ? line : line + ";");
    }
    std::lock_guard lock(mutex_);
    options_ = keep;
    loading_ = false;
    received_.clear();
    answers_ = 0;
    writes_ = 0;
    return true;
}
