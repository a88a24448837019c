#pragma once

#include <cstdint>

namespace keelsong {

// Device type codes, as a unit reports them in its Enquire answer (payload byte 28).
namespace device_type {
inline constexpr uint8_t kNone = 0;  // no unit identified
inline constexpr uint8_t kOrvaneLf = 1;
inline constexpr uint8_t kQuelmarLf = 2;
inline constexpr uint8_t kOrvaneHf = 4;
inline constexpr uint8_t kQuelmarHf = 5;
inline constexpr uint8_t kOrvaneHfR1 = 6;
inline constexpr uint8_t kQuelmarAf = 7;
inline constexpr uint8_t kQuelmarMf = 65;
}  // namespace device_type

}  // namespace keelsong
