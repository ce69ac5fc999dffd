#pragma once
// Reads what an input delivers, touching the last byte of every piece, so
// the sanitizers see any read past what the input handed out.

#include <cstdint>
#include <exception>

#include "audio/core/au_input.h"

namespace tonvale::fuzz {

inline void DrainInput(TAuInput& In, int MaxPieces, uint32_t Request) {
  try {
    In.BeginRead();
    for (int i = 0; i < MaxPieces; ++i) {
      uint8_t* buffer = nullptr;
      uint32_t bytes = Request;
      In.GetData(buffer, bytes);
      if (bytes == 0) break;
      volatile uint8_t last = buffer[bytes - 1];
      (void)last;
    }
    In.EndRead();
  } catch (const std::exception&) {
  }
}

}  // namespace tonvale::fuzz
