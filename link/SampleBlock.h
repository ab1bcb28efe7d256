#pragma once

#include <QtGlobal>

#include <array>

// The instrument sends its samples, and the data file holds them, in blocks of this size.
constexpr qint64 SampleBlockBytes = 512;

// One block of samples as the instrument sent them, one unsigned byte each, oldest first.
using SampleBlock = std::array<unsigned char, SampleBlockBytes>;
