// Independent blocks, typed arrays and pointer arrays used on several threads
// at once: no operation keeps hidden shared state, so every thread's result is
// what the same steps give on one thread. Run under ThreadSanitizer by the
// tsan preset (tests named Threads.*).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cwbase/core/block.h"
#include "cwbase/core/bytearray.h"
#include "cwbase/core/ptarray.h"
#include "testing/threads.h"

namespace {

// A fixed mix of block operations, varied by `salt`; returns a digest of the
// block's data, length and capacity after every step.
std::string BlockWork(unsigned salt) {
  std::string digest;
  CWBlock block, other;
  CWDynArray<uint64_t> records;
  unsigned char bytes[64];
  for (int round = 0; round < 300; ++round) {
    for (unsigned char& b : bytes)
      b = static_cast<unsigned char>(salt * 31 + round * 7 + (&b - bytes));
    unsigned long n = (salt + static_cast<unsigned>(round)) % 64 + 1;
    switch (round % 5) {
      case 0:
        block.AddData(bytes, n);
        break;
      case 1:
        other.SetBuffer(bytes, n);
        block += other;
        break;
      case 2:
        block.SetSize(block.GetSize() / 2);
        break;
      case 3:
        *records.Add() = salt + static_cast<unsigned>(round);
        break;
      default:
        other = block;
        block.SetBuffer(other.GetBuffer(), other.GetSize() / 3 + 1);
        break;
    }
    digest += std::to_string(block.GetSize()) + "/" + std::to_string(block.GetCapacity()) + ";";
  }
  digest.append(static_cast<const char*>(block.GetBuffer()), block.GetSize());
  for (int i = 0; i < records.GetCount(); ++i) digest += std::to_string(*records.GetAt(i)) + ",";
  return digest;
}

std::string PtArrayWork(unsigned salt) {
  CWPtArray array;
  std::string digest;
  for (int round = 0; round < 500; ++round) {
    void* p = reinterpret_cast<void*>(static_cast<uintptr_t>(salt * 1000 + round));
    if (round % 7 == 3)
      array.RemoveAt(round % (array.GetSize() + 1));
    else if (round % 11 == 5)
      array.InsertAt(round % 13, p);
    else
      array.Add(p);
  }
  for (int i = 0; i < array.GetSize(); ++i)
    digest += std::to_string(reinterpret_cast<uintptr_t>(array.GetAt(i))) + ",";
  digest += "#" + std::to_string(array.GetCapacity());
  return digest;
}

std::string ByteArrayWork(unsigned salt) {
  unsigned char buffer[40] = {};
  unsigned short words[40] = {};
  CWBYTEArray bytes;
  CWWORDArray wordArray;
  bytes.SetBuffer(buffer, 0, 40);
  wordArray.SetBuffer(words, 0, 40);
  for (unsigned i = 0; i < 60; ++i) {
    bytes.AddSorted(static_cast<unsigned char>((salt + i * 37) % 251));
    wordArray.AddSorted(static_cast<unsigned short>(salt * 977 + i * 4099), 0xFFF0);
  }
  std::string digest;
  for (int i = 0; i < bytes.GetCount(); ++i) digest += std::to_string(bytes.GetAt(i)) + ",";
  for (int i = 0; i < wordArray.GetCount(); ++i) digest += std::to_string(wordArray.GetAt(i)) + ",";
  return digest;
}

TEST(Threads, IndependentBlocks) {
  ExpectSameOnThreads(BlockWork);
}
TEST(Threads, IndependentPointerArrays) {
  ExpectSameOnThreads(PtArrayWork);
}
TEST(Threads, IndependentByteAndWordArrays) {
  ExpectSameOnThreads(ByteArrayWork);
}

}  // namespace
