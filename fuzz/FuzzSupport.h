#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Ends the run with the property that failed; libFuzzer keeps the input that broke it.
inline void check(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "Property broken: %s\n", property);
    std::abort();
}

// The fuzz input read as text both ways a QString can come from bytes, so that every
// sequence of UTF-16 units, lone surrogates included, can be reached.
inline std::vector<QString> asTexts(const uint8_t *data, size_t size)
{
    std::vector<char16_t> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    return { QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)),
             QString::fromUtf16(units.data(), qsizetype(units.size())) };
}
