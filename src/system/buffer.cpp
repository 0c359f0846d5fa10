#include "system/buffer.hpp"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "system/failure.hpp"
#include "system/os.hpp"

namespace note2md::system {
namespace {

// The size of a transparent huge page on x86-64 and arm64 Linux.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this a buffer comes from malloc: a mapping and its faults would cost
// more than they save.
constexpr std::size_t kMapAtLeast = std::size_t{1} << 20;

std::size_t roundUp(std::size_t value, std::size_t unit) { return (value + unit - 1) / unit * unit; }

// A mapping of `size` bytes (a multiple of kHugePage) that starts on a
// kHugePage boundary, so that the kernel can back it with huge pages.
char* mapAligned(std::size_t size) {
  const std::size_t length = size + kHugePage;
  void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto* base = static_cast<char*>(mapped);
  char* start = reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(base), kHugePage));
  // Give back what lies outside the aligned range.
  if (start > base) ::munmap(base, static_cast<std::size_t>(start - base));
  char* tail = start + size;
  if (tail < base + length) ::munmap(tail, static_cast<std::size_t>(base + length - tail));
  // Only advice: without transparent huge pages it is ordinary memory.
  os::adviseHugePages(start, size);
  return start;
}

}  // namespace

Buffer::~Buffer() {
  if (data_ == nullptr) return;
  if (mapped_) {
    ::munmap(data_, capacity_);
  } else {
    std::free(data_);
  }
}

void Buffer::makeRoom(std::size_t count) {
  if (count > kLargestText - size_) throw Failure(Step::tooLarge, EFBIG);
  reserve(size_ + count);
}

void Buffer::reserve(std::size_t capacity) {
  capacity = std::min(capacity, kLargestText);
  if (capacity <= capacity_) return;
  // Growing by half at least keeps appending linear.
  capacity = std::max(capacity, std::min(capacity_ + capacity_ / 2, kLargestText));
  char* data;
  bool mapped = capacity >= kMapAtLeast;
  if (mapped) {
    capacity = roundUp(capacity, kHugePage);
    data = mapAligned(capacity);
  } else {
    data = static_cast<char*>(std::malloc(capacity));
    if (data == nullptr) throw std::bad_alloc();
  }
  // Bytes below discarded_ are gone and need no copy.
  if (size_ > discarded_) std::memcpy(data + discarded_, data_ + discarded_, size_ - discarded_);
  Buffer old;
  old.data_ = data_;
  old.capacity_ = capacity_;
  old.mapped_ = mapped_;
  data_ = data;
  capacity_ = capacity;
  mapped_ = mapped;
  discarded_ = 0;
}

void Buffer::moveFront(std::size_t count) {
  assert(count <= size_ && discarded_ == 0);
  std::memmove(data_, data_ + count, size_ - count);
  size_ -= count;
}

void Buffer::discardFront(std::size_t position) {
  if (!mapped_ || keepFront_) return;
  const std::size_t end = std::min(position, size_) / kHugePage * kHugePage;
  if (end <= discarded_) return;
  // The pages read as zeros afterwards, which the tests rely on to notice a
  // read of discarded text.
  os::giveBack(data_ + discarded_, end - discarded_);
  discarded_ = end;
}

void Buffer::swap(Buffer& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  std::swap(mapped_, other.mapped_);
  std::swap(discarded_, other.discarded_);
  std::swap(keepFront_, other.keepFront_);
}

}  // namespace note2md::system
