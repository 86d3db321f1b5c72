// The rows that one pass through the exercise writes into the pupil's results workbook, and the
// header printed above them. Captions and types are fixed: teachers' spreadsheets compare them
// across runs and machines.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace report {

inline const std::wstring kNumber = L"Number";
inline const std::wstring kString = L"String";

// In the order a pass appends them.
inline const std::wstring kStartTime = L"Время начала работы с упражнением";
inline const std::wstring kWrongSequence = L"Число попыток выдать неверную последовательность";
inline const std::wstring kWrongExtra = L"Число попыток неверно определенного лишнего объекта";
inline const std::wstring kGrabMiss = L"Число перетаскиваний, при которых не удалось схватить картинку";
inline const std::wstring kDropMiss = L"Число перетаскиваний, при которых картинка не попала в ячейку";
inline const std::wstring kExtraInstructions = L"Количество дополнительных вызовов инструкций";
inline const std::wstring kTotalTime = L"Общее время работы с упражнением. с.";

// "05-June-2008 14:07": the local time of `seconds` (since 1970), day, English month name,
// year, 24-hour time, whatever locale the process runs in.
std::wstring FormatStartTime(std::int64_t seconds);

// The printout's header: catalogue number, exercise name and pupil. Iterated by key, so
// "Название" comes first, then "Номер ЦОР", then "Ученик".
std::map<std::wstring, std::wstring> PrintHeader(const std::wstring& number, const std::wstring& name,
                                                 const std::wstring& pupil);

}  // namespace report
