#pragma once
// Shared by the files of the classes unit only.

inline constexpr char SListIndexError[] = "List index out of bounds (%d)";
