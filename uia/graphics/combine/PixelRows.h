#pragma once
// Rows of the picture combiners' pixel rules (PixelRules.h), several pixels at a time where
// the processor allows; every row gives the bytes of the per-pixel rule. The source may lie
// in the destination's picture: rows that overlap so that a later pixel reads an earlier
// result run pixel by pixel.

#include <cstdint>

namespace HA::UIA::DETAIL {

// The widest the processor offers is used; tests choose each in turn (a wider one than the
// processor has gives the widest it has).
enum class eRowKernel { Portable, Sse2, Avx2 };
void setRowKernel(eRowKernel kernel);
eRowKernel rowKernel();

// destination[i] = mixKeepingAlpha(destination[i], source[i], coverWeight(source alpha, destination alpha))
void blendUsingAlphaRow(uint32_t* destination, const uint32_t* source, int64_t count);

// destination[i] = mixKeepingAlpha(destination[i], colour, coverWeight(source alpha, colour alpha)),
// written only where that weight is not 0.
void dyeUsingAlphaMaskRow(uint32_t* destination, const uint32_t* source, int64_t count, uint32_t colour);

// destination[i] = blendOver(destination[i], source[i])
void copyOverRow(uint32_t* destination, const uint32_t* source, int64_t count);

// destination[i] = source[i] where its alpha is 255, copyOntoOpaque(destination[i], source[i])
// where it is neither 255 nor 0.
void copyOntoOpaqueRow(uint32_t* destination, const uint32_t* source, int64_t count);

}  // namespace HA::UIA::DETAIL
