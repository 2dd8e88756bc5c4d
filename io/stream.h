// Byte sources and sinks, and the one buffered reader and writer over them.
//
// Every stage reads a ByteSource and writes a ByteSink, so the same stage runs
// on a file, a pipe or a block of memory. The buffered reader applies the one
// text rule the plans and pages need (a CR directly before a LF reads as the
// LF alone) itself, so every platform reads a text the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plotweave {

class ByteSource {
 public:
  // Reads up to `capacity` bytes into `buffer`; 0 at the end or after a
  // failure, which Failed() then tells apart.
  virtual size_t Read(void* buffer, size_t capacity) = 0;
  virtual bool Failed() const = 0;

 protected:
  ~ByteSource() = default;
};

class ByteSink {
 public:
  // Takes all `count` bytes; false when they could not all be taken.
  virtual bool Write(const void* data, size_t count) = 0;

 protected:
  ~ByteSink() = default;
};

// The bytes of a block of memory, which must outlive the source.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  size_t Read(void* buffer, size_t capacity) override;
  bool Failed() const override { return false; }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Another source whose first read hands out at most `first` bytes; later
// reads pass through unchanged. A reader that only looks at the start of a
// file then reads no more of it than that.
class FirstReadCapped final : public ByteSource {
 public:
  FirstReadCapped(ByteSource& source, size_t first) : source_(&source), cap_(first) {}
  size_t Read(void* buffer, size_t capacity) override {
    if (cap_ < capacity) capacity = cap_;
    cap_ = SIZE_MAX;
    return source_->Read(buffer, capacity);
  }
  bool Failed() const override { return source_->Failed(); }

 private:
  ByteSource* source_;
  size_t cap_;
};

inline constexpr size_t kStreamBufferSize = 1 << 16;

class BufferedReader {
 public:
  explicit BufferedReader(ByteSource& source) : source_(&source) {}
  BufferedReader(const BufferedReader&) = delete;
  BufferedReader& operator=(const BufferedReader&) = delete;

  // Next byte, or -1 at the end or after a read failure.
  int Next() {
    if (pos_ == len_ && !Fill()) return -1;
    return buf_[pos_++];
  }
  // The bytes buffered from the current position on, reading more when none
  // are; `count` is 0 at the end.
  const unsigned char* Span(size_t* count) {
    if (pos_ == len_ && !Fill()) {
      *count = 0;
      return buf_;
    }
    *count = len_ - pos_;
    return buf_ + pos_;
  }
  // Reads until at least `count` bytes (at most a buffer's worth) lie ahead,
  // or the source ends; returns how many lie ahead. Nothing is consumed.
  size_t Peek(size_t count);
  // Moves past `count` bytes of the last span or peek.
  void Skip(size_t count) { pos_ += count; }

  // Reads like a line read with a byte limit: at most capacity - 1 bytes, up to
  // and including a LF, followed by a zero byte; a CR LF pair reads as the LF.
  // Returns the number of bytes stored before the zero byte (zero bytes read
  // included); 0 once the source is exhausted or a read failed.
  size_t ReadLine(char* out, size_t capacity);

  bool Failed() const { return failed_; }

 private:
  // Reads more behind the unread bytes, which move to the front; false when
  // nothing more came.
  bool Fill();

  ByteSource* source_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool failed_ = false;
  bool ended_ = false;
  unsigned char buf_[kStreamBufferSize];
};

class BufferedWriter {
 public:
  explicit BufferedWriter(ByteSink& sink) : sink_(&sink) {}
  ~BufferedWriter() { Flush(); }
  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  void Put(unsigned char b) {
    if (len_ == kStreamBufferSize) Flush();
    buf_[len_++] = b;
  }
  // Writes the `count` low bytes of `bytes`, lowest first (count at most 4).
  void PutSmall(uint32_t bytes, unsigned count) {
    if (kStreamBufferSize - len_ < 4) Flush();
    // Stores all four bytes and keeps `count` of them; the compiler makes the
    // loop one store.
    for (int i = 0; i < 4; ++i) buf_[len_ + i] = static_cast<unsigned char>(bytes >> (8 * i));
    len_ += count;
  }
  void Write(const void* data, size_t n) {
    if (n <= kStreamBufferSize - len_) {
      std::memcpy(buf_ + len_, data, n);
      len_ += n;
    } else {
      WriteLong(data, n);
    }
  }
  void Write(const char* text) { Write(text, std::strlen(text)); }
  // Room to write into the buffer directly, for converters that store whole
  // words: flushes first when fewer than `least` bytes (at most a buffer's
  // worth) are free. Returns where the bytes go and sets *room to how many
  // fit; Commit then keeps the first `count` of them.
  unsigned char* Reserve(size_t least, size_t* room) {
    if (kStreamBufferSize - len_ < least) Flush();
    *room = kStreamBufferSize - len_;
    return buf_ + len_;
  }
  void Commit(size_t count) { len_ += count; }
  // Hands what is buffered to the sink; false once any write has failed.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  void WriteLong(const void* data, size_t n);

  ByteSink* sink_;
  size_t len_ = 0;
  bool failed_ = false;
  unsigned char buf_[kStreamBufferSize];
};

}  // namespace plotweave
