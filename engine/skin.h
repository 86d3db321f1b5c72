// The built-in skin: the 57 pictures every control may use by name, registered from the
// program's embedded data when the engine starts and released, in the same order, when it stops.
#pragma once

#include <array>

inline constexpr std::array<const wchar_t*, 57> kSkinNames = {
    L"DefaultBackGround",     L"ExitButton",                  L"PrintButton",
    L"SaveAsButton",          L"RetryButton",                 L"CloseButton",
    L"StartPopStartButton",   L"EscButton",                   L"F1Button",
    L"F12Button",             L"SubmitButton",                L"OptionsButton",
    L"CancelButton",          L"PrintButtonKlick",            L"SaveAsButtonKlick",
    L"RetryButtonKlick",      L"CloseButtonKlick",            L"StartPopStartButtonKlick",
    L"SubmitButtonKlick",     L"OptionsButtonKlick",          L"CancelButtonKlick",
    L"PrintButtonNuv",        L"SaveAsButtonNuv",             L"RetryButtonNuv",
    L"CloseButtonNuv",        L"StartPopStartButtonNuv",      L"SubmitButtonNuv",
    L"OptionsButtonNuv",      L"CancelButtonNuv",             L"SliderSliderVertical",
    L"SliderSliderVerticalHover", L"SliderSliderHorizontal",  L"SliderSliderHorizontalHover",
    L"ScrollSlider",          L"ScrollSliderHorizontal",      L"ScrollBackground",
    L"ScrollButtonUp",        L"ScrollButtonDown",            L"CheckBoxUnchecked",
    L"CheckBoxChecked",       L"RadioButtonUnchecked",        L"RadioButtonChecked",
    L"CheckBoxDisUnchecked",  L"CheckBoxDisChecked",          L"RadioButtonDisUnchecked",
    L"RadioButtonDisChecked", L"EditBarBackGround",           L"EditBarCornerLT",
    L"EditBarCornerRT",       L"EditBarCornerLB",             L"EditBarCornerRB",
    L"EditBarBorderL",        L"EditBarBorderR",              L"EditBarBorderT",
    L"EditBarBorderB",        L"EditBarKaretka",              L"SelectionMask",
};
