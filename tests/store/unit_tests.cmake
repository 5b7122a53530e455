# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Unit tests of the store's primitives, ciphers, entries and the password stream.
corvella_store_test(store_crypto_test CryptoTest.cpp)
corvella_store_test(store_cipher_framing_test CipherFramingTest.cpp)
corvella_store_test(store_file_key_test FileKeyTest.cpp)
corvella_store_test(store_secret_fingerprint_test SecretFingerprintTest.cpp)
corvella_store_test(store_random_test RandomTest.cpp)
corvella_store_test(store_entry_test EntryTest.cpp)
corvella_store_test(store_entry_arena_test EntryArenaTest.cpp)
corvella_store_test(store_password_stream_test PasswordStreamTest.cpp)
corvella_store_test(store_text_codec_test TextCodecTest.cpp)
corvella_store_test(store_master_password_test MasterPasswordTest.cpp)
corvella_store_test(store_password_generator_test PasswordGeneratorTest.cpp)
