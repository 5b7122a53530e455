// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include "Entry.h"

namespace corvella {

// Room for the entries of one load in one block of memory that huge pages back where the system
// offers them: the entries of a large file then cost a few page faults rather than one for every
// 4 KiB, which is most of the time a fresh program takes to load them. An entry made here is
// released as any other, but its room is not used again: the block goes once the arena and
// every entry made in it have gone.
class EntryArena {
 public:
  // Room for `entryCount` entries; none when they would not fill a huge page, where the heap
  // serves as well.
  explicit EntryArena(std::size_t entryCount);
  ~EntryArena() { Release(block_); }
  EntryArena(const EntryArena&) = delete;
  EntryArena& operator=(const EntryArena&) = delete;

  // As std::make_shared<Entry>: in the room while it lasts, else on the heap. One thread makes
  // the entries; any may release them.
  template <class... Args>
  EntryPtr Make(Args&&... args) {
    if (block_ == nullptr) return std::make_shared<Entry>(std::forward<Args>(args)...);
    return std::allocate_shared<Entry>(Allocator<Entry>(block_), std::forward<Args>(args)...);
  }

 private:
  struct Block;

  template <class T>
  struct Allocator {
    using value_type = T;
    explicit Allocator(Block* owner) noexcept : block(owner) {}
    template <class U>
    Allocator(const Allocator<U>& other) noexcept : block(other.block) {}
    T* allocate(std::size_t count) {
      return static_cast<T*>(Allocate(block, count * sizeof(T), alignof(T)));
    }
    void deallocate(T* pointer, std::size_t count) noexcept {
      Deallocate(block, pointer, count * sizeof(T));
    }
    template <class U>
    bool operator==(const Allocator<U>& other) const noexcept {
      return block == other.block;
    }
    Block* block;
  };

  static void* Allocate(Block* block, std::size_t size, std::size_t alignment);
  static void Deallocate(Block* block, void* pointer, std::size_t size) noexcept;
  // Lets go of one hold on the block, the last one unmapping it.
  static void Release(Block* block) noexcept;

  Block* block_ = nullptr;
};

}  // namespace corvella
