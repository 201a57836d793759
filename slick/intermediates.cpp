// SPDX-License-Identifier: MIT
#include <zilui/slick/intermediates.h>

#include <zil/error.h>

namespace zilui {

namespace {

zil::String stateName(int state, std::initializer_list<const wchar_t*> names, const wchar_t* source)
{
    if (state < 0 || state >= static_cast<int>(names.size()))
        throw zil::CInvalidArgError(L"Invalid state value: " + zil::toString(int64_t(state)), source);
    return names.begin()[state];
}

} // namespace

zil::String CSlickButtonIntermediate::getStateName(State state)
{
    return stateName(state, {L"normal", L"hover", L"disabled"}, L"CSlickButtonIntermediate::getStateName");
}

zil::String CSlickCheckBoxIntermediate::getStateName(State state)
{
    return stateName(state,
                     {L"uncheckedNormal", L"checkedNormal", L"uncheckedHover", L"checkedHover",
                      L"uncheckedDisabled", L"checkedDisabled"},
                     L"CSlickCheckBoxIntermediate::getStateName");
}

zil::String CSlickRadioButtonIntermediate::getStateName(State state)
{
    return stateName(state,
                     {L"unselectedNormal", L"selectedNormal", L"unselectedHover", L"selectedHover",
                      L"unselectedDisabled", L"selectedDisabled"},
                     L"CSlickRadioButtonIntermediate::getStateName");
}

zil::String CSlickOverlayIntermediate::getStateName(State state)
{
    return stateName(state, {L"normal"}, L"CSlickOverlayIntermediate::getStateName");
}

zil::String CSlickNonOverlayIntermediate::getStateName(State state)
{
    return stateName(state, {L"normal"}, L"CSlickNonOverlayIntermediate::getStateName");
}

} // namespace zilui
