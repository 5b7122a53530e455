// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EntryArena.h"

#include <sanitizer/asan_interface.h>

#include <atomic>
#include <memory>

#include "platform/HugePages.h"

namespace corvella {

namespace {

// What an entry made by allocate_shared takes: the entry, the counts of its pointers and the
// allocator, with room to spare.
constexpr std::size_t kEntryRoom = sizeof(Entry) + 32;

}  // namespace

struct EntryArena::Block {
  std::byte* start = nullptr;
  std::size_t size = 0;
  std::size_t used = 0;
  // The arena's own hold and one for each entry in the block. Entries may go on any thread.
  std::atomic<std::size_t> holds{1};
};

EntryArena::EntryArena(std::size_t entryCount) {
  if (entryCount < platform::kHugePageSize / kEntryRoom) return;
  const std::size_t wanted = entryCount * kEntryRoom;
  const std::size_t size =
      (wanted + platform::kHugePageSize - 1) / platform::kHugePageSize * platform::kHugePageSize;
  void* const start = platform::MapHugePages(size);
  if (start == nullptr) return;  // the heap serves instead
  block_ = new Block{static_cast<std::byte*>(start), size};
}

void* EntryArena::Allocate(Block* block, std::size_t size, std::size_t alignment) {
  const std::size_t offset = (block->used + alignment - 1) / alignment * alignment;
  // Entries and their counts need no more than the heap's own alignment.
  if (offset > block->size || size > block->size - offset) {
    return std::allocator<std::byte>().allocate(size);
  }
  block->used = offset + size;
  block->holds.fetch_add(1, std::memory_order_relaxed);
  return block->start + offset;
}

void EntryArena::Deallocate(Block* block, void* pointer, std::size_t size) noexcept {
  const auto* const address = static_cast<const std::byte*>(pointer);
  if (address < block->start || address >= block->start + block->size) {
    std::allocator<std::byte>().deallocate(static_cast<std::byte*>(pointer), size);
    return;
  }
  // Its room is not used again: under the address sanitizer, a use after release is caught.
  ASAN_POISON_MEMORY_REGION(pointer, size);
  Release(block);
}

void EntryArena::Release(Block* block) noexcept {
  if (block == nullptr || block->holds.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  // The addresses may serve other memory next.
  ASAN_UNPOISON_MEMORY_REGION(block->start, block->size);
  platform::UnmapHugePages(block->start, block->size);
  delete block;
}

}  // namespace corvella
