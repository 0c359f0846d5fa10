// The memory that holds a note's text while the run rewrites it.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace note2md::system {

// The largest text a buffer holds: the largest note, as read, as decoded and
// as rewritten. With the memory given back while rewriting (discardFront), a
// run then stays below 2 GiB, a quarter of a small machine's memory.
inline constexpr std::size_t kLargestText = std::size_t{1} << 30;

// A growable byte buffer like std::string, made for texts of any size:
// - it is never filled with zeros before use, so reading a file into it
//   touches each page once;
// - a large one is mapped on 2 MiB boundaries and asks for transparent huge
//   pages, so that a 16 MiB text costs a few page faults instead of
//   thousands (faults are dear in virtual machines);
// - its front can be given back to the system while a rewriting still reads
//   further on (discardFront), so that a run never holds two whole copies of
//   a large text.
class Buffer {
 public:
  Buffer() noexcept = default;
  explicit Buffer(std::string_view text) { append(text); }
  Buffer(Buffer&& other) noexcept { swap(other); }
  Buffer& operator=(Buffer&& other) noexcept {
    swap(other);
    return *this;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer();

  const char* data() const { return data_; }
  char* data() { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  std::string_view view() const { return {data_, size_}; }
  operator std::string_view() const { return view(); }

  // Empty again; discarded memory comes back as it is written.
  void clear() {
    size_ = 0;
    discarded_ = 0;
  }
  // Room for at least `capacity` bytes, or kLargestText if that is less; the
  // contents stay. Throws std::bad_alloc when there is no memory.
  void reserve(std::size_t capacity);
  // Throws Failure (Step::tooLarge) beyond kLargestText.
  Buffer& append(std::string_view text) {
    // Inline: the rewritings append many short pieces.
    if (text.size() > capacity_ - size_) makeRoom(text.size());
    if (!text.empty()) std::memcpy(data_ + size_, text.data(), text.size());
    size_ += text.size();
    return *this;
  }
  // The bytes after the contents, for a reader to fill: call reserve first,
  // then grow by what was written. The capacity is never above kLargestText.
  char* end() { return data_ + size_; }
  void grow(std::size_t count) { size_ += count; }
  // Drops the first `count` bytes by moving the rest to the front (unlike
  // discardFront, which keeps the positions and frees the pages).
  void moveFront(std::size_t count);

  // Gives the whole 2 MiB blocks below `position` back to the system. Their
  // bytes are gone: whoever calls this must never read below `position`
  // again until the buffer is cleared. Only large buffers do anything.
  void discardFront(std::size_t position);

  void swap(Buffer& other) noexcept;

 private:
  void makeRoom(std::size_t count);

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool mapped_ = false;        // from mmap (large) rather than malloc (small)
  std::size_t discarded_ = 0;  // bytes at the front already given back
  bool keepFront_ = false;     // set by the tests: discardFront does nothing

  // The tests compare results with and without memory given back.
  friend struct BufferTesting;
};

}  // namespace note2md::system
