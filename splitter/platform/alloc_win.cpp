// The Windows build's operator new and delete. qpdf makes millions of small allocations, and the
// system heap spends its time searching free lists for each (under Wine, most of the splitter's
// CPU went there). Small blocks come from free lists kept per size here instead: taking and
// giving back a block is a pointer swap. Memory of small blocks is kept until the process ends,
// which for a program that splits one file and exits is what happens anyway.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

constexpr std::size_t kGrain = 16;       // keeps every block aligned as malloc's are
constexpr std::size_t kClasses = 64;     // blocks up to 1 KiB; larger ones go to malloc
constexpr std::size_t kChunk = 1 << 20;  // carved into small blocks as they are first needed

// Before each block: which list it goes back to (0: it came from malloc). Sixteen bytes, so the
// block itself stays aligned.
struct alignas(16) Header {
  std::size_t size_class;
};
struct FreeBlock {
  FreeBlock* next;
};

// The splitter has one thread; the lock is there for whatever else may allocate. Wine's own locks
// cost more than the rest of an allocation, and this one is never waited for.
class SpinLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

SpinLock lock;
FreeBlock* free_lists[kClasses + 1];
char* carve_at = nullptr;
char* carve_end = nullptr;

Header* take(std::size_t size) {
  if (size > SIZE_MAX - sizeof(Header)) return nullptr;
  std::size_t size_class = size ? (size + kGrain - 1) / kGrain : 1;
  if (size_class > kClasses) {
    auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
    if (header) header->size_class = 0;
    return header;
  }
  std::size_t bytes = sizeof(Header) + size_class * kGrain;
  void* block = nullptr;
  lock.lock();
  if (FreeBlock* head = free_lists[size_class]) {
    free_lists[size_class] = head->next;
    block = head;
  } else {
    if (static_cast<std::size_t>(carve_end - carve_at) < bytes) {
      // What is left of the old chunk is too small for this block; it stays unused.
      if (auto* chunk = static_cast<char*>(std::malloc(kChunk))) {
        carve_at = chunk;
        carve_end = chunk + kChunk;
      }
    }
    if (static_cast<std::size_t>(carve_end - carve_at) >= bytes) {
      block = carve_at;
      carve_at += bytes;
    }
  }
  lock.unlock();
  auto* header = static_cast<Header*>(block);
  if (header) header->size_class = size_class;
  return header;
}

void give_back(void* p) noexcept {
  if (!p) return;
  Header* header = static_cast<Header*>(p) - 1;
  std::size_t size_class = header->size_class;
  if (size_class == 0) return std::free(header);
  auto* block = reinterpret_cast<FreeBlock*>(header);
  lock.lock();
  block->next = free_lists[size_class];
  free_lists[size_class] = block;
  lock.unlock();
}

void* allocate(std::size_t size) {
  for (;;) {
    if (Header* header = take(size)) return header + 1;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { give_back(p); }
void operator delete[](void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
void operator delete[](void* p, std::size_t) noexcept { give_back(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give_back(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give_back(p); }
