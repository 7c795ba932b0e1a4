#pragma once
// The radio's 24-character memory record, as "MR" answers it and "MW" writes it:
//   MR  half  filler  memory(2)  frequency in Hz(11)  mode  lock-out  tone on  tone(2)  tail  ;
// The layout is the protocol's, shared by the program and the simulated radio; what each
// model does with it is not.
#include <cstddef>
#include <string>

namespace MemoryRecord {

struct Field {
    std::size_t At;
    std::size_t Size;
    constexpr std::size_t End() const { return At + Size; }
};

constexpr std::size_t Length = 24;

// The radio's memories, numbered 0..LastMemory in the record's two digits.
constexpr int MemoryCount = 100;
constexpr int LastMemory = MemoryCount - 1;

constexpr Field Command{0, 2};
constexpr Field Half{2, 1};
constexpr Field Filler{3, 1};
constexpr Field Memory{4, 2};
constexpr Field Frequency{6, 11};
constexpr Field Mode{17, 1};
constexpr Field LockOut{18, 1};
constexpr Field ToneOn{19, 1};
constexpr Field Tone{20, 2};
constexpr Field Tail{22, 1};
// Everything a write stores: frequency to tail.
constexpr Field Body{Frequency.At, Tail.End() - Frequency.At};

// The record's text from the start of one field to the end of another; clamped, so a short
// or empty record gives a short or empty text.
inline std::string Span(const std::string& record, Field from, Field to)
{
    if (from.At >= record.size())
        return {};
    return record.substr(from.At, to.End() - from.At);
}

inline std::string Get(const std::string& record, Field f) { return Span(record, f, f); }

inline char At(const std::string& record, Field f)
{
    return f.At < record.size() ? record[f.At] : '\0';
}

inline std::string TwoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// "MR"/"MW", half, filler and memory: the part of a record that names the memory half.
inline std::string Head(const char* command, char half, const std::string& filler, int memory)
{
    return std::string(command) + half + filler + TwoDigits(memory);
}

inline bool ZeroFrequency(const std::string& record)
{
    return Get(record, Frequency) == std::string(Frequency.Size, '0');
}

// Exactly 24 characters, "MR" first and ";" last.
inline bool Whole(const std::string& piece)
{
    return piece.size() == Length && piece.compare(Command.At, Command.Size, "MR") == 0 &&
           piece.back() == ';';
}

// Whether a whole record answers the query: the same half and memory; the filler is one
// the radio may answer differently.
inline bool Answers(const std::string& record, const std::string& query)
{
    return query.size() >= Memory.End() && record[Half.At] == query[Half.At] &&
           record.compare(Memory.At, Memory.Size, query, Memory.At, Memory.Size) == 0;
}

} // namespace MemoryRecord
