// The texts of the start screen, shared by the drawing test and the text benchmark.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace texttest {

inline const std::wstring kDescription =
    L"   В нижней части экрана представлен ряд картинок, олицетворяющих определенные ворленные стадии. "
    L"Необходимо:\n"
    L"   а) мышкой разместить эти картинки в слоты в нужном порядке, соблюдая последовательность превращений;\n"
    L"   б) определить картинки, не имеющие отношения к выстроенной последовательности.";

constexpr DWORD kScreenColour = 0xFF072134;
constexpr int kDescriptionWidth = 593;

}  // namespace texttest
