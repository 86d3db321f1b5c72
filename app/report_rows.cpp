#include "app/report_rows.h"

#include <locale.h>

#include <clocale>
#include <ctime>
#include <cwchar>

namespace report {

std::wstring FormatStartTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::wstring();
    // The month names are the C locale's whatever the desktop's language is; a thread-local
    // locale leaves the rest of the program alone.
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    locale_t previous = c ? uselocale(c) : static_cast<locale_t>(0);
    wchar_t buffer[128];
    const std::size_t n = std::wcsftime(buffer, 128, L"%d-%B-%Y %H:%M", &local);
    if (c) {
        uselocale(previous);
        freelocale(c);
    }
    return std::wstring(buffer, n);
}

std::map<std::wstring, std::wstring> PrintHeader(const std::wstring& number, const std::wstring& name,
                                                 const std::wstring& pupil) {
    std::map<std::wstring, std::wstring> header;
    header[L"Номер ЦОР"] = number;
    header[L"Название"] = name;
    header[L"Ученик"] = pupil;
    return header;
}

}  // namespace report
