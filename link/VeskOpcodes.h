#pragma once

#include <cstdint>

// The opcodes and single bytes of the VESK protocol, on both ends of the line: the requests the
// program sends, the replies the radio makes, and the bytes of the exchange around them.
namespace vesk {

// Requests.
constexpr uint8_t kRequestReset = 0x10;
constexpr uint8_t kRequestRead = 0x11;   // data: count, 24-bit address
constexpr uint8_t kRequestErase = 0x15;  // data: kEraseAllFlash
constexpr uint8_t kRequestWrite = 0x17;  // data: 24-bit address, bytes (always the long form)
constexpr uint8_t kRequestStatus = 0x23; // data: selector
constexpr uint8_t kEraseAllFlash = 0x40;

// Replies.
constexpr uint8_t kReplyRead = 0x80;         // the request's address, then the bytes read
constexpr uint8_t kReplyGoodWrite = 0x84;    // a write or erase took
constexpr uint8_t kReplyBadWrite = 0x85;     // a write or erase did not take
constexpr uint8_t kReplyUnsupported = 0x86;  // a request (or status selector) the radio does not know
constexpr uint8_t kReplyStatus = 0x8B;       // the selector, then the status text

// The exchange around them.
constexpr uint8_t kNegativeAck = 0x60;
constexpr uint8_t kResync[2] = {0x55, 0xAA};
constexpr uint8_t kResyncAnswer = 0x50;

}  // namespace vesk
