// SPDX-License-Identifier: MIT
#include "zil/error.h"
#include "zil/string.h"
#include "zil/translation.h"

#include <cmath>

namespace zil {

namespace {

const wchar_t* const kBinaryUnits[] = {L"KiB", L"MiB", L"GiB", L"TiB", L"PiB", L"EiB"};
const wchar_t* const kDecimalUnits[] = {L"kB", L"MB", L"GB", L"TB", L"PB", L"EB"};
constexpr int kLargestUnit = 6;

String bytesText(int64_t size)
{
    if (size == 1)
        return ITranslationService::get(L"1 byte");
    return CStringFormat(ITranslationService::get(L"%1 bytes")).arg(size);
}

} // namespace

String getHumanReadableFileSize(int64_t size, int fractionDigits, int unit, double unitBase)
{
    const wchar_t* const source = L"zil::getHumanReadableFileSize";
    if (size < 0)
        throw CInvalidArgError(CStringFormat(L"Cannot format the negative file size %1").arg(size), source);
    if (fractionDigits < 0 || fractionDigits > 9)
        throw CInvalidArgError(
            CStringFormat(L"File size digits after the point must be 0 to 9, not %1").arg(fractionDigits), source);
    if (unit < -1 || unit > kLargestUnit)
        throw CInvalidArgError(CStringFormat(L"File size unit must be -1 (automatic) or 0 to %1, not %2")
                                   .arg(kLargestUnit)
                                   .arg(unit),
                               source);
    if (unitBase != 1024.0 && unitBase != 1000.0)
        throw CInvalidArgError(CStringFormat(L"File size unit base must be 1024 or 1000, not %1").arg(unitBase, 3),
                               source);
    const auto& names = unitBase == 1024.0 ? kBinaryUnits : kDecimalUnits;

    if (unit == 0)
        return bytesText(size);
    const bool automatic = unit == -1;
    if (automatic) {
        if (static_cast<double>(size) < unitBase)
            return bytesText(size);
        double value = static_cast<double>(size);
        for (unit = 0; unit < kLargestUnit && value >= unitBase; ++unit)
            value /= unitBase;
    }
    String number = toString(static_cast<double>(size) / std::pow(unitBase, unit), fractionDigits);
    // Rounding may reach the next unit ("1024.0 KiB"), which reads better one unit up.
    if (automatic && unit < kLargestUnit && parseSimpleDouble(number) >= unitBase) {
        ++unit;
        number = toString(static_cast<double>(size) / std::pow(unitBase, unit), fractionDigits);
    }
    return number + L" " + names[unit - 1];
}

} // namespace zil
