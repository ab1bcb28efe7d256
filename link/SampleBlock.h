#pragma once

#include <array>

// 512 samples as the instrument sent them, one unsigned byte each, oldest first.
using SampleBlock = std::array<unsigned char, 512>;
