#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Lays out a codeplug image from a readable description and computes every checksum byte.
//
// One directive a line; "#" starts a comment; numbers are decimal or 0x-hexadecimal; byte
// lists are hexadecimal pairs ("01 02 A0" or "0102A0").
//
//   size N                      the image holds N bytes (addresses 0 to N - 1)
//   fill XX                     the byte for unwritten addresses (default 00)
//   sum XX                      the sum that checksummed ranges make (default 00); a
//                               "checksum" line takes the sum in effect where it stands
//   bytes ADDR XX...            raw bytes
//   word ADDR VALUE             a 16-bit big-endian word
//   text ADDR "TEXT"            characters
//   checksum FROM TO            the byte at TO makes the sum of FROM..TO the checksum sum
//   adk p1=A p2=A l2=N p3=A [flag=1] [word9=V] [word4=V] [count=N]
//                               the ADK structure: P1 at 0, L1 at P1, the P2 record, the block
//                               count at P3 and the vector table after it (filled from the
//                               blocks); its region checksums are computed last
//   block ID @ADDR esize=N [flags=XX] [eflags=XX] [lists=fixed|varying]
//     entry XX...               one entry's bytes (padded with zeros to the entry size)
//     list                      starts the next list (list blocks)
//     data XX...                the data area as raw bytes (entries packed bit by bit)
//   end
//                               a block with its header; ids 0x8000 to 0x8004 also set the
//                               special word at 11 + 2 x (id - 0x8000)
//   ride ID @ADDR data=N [XX...] a pointer-table block of N data bytes after its type byte
//                               (the given bytes first, zeros after), its pointer written
//                               where the layout keeps it and its checksum computed
//
// Every failure raises std::runtime_error whose text names the line.
class CCodeplugBuilder {
public:
    std::vector<uint8_t> Build(const std::string& description);
};

// S-record text of an image: S1 records of 32 data bytes from address 0, each line ended
// with CR LF, then the S9 record.
std::string ImageToSRecords(const std::vector<uint8_t>& image);
