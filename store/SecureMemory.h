// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvella {

// Overwrites `size` bytes at `data` with a write the compiler cannot remove.
void Cleanse(void* data, std::size_t size);

// An allocator that wipes every block before it goes back to the heap, so that growing or
// releasing a container leaves no copy of its content in freed memory.
template <class T>
struct SecureAllocator {
  using value_type = T;

  SecureAllocator() noexcept = default;
  template <class U>
  SecureAllocator(const SecureAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
  void deallocate(T* pointer, std::size_t count) noexcept {
    Cleanse(pointer, count * sizeof(T));
    std::allocator<T>().deallocate(pointer, count);
  }

  // Default-initialises, so that resizing a byte buffer that is about to be overwritten does not
  // first fill it with zeros.
  template <class U>
  void construct(U* pointer) noexcept {
    ::new (static_cast<void*>(pointer)) U;
  }
  template <class U, class... Args>
  void construct(U* pointer, Args&&... args) {
    ::new (static_cast<void*>(pointer)) U(std::forward<Args>(args)...);
  }

  template <class U>
  bool operator==(const SecureAllocator<U>&) const noexcept {
    return true;
  }
};

// A growable byte buffer for plaintext: wiped whenever it reallocates or is released.
using SecureBytes = std::vector<unsigned char, SecureAllocator<unsigned char>>;

// UTF-16 text of a secret, as a text field holds it: wiped whenever it reallocates or is
// released.
using SecureUtf16 = std::vector<char16_t, SecureAllocator<char16_t>>;

using SecureStringBase = std::basic_string<char, std::char_traits<char>, SecureAllocator<char>>;

// A byte string for plaintext secrets (passwords, the master password). Heap storage is wiped
// by the allocator; the destructor and moves also wipe the in-object buffer of short strings.
class SecureString : public SecureStringBase {
 public:
  using SecureStringBase::SecureStringBase;
  SecureString() = default;
  SecureString(const SecureString&) = default;
  SecureString(SecureString&& other) noexcept : SecureStringBase(std::move(other)) {
    other.CleanseStorage();
  }
  SecureString& operator=(const SecureString&) = default;
  SecureString& operator=(SecureString&& other) noexcept {
    SecureStringBase::operator=(std::move(other));
    other.CleanseStorage();
    return *this;
  }
  ~SecureString() { CleanseStorage(); }

  std::string_view View() const { return {data(), size()}; }

 private:
  void CleanseStorage() noexcept { Cleanse(data(), capacity()); }
};

}  // namespace corvella
